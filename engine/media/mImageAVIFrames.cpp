// Reading frames: the walk through the movie data to the next video chunk, queueing the chosen
// audio stream's chunks and applying palette changes on the way, and the copy into the
// destination.
#include <algorithm>
#include <array>

#include "engine/base/LittleEndian.h"
#include "engine/media/mImageAVI.h"
#include "engine/platform/Memory.h"
#include "engine/platform/VideoCompression.h"

namespace {

constexpr int32_t chunkHeaderSize = 8;
constexpr int32_t listHeaderSize = 12;
// An AVIPALCHANGE: first entry, entry count (0 for 256), flags, then red, green, blue, flags.
constexpr int32_t paletteChangeHeader = 4;
constexpr int32_t largestPaletteChange = paletteChangeHeader + 256 * 4;

uint16_t chunkKind(uint32_t id) {
    return static_cast<uint16_t>(id >> 16);
}

}  // namespace

bool mImageAVI::isVideoChunk(uint32_t id) const {
    if (static_cast<uint16_t>(id) != videoStreamId) return false;
    uint16_t type = chunkKind(id);
    return type == chunkKind(fourCC("00db")) || type == chunkKind(fourCC("00dc"));
}

bool mImageAVI::isPaletteChunk(uint32_t id) const {
    return static_cast<uint16_t>(id) == videoStreamId && chunkKind(id) == chunkKind(fourCC("00pc"));
}

int32_t mImageAVI::readFrame(int32_t x, int32_t y, const Rect* clip) {
    // Seeking decodes on the reader's own behalf, with or without a destination.
    if (!destination && !seeking) return -1;
    if (format != formatAvi && !openImage()) return -1;
    if (currentFrame != decodedFrame) {
        if (!decodeNextFrame()) return -1;
        decodedFrame = currentFrame;
        if (autoColourKey) keyColourFromFirstFrame();
    }
    if (!seeking) {
        copyFrame(frameBitmap, x, y, clip);
        // A frame that brought new colours says so until the next one is shown.
        paletteChanged = freshColours && !remap ? 1 : 0;
        freshColours = 0;
    }
    // The clip stays on its last frame; a header that counts no frames leaves it on the first.
    if ((autoAdvance || seeking) && currentFrame + 1 < frameCount) currentFrame += 1;
    return decodedFrame;
}

void mImageAVI::keyColourFromFirstFrame() {
    const int32_t before = transparent;
    setTransparentColour(*frameBitmap.info->topRow);
    setTransparent(before);
}

bool mImageAVI::decodeNextFrame() {
    const int32_t size = walkMovie(true);
    // No later read passes over the sound behind the last frame.
    if (size >= 0 && playing && currentFrame + 1 >= frameCount) walkMovie(false);
    if (playing) queueCollected();
    if (size < 0) return false;
    frameBytes = size;
    // An empty chunk repeats the picture before.
    if (size > 0) {
        std::span<const uint8_t> data(compressedFrame.get(), static_cast<std::size_t>(size));
        platform::VideoCompression::decompress(decompressor, 0, data, frameTarget());
    }
    return true;
}

int32_t mImageAVI::walkMovie(bool readVideo) {
    setBuffer(nullptr, 0, 0);
    // The walk stays inside the movie list, whatever chunks follow it.
    chunkDepth = 1;
    chunkEnds[1] = static_cast<int32_t>(moviEnd);
    for (;;) {
        if (bufferEnd - cursor < listHeaderSize) fill(cursor);
        const int64_t left = dataEnd - cursor;
        // What lies past the movie list is never read as its chunks.
        const int64_t end = std::min<int64_t>(chunkEnds[1], fileSize);
        if (left < chunkHeaderSize || fileOffset() + chunkHeaderSize > end) return -1;
        const uint32_t id = littleEndian::load32(cursor);
        if (id == fourCC("LIST") && left >= listHeaderSize &&
            littleEndian::load32(cursor + 8) == fourCC("rec ")) {
            if (!descendList(fourCC("rec "))) return -1;
            // Record lists add no level: their chunks are read as the movie list's.
            chunkDepth -= 1;
        } else if (isVideoChunk(id)) {
            if (!readVideo) return 0;
            return readVideoChunk();
        } else if (id == audioChunkId) {
            readAudioChunk();
        } else if (isPaletteChunk(id)) {
            readPaletteChange();
        } else if (!skipChunk()) {
            return -1;
        }
    }
}

