#include "tools/avigen/Encoders.h"

namespace avigen {

std::vector<std::uint8_t> encodeRaw(flicgen::ImageView picture, bool bottomUp) {
    const std::size_t stride = (picture.width + 3) / 4 * 4;
    std::vector<std::uint8_t> bytes(stride * picture.height, 0);
    for (std::size_t y = 0; y < picture.height; ++y) {
        std::size_t stored = bottomUp ? picture.height - 1 - y : y;
        std::span<const std::uint8_t> row = picture.row(y);
        std::copy(row.begin(), row.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(stored * stride));
    }
    return bytes;
}

}  // namespace avigen
