// Seeking: where decoding restarts for a frame, from the index's key frames or from the
// present position or the first movie chunk, and the frames decoded on the way.
#include <algorithm>
#include <array>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/media/mImageAVI.h"

int32_t mImageAVI::seekFrame(int32_t frame, int32_t origin) {
    int64_t target = frame;
    if (origin == 1) {
        target += decodedFrame;
    } else if (origin == 2) {
        target = int64_t{frameCount} - frame;
    }
    // A frame before the first is the first.
    target = std::max<int64_t>(target, 0);
    if (target >= frameCount) return currentFrame;
    const auto wanted = static_cast<int32_t>(target);
    if (wanted == decodedFrame || wanted == decodedFrame + 1) {
        currentFrame = wanted;
        return wanted;
    }

    int32_t start = 0;
    const bool indexed = indexOffset != 0 && wanted > int64_t{decodedFrame} + shortJump &&
                         restartFromIndex(wanted, start);
    if (!indexed) {
        if (wanted > decodedFrame) {
            start = decodedFrame + 1;
        } else {
            rewind();
            start = 0;
        }
    }
    seeking = 1;
    currentFrame = start;
    for (int32_t next = start; next < wanted; ++next) {
        if (readFrame(0, 0, nullptr) < 0) break;
    }
    seeking = 0;
    currentFrame = wanted;
    return wanted;
}

void mImageAVI::rewind() {
    setBuffer(nullptr, 0, 0);
    mFile::seek(static_cast<int32_t>(moviOffset), 0);
    // Palette changes met before are undone with the pictures they came with, and the first
    // frame is decoded over a blank picture, as after opening.
    if (decompressor != 0) takeStreamPalette();
    freshColours = 1;
    const platform::FrameTarget picture = frameTarget();
    for (int32_t y = 0; y < picture.height; ++y)
        std::fill_n(picture.row(y), picture.width, uint8_t{0});
}

// Reads the index up to the entry of frame `target` and picks the restart: on from the present
// position when the last key frame before the target lies behind the decoded frame, else at
// that key frame. False, with the position as it was, when the index ends first or names no key
// frame up to the target; the caller then decodes without it.
bool mImageAVI::restartFromIndex(int32_t target, int32_t& start) {
    setBuffer(nullptr, 0, 0);
    chunkDepth = 1;
    chunkEnds[1] = static_cast<int32_t>(moviEnd);
    const int64_t here = fileOffset();
    mFile::seek(static_cast<int32_t>(indexOffset), 0);
    const int32_t entries = indexSize / indexEntrySize;
    int32_t frame = 0;
    int32_t keyFrame = -1;
    uint32_t keyId = 0;
    uint32_t keyOffset = 0;
    bool found = false;
    // Palette changes before the restart point have to be applied again.
    std::vector<uint32_t> paletteChanges;
    std::size_t changesBeforeKey = 0;
    std::array<uint8_t, indexEntrySize> entry{};
    for (int32_t k = 0; k < entries && !found; ++k) {
        if (mFile::read(entry.data(), indexEntrySize) != indexEntrySize) break;
        const uint32_t id = littleEndian::load32(&entry[0]);
        const uint32_t offset = littleEndian::load32(&entry[8]);
        if (isPaletteChunk(id)) {
            paletteChanges.push_back(offset);
            continue;
        }
        if (!isVideoChunk(id)) continue;
        if (littleEndian::load32(&entry[4]) & indexKeyFrame) {
            keyFrame = frame;
            keyId = id;
            keyOffset = offset;
            changesBeforeKey = paletteChanges.size();
        }
        found = frame == target;
        frame += 1;
    }
    if (!found || keyFrame < 0) {
        mFile::seek(static_cast<int32_t>(here), 0);
        return false;
    }
    if (keyFrame < decodedFrame && decodedFrame < target) {
        mFile::seek(static_cast<int32_t>(here), 0);
        start = decodedFrame + 1;
        return true;
    }
    // Offsets count from the movie list's type; some writers give file offsets instead.
    const int64_t relative = int64_t{moviOffset} - 4;
    const int64_t base =
        chunkAt(relative + keyOffset, keyId) || !chunkAt(keyOffset, keyId) ? relative : 0;
    takeStreamPalette();
    freshColours = 1;
    for (std::size_t k = 0; k < changesBeforeKey; ++k) {
        if (!chunkAt(base + paletteChanges[k], 0)) continue;
        readPaletteChange();
    }
    mFile::seek(static_cast<int32_t>(base + keyOffset), 0);
    start = keyFrame;
    return true;
}

// Moves to `offset` and tells whether a chunk header with `id` (any id when 0) lies there.
bool mImageAVI::chunkAt(int64_t offset, uint32_t id) {
    if (offset < moviOffset || offset + 8 > moviEnd) return false;
    mFile::seek(static_cast<int32_t>(offset), 0);
    if (bufferEnd - cursor < 8) fill(cursor);
    if (dataEnd - cursor < 8) return false;
    return id == 0 ? isPaletteChunk(littleEndian::load32(cursor))
                   : littleEndian::load32(cursor) == id;
}
