#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/media/mAudioWAV.h"
#include "engine/platform/HiddenWindow.h"
#include "engine/platform/Memory.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Module.h"
#include "engine/platform/NullWaveOut.h"
#include "engine/platform/ReportSink.h"
#include "engine/platform/Thread.h"
#include "engine/platform/WaveOut.h"
#include "tests/support/TempFile.h"
#include "tests/support/WaveTestFile.h"

using platform::Message;
using platform::MessageQueue;
using platform::NullWaveOut;
using platform::ReportSink;
using platform::WaveOut;
using testing_support::soundPattern;
using testing_support::TempFile;
using testing_support::WaveTestFile;

namespace {

// A sound with its ring in view, recording each block it queues and the thread that filled it.
class ProbedSound : public mAudioWAV {
  public:
    int32_t fillBuffer(uint32_t length) override {
        const BufferBlock* before = currentBlock;
        int32_t result = mAudioWAV::fillBuffer(length);
        if (currentBlock != before) queuedLengths.push_back(currentBlock->header.bufferLength);
        fillThreads.push_back(MessageQueue::currentThreadId());
        return result;
    }

    int ringLength() const {
        int length = 0;
        if (BufferBlock* first = ringHead()) {
            const BufferBlock* block = first;
            do {
                ++length;
                block = block->next;
            } while (block != first);
        }
        return length;
    }

    std::vector<uint32_t> queuedLengths;
    std::vector<uint32_t> fillThreads;
};

std::vector<uint8_t> repeated(const std::vector<uint8_t>& data, int times) {
    std::vector<uint8_t> out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), data.begin(), data.end());
    return out;
}

class AudioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::WaveOutCaps caps;
        caps.formats = 0xFFF;
        caps.support = platform::waveCapsVolume | platform::waveCapsLrVolume;
        device->setCaps(caps);
        WaveOut::select(device);
        previousInstance = mObject::instance;
        mObject::instance = &module;
    }
    void TearDown() override {
        // Notices for windows already gone must not reach a later test on this thread.
        dispatchAll();
        mObject::instance = previousInstance;
        WaveOut::select(nullptr);
        platform::Memory::failAfter(-1);
    }

    // Opens the bytes as the sound's file, from a temporary file or from memory.
    void openSound(mAudioWAV& sound, const std::vector<uint8_t>& bytes, bool onDisk) {
        if (onDisk) {
            file = std::make_unique<TempFile>(bytes, ".wav");
            ASSERT_EQ(sound.mFile::open(file->path(), 0), 1);
        } else {
            block = bytes;
            block.push_back(0);
            sound.openMemory(block.data(), static_cast<int32_t>(bytes.size()));
        }
    }

    void dispatchAll() {
        Message message;
        while (MessageQueue::peek(message))
            MessageQueue::dispatch(message);
    }

    // Plays the device's buffers to the end, one at a time; returns the buffers finished.
    int finishPlaying(mAudioWAV& sound, int most = 1000) {
        int finished = 0;
        while (sound.playing && finished < most && device->finishNext(sound.waveOut)) {
            dispatchAll();
            ++finished;
        }
        return finished;
    }

    std::shared_ptr<NullWaveOut> device = std::make_shared<NullWaveOut>();
    platform::Module module;
    const platform::Module* previousInstance = nullptr;
    std::unique_ptr<TempFile> file;
    std::vector<uint8_t> block;
};

TEST_F(AudioTest, ShortSoundUsesOneBlockAndEndsAfterOneNotice) {
    for (bool onDisk : {false, true}) {
        SCOPED_TRACE(onDisk ? "file" : "memory");
        WaveTestFile wave;
        wave.data = soundPattern(10000);
        ProbedSound sound;
        openSound(sound, wave.bytes(), onDisk);
        ASSERT_EQ(sound.play(0, 1), 1);
        EXPECT_EQ(sound.ringLength(), 1);
        uint32_t handle = sound.waveOut;
        EXPECT_EQ(device->queuedCount(handle), 1u);
        EXPECT_EQ(finishPlaying(sound), 1);
        EXPECT_EQ(sound.playing, 0);
        EXPECT_EQ(sound.playPosition, 0u);
        EXPECT_EQ(sound.waveOut, 0u);
        EXPECT_EQ(sound.callbackWindow, 0u);
        EXPECT_EQ(device->written(handle), wave.data);
        // The class went with the last window.
        EXPECT_FALSE(platform::HiddenWindow::unregisterClass(mAudioWAV::windowClass));
    }
}

