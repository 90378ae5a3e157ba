#include <algorithm>

#include "tools/flicgen/ByteSink.h"
#include "tools/flicgen/FlicEncoder.h"
#include "tools/flicgen/RunSplitter.h"

namespace flicgen::encoder {

std::vector<std::uint8_t> byteRun(const ImageView& image) {
    ByteSink out;
    for (std::size_t y = 0; y < image.height; ++y) {
        auto row = image.row(y);
        std::size_t countAt = out.size();
        out.u8(0);
        std::size_t packets = 0;
        // A positive count repeats one byte, a negative one copies that many bytes.
        splitRuns(
            0, image.width, 3, 127, 128,
            [&](std::size_t a, std::size_t b) { return row[a] == row[b]; },
            [&](std::size_t at, std::size_t n) {
                out.u8(static_cast<std::uint8_t>(n));
                out.u8(row[at]);
                ++packets;
            },
            [&](std::size_t at, std::size_t n) {
                out.u8(static_cast<std::uint8_t>(256 - n));
                out.append(row.subspan(at, n));
                ++packets;
            });
        // Readers ignore the count; wide rows can need more packets than the byte holds.
        out.patchU8(countAt, static_cast<std::uint8_t>(std::min<std::size_t>(packets, 255)));
    }
    return out.take();
}

std::vector<std::uint8_t> literal(const ImageView& image) {
    return {image.pixels.begin(), image.pixels.begin() + image.width * image.height};
}

}  // namespace flicgen::encoder
