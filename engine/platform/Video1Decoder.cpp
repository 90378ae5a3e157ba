#include <array>

#include "engine/platform/VideoDecoders.h"

namespace platform {

namespace {

constexpr int blockSide = 4;

// Writes one 4x4 block whose bottom-left pixel lies at `column` of line `line` (counted from
// the bottom of the picture). Bit k of `flags` stands for pixel k % 4 of block row k / 4,
// bottom row first; `colourOf` gives a pixel's colour from its place and its bit.
template <class ColourOf>
void putBlock(const FrameTarget& target, int64_t rows, int64_t column, int64_t line, uint32_t flags,
              ColourOf colourOf) {
    for (int y = 0; y < blockSide; ++y) {
        uint8_t* row = target.row(rows - 1 - (line + y));
        for (int x = 0; x < blockSide; ++x, flags >>= 1) {
            if (row && column + x < target.width) row[column + x] = colourOf(x, y, flags & 1u);
        }
    }
}

}  // namespace

void decodeVideo1(std::span<const uint8_t> chunk, const VideoFormat& format,
                  const FrameTarget& target) {
    const int64_t rows = format.rows();
    const int64_t blocksWide = (int64_t{format.width} + blockSide - 1) / blockSide;
    const int64_t blocksHigh = (rows + blockSide - 1) / blockSide;
    std::size_t at = 0;
    int64_t skip = 0;
    for (int64_t blockRow = 0; blockRow < blocksHigh; ++blockRow) {
        for (int64_t blockColumn = 0; blockColumn < blocksWide; ++blockColumn) {
            if (skip > 0) {
                --skip;
                continue;
            }
            if (at + 2 > chunk.size()) return;
            uint8_t first = chunk[at];
            uint8_t second = chunk[at + 1];
            at += 2;
            const int64_t column = blockColumn * blockSide;
            const int64_t line = blockRow * blockSide;
            const uint32_t flags = static_cast<uint32_t>(second) << 8 | first;
            if ((second & 0xFC) == 0x84) {
                // This block and the count's others keep their pixels.
                skip = ((int64_t{second} - 0x84) << 8) + first - 1;
            } else if (second < 0x80) {
                if (at + 2 > chunk.size()) return;
                std::array<uint8_t, 2> colours{chunk[at], chunk[at + 1]};
                at += 2;
                putBlock(target, rows, column, line, flags,
                         [&](int, int, uint32_t bit) { return colours[bit ^ 1u]; });
            } else if (second >= 0x90) {
                // A pair of colours for each quarter: bottom left, bottom right, top left, top
                // right.
                if (at + 8 > chunk.size()) return;
                std::array<uint8_t, 8> colours{};
                for (std::size_t k = 0; k < colours.size(); ++k)
                    colours[k] = chunk[at + k];
                at += 8;
                putBlock(target, rows, column, line, flags, [&](int x, int y, uint32_t bit) {
                    return colours[static_cast<std::size_t>((y & 2) * 2 + (x & 2)) + (bit ^ 1u)];
                });
            } else {
                putBlock(target, rows, column, line, 0, [&](int, int, uint32_t) { return first; });
            }
        }
    }
}

}  // namespace platform
