#pragma once
#include <cstdint>
#include <cstring>
#include <span>

#include "engine/core/InPlaceReader.h"

// Reads the many small fields of packed pixel data in place: from the bytes the reader's buffer
// holds, with the cursor kept here (in registers while a loop runs) rather than in the file.
// Only a field that crosses the end of those bytes goes through the InPlaceReader, which
// refills the buffer and fails as it always does. The reader's cursor catches up when the
// PacketReader goes; the reader is not to be used directly while one lives on it.
class PacketReader {
  public:
    explicit PacketReader(InPlaceReader& reader) : in(reader) { refresh(); }
    PacketReader(const PacketReader&) = delete;
    PacketReader& operator=(const PacketReader&) = delete;
    ~PacketReader() { sync(); }

    // Pointer to `count` (1 to InPlaceReader::maxTake) bytes, valid until the next read; null
    // when the data ends first.
    const uint8_t* take(int32_t count) {
        if (end - next >= count) {
            const uint8_t* bytes = next;
            next += count;
            return bytes;
        }
        return takeThroughReader(count);
    }

    // Copies `count` bytes to `destination`, or passes over them when it is null; false when
    // the data ends first, after copying what there was. Copying no bytes always succeeds.
    bool copy(uint8_t* destination, int64_t count) {
        if (end - next >= count) {
            if (destination && count > 0) {
                std::memcpy(destination, next, static_cast<std::size_t>(count));
            }
            next += count;
            return true;
        }
        return copyThroughReader(destination, count);
    }

    // The bytes at the cursor that the buffer holds now, for a loop that parses them with a
    // pointer of its own (kept in a register) and then moves the cursor with `moveTo`.
    const uint8_t* cursor() const { return next; }
    const uint8_t* limit() const { return end; }
    // Moves the cursor to `position`, between `cursor()` and `limit()`.
    void moveTo(const uint8_t* position) { next = position; }

  private:
    void sync() {
        in.advance(static_cast<std::size_t>(next - start));
        start = next;
    }
    void refresh() {
        std::span<const uint8_t> bytes = in.buffered();
        start = next = bytes.data();
        end = bytes.data() + bytes.size();
    }
    const uint8_t* takeThroughReader(int32_t count) {
        sync();
        const uint8_t* bytes = in.take(count);
        refresh();
        return bytes;
    }
    bool copyThroughReader(uint8_t* destination, int64_t count) {
        sync();
        bool complete = in.copy(destination, count);
        refresh();
        return complete;
    }

    InPlaceReader& in;
    const uint8_t* start = nullptr;
    const uint8_t* next = nullptr;
    const uint8_t* end = nullptr;
};