TEST_F(AudioTest, LongSoundQueuesWholeBlocksThenTheRest) {
    for (bool onDisk : {false, true}) {
        SCOPED_TRACE(onDisk ? "file" : "memory");
        WaveTestFile wave;
        wave.data = soundPattern(100000);
        ProbedSound sound;
        openSound(sound, wave.bytes(), onDisk);
        ASSERT_EQ(sound.play(0, 1), 1);
        EXPECT_EQ(sound.ringLength(), 2);
        uint32_t handle = sound.waveOut;
        EXPECT_EQ(device->queuedCount(handle), 2u);
        while (sound.playing && device->finishNext(handle)) {
            dispatchAll();
            EXPECT_LE(device->queuedCount(handle), 2u);
        }
        std::vector<uint32_t> expected(6, 16384);
        expected.push_back(1696);
        EXPECT_EQ(sound.queuedLengths, expected);
        EXPECT_EQ(sound.playing, 0);
        EXPECT_EQ(sound.waveOut, 0u);
        EXPECT_EQ(device->written(handle), wave.data);
    }
}

TEST_F(AudioTest, LoopsPlayTheDataAgainInOrderAndZeroRepeatsUntilStopped) {
    WaveTestFile wave;
    wave.data = soundPattern(30000, 3);
    for (bool onDisk : {false, true}) {
        SCOPED_TRACE(onDisk ? "file" : "memory");
        mAudioWAV sound;
        openSound(sound, wave.bytes(), onDisk);
        ASSERT_EQ(sound.play(0, 3), 1);
        uint32_t handle = sound.waveOut;
        finishPlaying(sound);
        EXPECT_EQ(sound.playing, 0);
        EXPECT_EQ(device->written(handle), repeated(wave.data, 3));

        ASSERT_EQ(sound.play(0, 0), 1);
        handle = sound.waveOut;
        EXPECT_EQ(finishPlaying(sound, 40), 40);
        EXPECT_EQ(sound.playing, 1);
        EXPECT_EQ(sound.stop(), 1);
        EXPECT_EQ(sound.playing, 0);
        EXPECT_EQ(sound.waveOut, 0u);
        std::vector<uint8_t> written = device->written(handle);
        ASSERT_GT(written.size(), 10 * wave.data.size());
        std::vector<uint8_t> expected = repeated(wave.data, 30);
        expected.resize(written.size());
        EXPECT_EQ(written, expected);
    }
}

TEST_F(AudioTest, LengthAndStartPositionChooseThePassInEveryUnit) {
    WaveTestFile wave;
    wave.channels = 2;
    wave.bits = 16;
    wave.rate = 11025;
    wave.data = soundPattern(44100);  // one second
    std::vector<uint8_t> bytes = wave.bytes();
    mAudioWAV sound;
    openSound(sound, bytes, true);
    EXPECT_EQ(sound.open(0), 1);
    EXPECT_EQ(sound.duration, 1000u);
    // 100 ms from 500 ms: 1103 samples of 4 bytes, from byte 22052.
    EXPECT_EQ(sound.seek(500, 0), 500);
    ASSERT_EQ(sound.play(100, 2), 1);
    uint32_t handle = sound.waveOut;
    finishPlaying(sound);
    std::vector<uint8_t> pass(wave.data.begin() + 22052, wave.data.begin() + 22052 + 4412);
    EXPECT_EQ(device->written(handle), repeated(pass, 2));

    sound.setUnits(mImage::unitsBytes);
    EXPECT_EQ(sound.seek(100, 0), 100);
    EXPECT_EQ(sound.seek(50, 1), 150);
    ASSERT_EQ(sound.play(8, 1), 1);
    handle = sound.waveOut;
    finishPlaying(sound);
    EXPECT_EQ(device->written(handle),
              std::vector<uint8_t>(wave.data.begin() + 150, wave.data.begin() + 158));
    EXPECT_EQ(sound.setCurrent(7), 0);
    EXPECT_EQ(sound.playPosition, 0u);
}

