#include "tests/support/BmpBuilder.h"

#include <cstdlib>

#include "tests/support/TempFile.h"

namespace testing_support {

std::vector<uint8_t> encodeBmp(const BmpPicture& picture) {
    const auto masksBytes = static_cast<uint32_t>(picture.masks.size() * 4);
    const uint32_t offset =
        14 + picture.headerSize + masksBytes + static_cast<uint32_t>(picture.colourTable.size());
    ByteWriter out;
    out.u16(0x4D42).u32(offset + static_cast<uint32_t>(picture.pixels.size())).u32(0).u32(offset);
    out.u32(picture.headerSize)
        .u32(static_cast<uint32_t>(picture.width))
        .u32(static_cast<uint32_t>(picture.height))
        .u16(1)
        .u16(picture.bitsPerPixel)
        .u32(picture.compression)
        .u32(static_cast<uint32_t>(picture.pixels.size()))
        .u32(2835)
        .u32(2835)
        .u32(picture.coloursUsed)
        .u32(0);
    for (uint32_t k = 40; k < picture.headerSize; ++k)
        out.u8(0);
    for (uint32_t mask : picture.masks)
        out.u32(mask);
    out.bytes(picture.colourTable).bytes(picture.pixels);
    return out.data;
}

std::vector<uint8_t> bmpRows(const std::vector<uint32_t>& values, int32_t width, int32_t height,
                             int32_t bitsPerPixel) {
    const int32_t rows = std::abs(height);
    const int32_t rowBytes = ((width * bitsPerPixel + 7) / 8 + 3) / 4 * 4;
    std::vector<uint8_t> out(static_cast<std::size_t>(rowBytes * rows), 0);
    for (int32_t y = 0; y < rows; ++y) {
        const int32_t stored = height < 0 ? y : rows - 1 - y;
        uint8_t* row = out.data() + stored * rowBytes;
        for (int32_t x = 0; x < width; ++x) {
            uint32_t value = values[static_cast<std::size_t>(y * width + x)];
            if (bitsPerPixel >= 8) {
                for (int32_t b = 0; b < bitsPerPixel / 8; ++b)
                    row[x * bitsPerPixel / 8 + b] = static_cast<uint8_t>(value >> (8 * b));
            } else {
                int shift = 8 - bitsPerPixel - x * bitsPerPixel % 8;
                row[x * bitsPerPixel / 8] |= static_cast<uint8_t>(value << shift);
            }
        }
    }
    return out;
}

}  // namespace testing_support
