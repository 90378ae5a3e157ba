#pragma once
#include <cstdint>
#include <vector>

namespace testing_support {

// A Windows bitmap file to write for the tests.
struct BmpPicture {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;  // negative: rows stored top row first
    uint16_t bitsPerPixel = 8;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    std::vector<uint8_t> colourTable;  // blue, green, red, reserved per entry
    std::vector<uint32_t> masks;       // red, green, blue words after a 40-byte header
    std::vector<uint8_t> pixels;       // the pixel data as stored
};

std::vector<uint8_t> encodeBmp(const BmpPicture& picture);

// Rows of `bitsPerPixel` bits from values given top row first, stored bottom row first
// (or top row first for a negative height) and padded to 4 bytes. Values of 16 bits and more
// are stored little-endian.
std::vector<uint8_t> bmpRows(const std::vector<uint32_t>& values, int32_t width, int32_t height,
                             int32_t bitsPerPixel);

}  // namespace testing_support