TEST_F(AudioTest, PauseResumeAndPlayWhilePlaying) {
    WaveTestFile wave;
    wave.data = soundPattern(50000);
    mAudioWAV sound;
    openSound(sound, wave.bytes(), false);
    EXPECT_EQ(sound.pause(), 0);
    ASSERT_EQ(sound.play(0, 1), 1);
    EXPECT_EQ(sound.play(0, 1), 0);
    EXPECT_EQ(sound.pause(), 1);
    EXPECT_EQ(sound.pause(), 1);
    EXPECT_TRUE(device->isPaused(sound.waveOut));
    EXPECT_FALSE(device->finishNext(sound.waveOut));
    EXPECT_EQ(sound.seek(0, 0), 0);  // refused while playing
    EXPECT_EQ(sound.play(0, 1), 1);
    EXPECT_EQ(sound.paused, 0);
    EXPECT_FALSE(device->isPaused(sound.waveOut));
    uint32_t handle = sound.waveOut;
    finishPlaying(sound);
    EXPECT_EQ(device->written(handle), wave.data);
    EXPECT_EQ(sound.pause(), 0);
}

TEST_F(AudioTest, NothingLeftToPlayKeepsPlayingUntilStopped) {
    WaveTestFile wave;
    wave.data = soundPattern(20000);
    ProbedSound sound;
    openSound(sound, wave.bytes(), true);
    int32_t end = sound.seek(0, 2);
    EXPECT_EQ(end, static_cast<int32_t>(sound.bytesToTime(20000)));
    EXPECT_EQ(end, 1814);
    EXPECT_EQ(sound.playPosition, 20000u);
    ASSERT_EQ(sound.play(0, 1), 1);
    EXPECT_EQ(sound.ringLength(), 1);
    EXPECT_EQ(device->queuedCount(sound.waveOut), 0u);
    EXPECT_EQ(sound.playing, 1);
    EXPECT_EQ(sound.stop(), 1);
    EXPECT_EQ(sound.playing, 0);
}

TEST_F(AudioTest, PositionsPastTheDataReadNothingBeyondIt) {
    WaveTestFile wave;
    wave.data = soundPattern(1000);
    wave.trailer = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'x', 'x', 'x', 'x'};
    mAudioWAV sound;
    openSound(sound, wave.bytes(), true);
    sound.setUnits(mImage::unitsBytes);
    // A stopped sound starts again from 0, so the relative seek is from there.
    for (auto [position, origin] : {std::pair{5000, 0}, std::pair{990, 0}, std::pair{995, 1}}) {
        sound.seek(position, origin);
        ASSERT_EQ(sound.play(0, 1), 1);
        uint32_t handle = sound.waveOut;
        device->finishAll(handle);
        dispatchAll();
        sound.stop();
        std::vector<uint8_t> written = device->written(handle);
        // Only bytes of the data chunk reach the device, never the chunk after it.
        ASSERT_LE(written.size(), 10u);
        EXPECT_TRUE(std::equal(written.begin(), written.end(),
                               wave.data.end() - static_cast<std::ptrdiff_t>(written.size())));
    }
    // Further back from the end than the data reaches is its start.
    EXPECT_EQ(sound.seek(5000, 2), 0);
}