int32_t mImageAVI::readVideoChunk() {
    const int64_t header = fileOffset();
    if (!findChunk(littleEndian::load32(cursor))) return -1;
    const int64_t inFile = std::max<int64_t>(fileSize - fileOffset(), 0);
    const auto wanted = static_cast<int32_t>(std::min<int64_t>(chunkSize, inFile));
    if (wanted > compressedCapacity && !growCompressed(wanted)) {
        // A later read tries the same chunk again.
        mFile::seek(static_cast<int32_t>(header), 0);
        return -1;
    }
    const uint32_t got = readStraight(compressedFrame.get(), static_cast<uint32_t>(wanted));
    setBuffer(nullptr, 0, 0);
    ascendChunk();
    return static_cast<int32_t>(got);
}

bool mImageAVI::growCompressed(int32_t size) {
    compressedFrame.reset();
    compressedCapacity = 0;
    compressedFrame = platform::Memory::allocate(static_cast<std::size_t>(size));
    if (!compressedFrame) {
        reportError(idImageAVI, errOutOfMemory, nullptr);
        return false;
    }
    compressedCapacity = size;
    return true;
}

void mImageAVI::readAudioChunk() {
    // A header that reaches past the movie list ends the walk at the list's end.
    if (!findChunk(audioChunkId)) return;
    if (playing) {
        fillBuffer(static_cast<uint32_t>(chunkSize));
        setBuffer(nullptr, 0, 0);
    }
    ascendChunk();
}

int32_t mImageAVI::fillBuffer(uint32_t length) {
    while (length > 0 && bytesLeft > 0) {
        if (!collecting) {
            collecting = nextFreeBlock();
            collected = 0;
            if (!collecting) return 1;
        }
        const uint32_t n = std::min({length, blockSize - collected, bytesLeft});
        const uint32_t got = readStraight(collecting->data.get() + collected, n);
        collected += got;
        length -= n;
        bytesLeft -= n;
        // A chunk cut short by the end of the file ends the sound there.
        if (got < n) bytesLeft = 0;
        if (collected == blockSize || bytesLeft == 0) queueCollected();
        if (got < n) break;
    }
    return 0;
}

void mImageAVI::queueCollected() {
    if (!collecting) return;
    BufferBlock* block = collecting;
    collecting = nullptr;
    currentBlock = block;
    queueBlock(*block, collected);
}

void mImageAVI::readPaletteChange() {
    if (!findChunk(littleEndian::load32(cursor))) return;
    std::array<uint8_t, largestPaletteChange> change{};
    const int32_t got = mFile::read(change.data(), std::min(chunkSize, largestPaletteChange));
    applyPaletteChange(change.data(), got);
    ascendChunk();
}

// Palette changes apply to the frame bitmap's colours from the next frame on.
void mImageAVI::applyPaletteChange(const uint8_t* change, int32_t size) {
    if (size < paletteChangeHeader) return;
    const int32_t first = change[0];
    const int32_t entries = change[1] == 0 ? 256 : change[1];
    const int32_t present = std::min({entries, 256 - first, (size - paletteChangeHeader) / 4});
    if (present <= 0) return;
    std::array<RgbQuad, 256> colours{};
    for (int32_t k = 0; k < present; ++k) {
        const uint8_t* entry = change + paletteChangeHeader + 4 * k;
        colours[static_cast<std::size_t>(k)] = RgbQuad{entry[2], entry[1], entry[0], 0};
    }
    frameBitmap.setColors(colours.data(), first, present);
    palette = frameBitmap.info->colorTable;
    freshColours = 1;
}
