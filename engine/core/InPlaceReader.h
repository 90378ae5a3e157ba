#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "engine/base/LittleEndian.h"
#include "engine/core/mFile.h"

// Reads a buffered file in place for the decoders. A request for k bytes is served straight
// from the file's buffer when they lie there; when fewer remain the file's `fill` keeps the
// tail in its wrap area (k never exceeds `wrapSize` then) and reads on. Requests the buffers
// cannot serve in one piece (tiny buffer sizes) are gathered into a scratch block. Every read
// stops at the end of the valid data: past it the buffer holds stale bytes.
//
// The first read that cannot be served (the data ends first, or a take beyond maxTake that the
// buffer cannot hold) marks the reader failed for good: every later read then yields nothing
// (0, null or false) and leaves the cursor where it is. A decoder can thus read the fields of
// a header or packet in a row and check `failed` once before using them.
class InPlaceReader {
  public:
    // The largest request `take` serves: 256 palette colours of three bytes.
    static constexpr int32_t maxTake = 768;

    explicit InPlaceReader(mFile& source) : file(source) {}

    // Pointer to `count` (at most maxTake) contiguous bytes at the cursor, which moves past
    // them; null when the data ends first (the cursor is then at the end of the data).
    const uint8_t* take(int32_t count) {
        if (!failure && file.dataEnd - file.cursor >= count) {
            const uint8_t* bytes = file.cursor;
            file.cursor += count;
            return bytes;
        }
        return takeSlow(count);
    }

    // Fields at the cursor, little-endian; 0 when the read fails.
    uint8_t u8() {
        const uint8_t* bytes = take(1);
        return bytes ? bytes[0] : 0;
    }
    uint16_t le16() {
        const uint8_t* bytes = take(2);
        return bytes ? littleEndian::load16(bytes) : 0;
    }
    uint32_t le32() {
        const uint8_t* bytes = take(4);
        return bytes ? littleEndian::load32(bytes) : 0;
    }

    // Copies `count` bytes to `destination`, or passes over them when it is null. False when
    // the data ends first.
    bool copy(uint8_t* destination, int64_t count);

    // The bytes at the cursor that the buffer holds now (none after a failure), for a decoder
    // that parses many small fields in place and then moves past them with `advance`.
    std::span<const uint8_t> buffered() const {
        if (failure || !file.cursor) return {};
        return {file.cursor, static_cast<std::size_t>(file.dataEnd - file.cursor)};
    }
    // Moves the cursor past `count` bytes of those `buffered` returned.
    void advance(std::size_t count) { file.cursor += count; }

    // Whether a read could not be served.
    bool failed() const { return failure; }

    // File offset of the cursor.
    int64_t offset() const { return file.dataOffset + (file.cursor - file.dataStart); }

    // Moves the cursor forward to `target` (a file offset at or after the cursor); a target
    // past the end of the file leaves the cursor at the end of the data.
    void skipTo(int64_t target);

    // Brings the file's `position` up to date with the cursor.
    void syncPosition() { file.position = static_cast<int32_t>(offset()); }

    // Whether the data has ended at the cursor (nothing follows in the file).
    bool atEnd();

  private:
    const uint8_t* takeSlow(int32_t count);
    // Reads the next buffer after the cursor has consumed the valid data; false at the end.
    bool refill();
    // The last refill was short (or the data is a memory block): nothing more will come.
    bool dataExhausted() const { return file.dataEnd < file.bufferEnd; }

    mFile& file;
    bool failure = false;
    std::array<uint8_t, maxTake> scratch{};
};