TEST_F(AudioTest, VolumeIsSentAsOneValueOrLeftAndRight) {
    {
        mAudioWAV sound;
        EXPECT_EQ(sound.volumeCaps, 3u);
        EXPECT_EQ(sound.leftVolume, 0xFFFF);
        EXPECT_EQ(sound.setVolume(0x1000, 0xFFFF), 1);
        uint32_t volume = 0;
        WaveOut::getVolume(0, volume);
        EXPECT_EQ(volume, 0xFFFF1000u);
        EXPECT_EQ(sound.leftVolume, 0x1000);
        EXPECT_EQ(sound.rightVolume, 0xFFFF);
    }
    platform::WaveOutCaps caps;
    caps.formats = platform::waveFormat1M08;
    caps.support = platform::waveCapsVolume;
    device->setCaps(caps);
    {
        mAudioWAV sound;
        EXPECT_EQ(sound.volumeCaps, 1u);
        EXPECT_EQ(sound.setVolume(0x8000, 0x4000), 1);
        uint32_t volume = 0;
        WaveOut::getVolume(0, volume);
        EXPECT_EQ(volume, 0x6000u);
        EXPECT_EQ(sound.leftVolume, 0x6000);
        EXPECT_EQ(sound.rightVolume, 0x6000);
    }
    caps.support = 0;
    device->setCaps(caps);
    mAudioWAV withoutControl;
    EXPECT_EQ(withoutControl.setVolume(1, 1), 0);
    EXPECT_EQ(withoutControl.leftVolume, 0);
}

TEST_F(AudioTest, DeviceFormatIsTheRichestTheCapabilitiesDeclare) {
    struct Case {
        uint32_t formats;
        uint32_t rate, bits, channels;
    };
    for (Case c : {Case{0xFFF, 44100, 16, 2}, Case{platform::waveFormat1S08, 11025, 8, 2},
                   Case{platform::waveFormat4S08 | platform::waveFormat1M16, 11025, 16, 1},
                   Case{platform::waveFormat2S16 | platform::waveFormat4M16, 44100, 16, 1},
                   Case{0, 0, 0, 0}}) {
        platform::WaveOutCaps caps;
        caps.formats = c.formats;
        device->setCaps(caps);
        mAudioWAV sound;
        EXPECT_EQ(sound.streamTag, mAudioWAV::streamWave);
        EXPECT_EQ(sound.deviceId, platform::waveMapper);
        EXPECT_EQ(sound.deviceRate, c.rate);
        EXPECT_EQ(sound.deviceBits, c.bits);
        EXPECT_EQ(sound.deviceChannels, c.channels);
    }
}

TEST_F(AudioTest, WithoutDeviceNothingPlays) {
    WaveOut::select(nullptr);
    WaveTestFile wave;
    wave.data = soundPattern(100);
    mAudioWAV sound;
    EXPECT_EQ(sound.deviceCount, 0u);
    EXPECT_EQ(sound.streamTag, 0u);
    openSound(sound, wave.bytes(), false);
    EXPECT_EQ(sound.open(0), 1);
    EXPECT_EQ(sound.play(0, 1), 0);
    EXPECT_EQ(sound.setVolume(100, 100), 0);
    EXPECT_EQ(sound.playing, 0);
}

TEST_F(AudioTest, FailuresReportWhatTheTableSays) {
    WaveTestFile wave;
    wave.data = soundPattern(100);
    {
        ReportSink::Capture capture;
        mAudioWAV sound;
        EXPECT_EQ(sound.create(0), 0);
        openSound(sound, wave.bytes(), false);
        platform::Memory::failAfter(0);
        EXPECT_EQ(sound.open(0), 0);
        EXPECT_EQ(sound.formatRecord(), nullptr);
        // The ring's block cannot be had: the device closes again.
        platform::Memory::failAfter(1);
        EXPECT_EQ(sound.play(0, 1), 0);
        EXPECT_EQ(sound.playing, 0);
        EXPECT_EQ(sound.waveOut, 0u);
        EXPECT_EQ(sound.callbackWindow, 0u);
        EXPECT_EQ(device->queuedCount(device->lastOpened()), 0u);
        mObject::instance = nullptr;
        EXPECT_EQ(sound.play(0, 1), 0);
        EXPECT_EQ(device->lastOpened(), 1u);  // no second open without a window
        ASSERT_EQ(capture.count(), 3u);
        EXPECT_EQ(capture.reports()[0].caption, "mAudioWAV");
        EXPECT_EQ(capture.reports()[0].text, "Not implemented");
        EXPECT_EQ(capture.reports()[1].text, "Out of memory");
        EXPECT_EQ(capture.reports()[2].text, "Bad ProgInst Value");
    }
    mObject::instance = &module;
    ReportSink::Capture capture;
    std::vector<uint8_t> noData = wave.bytes();
    noData[noData.size() - 100 - 8] = 'D';
    mAudioWAV sound;
    openSound(sound, noData, false);
    EXPECT_EQ(sound.open(0), 0);
    EXPECT_EQ(sound.play(0, 1), 0);
    EXPECT_EQ(sound.formatRecord(), nullptr);
    std::vector<uint8_t> noFormat = wave.bytes();
    noFormat[12] = 'F';
    openSound(sound, noFormat, false);
    EXPECT_EQ(sound.play(0, 1), 0);
    EXPECT_EQ(capture.count(), 0u);
}

