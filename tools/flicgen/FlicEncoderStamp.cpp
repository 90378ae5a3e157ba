#include <algorithm>

#include "tools/flicgen/ByteSink.h"
#include "tools/flicgen/FlicEncoder.h"

namespace flicgen::encoder {

namespace {

constexpr std::size_t stampWidth = 100;
constexpr std::size_t stampHeight = 63;
constexpr std::uint16_t sixCube = 1;

std::uint8_t cubeLevel(std::uint8_t component) {
    return static_cast<std::uint8_t>(component * 6 / 256);
}

}  // namespace

std::vector<std::uint8_t> postageStamp(const ImageView& image, const Palette& colours) {
    // Shrink to fit the stamp box, keeping the aspect; never enlarge.
    std::size_t width = 0;
    std::size_t height = 0;
    if (image.width * stampHeight > image.height * stampWidth) {
        width = std::min(image.width, stampWidth);
        height = std::max<std::size_t>(1, image.height * width / image.width);
    } else {
        height = std::min(image.height, stampHeight);
        width = std::max<std::size_t>(1, image.width * height / image.height);
    }

    ByteSink out;
    out.u16(static_cast<std::uint16_t>(height));
    out.u16(static_cast<std::uint16_t>(width));
    out.u16(sixCube);
    std::size_t pixels = width * height;
    std::size_t pad = pixels & 1;
    out.u32(static_cast<std::uint32_t>(chunkHeaderSize + pixels + pad));
    out.u16(code::literal);
    for (std::size_t y = 0; y < height; ++y) {
        auto row = image.row(y * image.height / height);
        for (std::size_t x = 0; x < width; ++x) {
            Rgb c = colours[row[x * image.width / width]];
            out.u8(static_cast<std::uint8_t>(cubeLevel(c.r) * 36 + cubeLevel(c.g) * 6 +
                                             cubeLevel(c.b)));
        }
    }
    out.zeros(pad);
    return out.take();
}

}  // namespace flicgen::encoder
