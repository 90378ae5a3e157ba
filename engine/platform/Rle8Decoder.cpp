#include <algorithm>
#include <cstring>

#include "engine/platform/VideoDecoders.h"

namespace platform {

namespace {

// Where the decoder stands: a column and a line counted from the bottom of the picture, both
// free to run past its sides, where writes are dropped.
class RleCursor {
  public:
    RleCursor(const VideoFormat& format, const FrameTarget& picture)
        : target(picture), rows(format.rows()) {}

    // `count` copies of `value`, or the next `count` bytes of `source` when it is given.
    void put(int64_t count, uint8_t value, const uint8_t* source) {
        uint8_t* row = target.row(rows - 1 - line);
        if (row && column < target.width) {
            auto kept = static_cast<std::size_t>(std::min<int64_t>(count, target.width - column));
            if (source) {
                std::memcpy(row + column, source, kept);
            } else {
                std::memset(row + column, value, kept);
            }
        }
        column += count;
    }
    void endLine() {
        column = 0;
        line += 1;
    }
    void move(uint8_t right, uint8_t up) {
        column += right;
        line += up;
    }
    bool pastTop() const { return line >= rows; }

  private:
    const FrameTarget& target;
    int64_t rows;
    int64_t column = 0;
    int64_t line = 0;
};

}  // namespace

void decodeRle8(std::span<const uint8_t> chunk, const VideoFormat& format,
                const FrameTarget& target) {
    RleCursor cursor(format, target);
    std::size_t at = 0;
    while (at + 2 <= chunk.size() && !cursor.pastTop()) {
        uint8_t count = chunk[at];
        uint8_t value = chunk[at + 1];
        at += 2;
        if (count != 0) {
            cursor.put(count, value, nullptr);
        } else if (value == 0) {
            cursor.endLine();
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (at + 2 > chunk.size()) return;
            cursor.move(chunk[at], chunk[at + 1]);
            at += 2;
        } else {
            std::size_t literal = std::min<std::size_t>(value, chunk.size() - at);
            cursor.put(static_cast<int64_t>(literal), 0, chunk.data() + at);
            // Literal runs are padded to a whole 16-bit word.
            at += value + (value & 1u);
        }
    }
}

}  // namespace platform