TEST_F(AudioTest, FormatsNoDeviceTakesAreRefusedAtOpen) {
    auto refused = [](WaveTestFile wave) {
        wave.data = soundPattern(64);
        return wave;
    };
    WaveTestFile adpcm = refused({});
    adpcm.formatTag = 2;
    WaveTestFile silent = refused({});
    silent.channels = 0;
    WaveTestFile still = refused({});
    still.rate = 0;
    WaveTestFile wide = refused({});
    wide.bits = 24;
    WaveTestFile shortRecord = refused({});
    shortRecord.formatBytes = 12;  // the bits field is missing
    for (const WaveTestFile& wave : {adpcm, silent, still, wide, shortRecord}) {
        ReportSink::Capture capture;
        mAudioWAV sound;
        openSound(sound, wave.bytes(), false);
        EXPECT_EQ(sound.play(0, 1), 0);
        EXPECT_EQ(sound.playing, 0);
        EXPECT_EQ(sound.callbackWindow, 0u);
        EXPECT_EQ(capture.count(), 0u);
    }
}

TEST_F(AudioTest, ChunkLayoutsOfRealFilesPlayTheirData) {
    WaveTestFile odd;
    odd.data = soundPattern(1001);
    odd.trailer = {'x', 'x', 'x', 'x', 2, 0, 0, 0, 9, 9};
    WaveTestFile listed;
    listed.data = soundPattern(300);
    listed.listBeforeData = true;
    WaveTestFile extended;
    extended.formatBytes = 18;
    extended.data = soundPattern(40);
    WaveTestFile huge;
    huge.formatBytes = 5000;  // capped, the rest skipped
    huge.data = soundPattern(40);
    WaveTestFile lying;
    lying.data = soundPattern(20000);
    lying.statedSize = 0x7FFFFFF0;  // play what is there, then end
    for (const WaveTestFile& wave : {odd, listed, extended, huge, lying}) {
        for (bool onDisk : {false, true}) {
            mAudioWAV sound;
            openSound(sound, wave.bytes(), onDisk);
            ASSERT_EQ(sound.play(0, 1), 1);
            EXPECT_LE(sound.formatRecordSize(), mAudioWAV::largestFormat);
            uint32_t handle = sound.waveOut;
            finishPlaying(sound);
            EXPECT_EQ(sound.playing, 0);
            EXPECT_EQ(device->written(handle), wave.data);
        }
    }
}

TEST_F(AudioTest, RawSoundEndsWithTheFileAndLoopsFromItsStart) {
    WaveTestFile wave;
    wave.data = soundPattern(40000, 9);
    std::vector<uint8_t> raw = wave.rawBytes();
    for (bool onDisk : {false, true}) {
        SCOPED_TRACE(onDisk ? "file" : "memory");
        mAudioWAV sound;
        openSound(sound, raw, onDisk);
        ASSERT_EQ(sound.open(0), 1);
        EXPECT_EQ(sound.dataBytes, mAudioWAV::unknownSize);
        EXPECT_EQ(sound.dataChunkOffset, 0u);
        EXPECT_EQ(sound.rate, 11025u);
        ASSERT_EQ(sound.play(0, 2), 1);
        uint32_t handle = sound.waveOut;
        EXPECT_LT(finishPlaying(sound), 10);
        EXPECT_EQ(sound.playing, 0);
        EXPECT_EQ(device->written(handle), repeated(wave.data, 2));
    }
}

