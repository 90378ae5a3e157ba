// The streaming side of mAudioWAV: the buffer ring, passes and loops, the "mAudio" window
// that the device reports finished buffers to, and closing the device.
#include <algorithm>

#include "engine/media/mAudioWAV.h"
#include "engine/platform/HiddenWindow.h"
#include "engine/platform/Memory.h"
#include "engine/platform/WaveOut.h"

using platform::HiddenWindow;
using platform::WaveOut;

int32_t mAudioWAV::play(int32_t length, int32_t loops) {
    if (streamTag != streamWave) return 0;
    if (playing) {
        if (!paused) return 0;
        WaveOut::restart(waveOut);
        paused = 0;
        return 1;
    }
    if (!formatBlock && !open(0)) return 0;

    bytesToPlay = length == 0 ? dataBytes : positionToBytes(static_cast<uint32_t>(length));
    bytesToPlay = std::min(bytesToPlay, bytesAvailable());

    // A window left by a device that would not open goes first. Registering fails harmlessly
    // while another sound's window holds the class.
    dropWindow();
    HiddenWindow::registerClass(windowClass, windowProcedure);
    // A window belongs to the program module that creates it.
    callbackWindow = instance ? HiddenWindow::create(windowClass) : 0;
    if (callbackWindow == 0) {
        reportError(idAudioWAV, errBadProgInst, nullptr);
        return 0;
    }
    if (WaveOut::open(deviceId, waveFormat(), callbackWindow, waveOut) != platform::mmNoError) {
        waveOut = 0;
        dropWindow();
        return 0;
    }
    if (!buildRing()) {
        closeDevice();
        return 0;
    }
    loopsLeft = loops;
    startPosition = playPosition;
    return startPass();
}

// Blocks enough for the pass and no more than `blockCount`: a short sound gets one.
bool mAudioWAV::buildRing() {
    ring.clear();
    int32_t blocks = std::max(blockCount, 1);
    for (int32_t n = 1; n <= blocks; ++n) {
        auto block = std::make_unique<BufferBlock>();
        block->data = platform::Memory::allocate(blockSize);
        if (!block->data) return false;
        block->header.data = block->data.get();
        block->header.bufferLength = blockSize;
        block->header.user = this;
        block->header.flags = platform::waveHeaderDone;
        if (!ring.empty()) ring.back()->next = block.get();
        ring.push_back(std::move(block));
        if (uint64_t{static_cast<uint32_t>(n)} * blockSize >= bytesToPlay) break;
    }
    ring.back()->next = ring.front().get();
    currentBlock = ring.front().get();
    return true;
}

int32_t mAudioWAV::startPass() {
    bytesLeft = bytesToPlay;
    playPosition = startPosition;
    // Blocks that another reader fills are read wherever it stands. An empty pass reads
    // nothing, so its start may lie past the end of the file.
    if (autoRefill) {
        int64_t target = firstSoundByte + startPosition;
        if (bytesLeft != 0 && fileOffset() != target) mFile::seek(static_cast<int32_t>(target), 0);
        fillBuffer(0);
        fillBuffer(0);
    }
    playing = 1;
    return 1;
}

int32_t mAudioWAV::fillBuffer(uint32_t length) {
    if (bytesLeft == 0 || !currentBlock) return 0;
    BufferBlock* block = nextFreeBlock();
    if (!block) return 1;

    currentBlock = block;
    uint32_t n = (length == 0 || length > blockSize) ? blockSize : length;
    n = std::min(n, bytesLeft);
    bytesLeft -= n;
    uint32_t got = readStraight(block->data.get(), n);
    // Nothing lies behind the end of the file: the pass ends there.
    if (got < n) bytesLeft = 0;
    queueBlock(*block, got);
    return 0;
}

mAudioWAV::BufferBlock* mAudioWAV::nextFreeBlock() const {
    if (!currentBlock) return nullptr;
    BufferBlock* block = currentBlock->next;
    return (block->header.flags & platform::waveHeaderDone) ? block : nullptr;
}

uint32_t mAudioWAV::readStraight(uint8_t* target, uint32_t length) {
    if (length == 0) return 0;
    if (modeFlags & memoryMode) {
        int32_t got = mFile::read(target, static_cast<int32_t>(length));
        return static_cast<uint32_t>(std::max(got, 0));
    }
    setBuffer(target, static_cast<int32_t>(length), 0);
    fill(nullptr);
    // The data is consumed at once.
    cursor = dataEnd;
    return static_cast<uint32_t>(dataEnd - dataStart);
}

void mAudioWAV::queueBlock(BufferBlock& block, uint32_t length) {
    platform::WaveHeader& header = block.header;
    header.bufferLength = length;
    header.flags = 0;
    WaveOut::prepareHeader(waveOut, header);
    WaveOut::write(waveOut, header);
    if (bytesLeft == 0) passQueued();
}

// Loop count 1 plays once and n plays n passes; 0 or less repeats until stopped.
void mAudioWAV::passQueued() {
    if (loopsLeft > 0) {
        if (--loopsLeft == 0) return;
    } else {
        loopsLeft = 0;
    }
    startPass();
}

int64_t mAudioWAV::windowProcedure(uint32_t, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message != platform::mmWomDone) return 0;
    auto* header = reinterpret_cast<platform::WaveHeader*>(lParam);
    auto device = static_cast<uint32_t>(wParam);
    WaveOut::unprepareHeader(device, *header);
    static_cast<mAudioWAV*>(header->user)->blockFinished(device, *header);
    return 0;
}

void mAudioWAV::blockFinished(uint32_t device, platform::WaveHeader& header) {
    if (device != waveOut) {
        closeDevice();
        return;
    }
    playPosition += header.bufferLength;
    if (bytesLeft == 0 && &header == &currentBlock->header) {
        closeDevice();
        return;
    }
    if (autoRefill) fillBuffer(0);
}

int32_t mAudioWAV::pause() {
    if (!playing) return 0;
    if (paused) return 1;
    if (WaveOut::pause(waveOut) != platform::mmNoError) return 0;
    paused = 1;
    return 1;
}

int32_t mAudioWAV::stop() {
    if (playing) {
        WaveOut::reset(waveOut);
        closeDevice();
    }
    return 1;
}

void mAudioWAV::closeDevice() {
    if (waveOut != 0) {
        // The ring is freed below: the device must hand every buffer back first.
        if (WaveOut::close(waveOut) == platform::waveStillPlaying) {
            WaveOut::reset(waveOut);
            WaveOut::close(waveOut);
        }
        waveOut = 0;
    }
    // Notices the device posted before closing die with the window.
    dropWindow();
    ring.clear();
    currentBlock = nullptr;
    if (isOpen) setBuffer(nullptr, 0, 0);
    playing = 0;
    paused = 0;
    playPosition = 0;
    if (closePending) {
        closePending = 0;
        closeFile();
    }
}

void mAudioWAV::dropWindow() {
    if (callbackWindow != 0) HiddenWindow::destroy(callbackWindow);
    callbackWindow = 0;
    HiddenWindow::unregisterClass(windowClass);
}