TEST_F(AudioTest, DoneNoticeFromAnotherDeviceEndsThePlayback) {
    WaveTestFile wave;
    wave.data = soundPattern(50000);
    mAudioWAV sound;
    openSound(sound, wave.bytes(), false);
    ASSERT_EQ(sound.play(0, 1), 1);
    platform::WaveHeader stranger;
    stranger.user = &sound;
    platform::HiddenWindow::post(sound.callbackWindow, platform::mmWomDone, sound.waveOut + 100,
                                 reinterpret_cast<int64_t>(&stranger));
    dispatchAll();
    EXPECT_EQ(sound.playing, 0);
    EXPECT_EQ(sound.waveOut, 0u);
}

TEST_F(AudioTest, CloseDuringPlaybackWaitsForItsEnd) {
    WaveTestFile wave;
    wave.data = soundPattern(30000);
    mAudioWAV sound;
    openSound(sound, wave.bytes(), true);
    ASSERT_EQ(sound.play(0, 1), 1);
    sound.closeFile();
    EXPECT_EQ(sound.closePending, 1);
    EXPECT_EQ(sound.isOpen, 1);
    finishPlaying(sound);
    EXPECT_EQ(sound.closePending, 0);
    EXPECT_EQ(sound.isOpen, 0);
    EXPECT_EQ(sound.formatRecord(), nullptr);

    // Paused, it stops and closes at once.
    openSound(sound, wave.bytes(), true);
    ASSERT_EQ(sound.play(0, 1), 1);
    sound.pause();
    sound.closeFile();
    EXPECT_EQ(sound.playing, 0);
    EXPECT_EQ(sound.isOpen, 0);
}

TEST_F(AudioTest, SmallBlocksAndRingsOfSeveral) {
    WaveTestFile wave;
    wave.data = soundPattern(1000);
    ProbedSound sound;
    openSound(sound, wave.bytes(), true);
    sound.setUnits(mImage::unitsBytes);
    sound.setBufferSize(97, 4);
    EXPECT_EQ(sound.blockSize, 100u);
    ASSERT_EQ(sound.play(0, 1), 1);
    EXPECT_EQ(sound.ringLength(), 4);
    EXPECT_EQ(device->queuedCount(sound.waveOut), 2u);  // a pass starts with two
    uint32_t handle = sound.waveOut;
    EXPECT_EQ(finishPlaying(sound), 10);
    EXPECT_EQ(device->written(handle), wave.data);
    sound.setBufferSize(0xFFFFFFF0, 1);
    EXPECT_EQ(sound.blockSize, mAudioWAV::largestBlock);
    sound.setBufferSize(0, 0);
    EXPECT_EQ(sound.blockSize, 4u);
    ASSERT_EQ(sound.play(0, 1), 1);
    EXPECT_EQ(sound.ringLength(), 1);
    sound.stop();
}

TEST_F(AudioTest, RefillsRunOnTheThreadThatPlays) {
    WaveTestFile wave;
    wave.data = soundPattern(70000);
    ProbedSound sound;
    openSound(sound, wave.bytes(), true);
    std::atomic<uint32_t> handle = 0;
    std::atomic<bool> done = false;
    uint32_t player = 0;
    platform::Thread thread;
    ASSERT_TRUE(thread.start([&] {
        player = MessageQueue::currentThreadId();
        ASSERT_EQ(sound.play(0, 1), 1);
        handle = sound.waveOut;
        Message message;
        while (sound.playing && MessageQueue::wait(message, 5000))
            MessageQueue::dispatch(message);
        done = true;
    }));
    while (handle == 0 && !done)
        std::this_thread::yield();
    // The device finishes buffers from here, as a real one does from its own thread.
    while (!done) {
        if (!device->finishNext(handle)) std::this_thread::yield();
    }
    thread.join();
    EXPECT_EQ(sound.playing, 0);
    EXPECT_EQ(device->written(handle), wave.data);
    ASSERT_GT(sound.fillThreads.size(), 4u);
    for (uint32_t filler : sound.fillThreads)
        EXPECT_EQ(filler, player);
    EXPECT_NE(player, MessageQueue::currentThreadId());
}

}  // namespace
