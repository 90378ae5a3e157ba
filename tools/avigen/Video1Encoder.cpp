#include <algorithm>
#include <array>
#include <cstdlib>

#include "tools/avigen/Encoders.h"

namespace avigen {

namespace {

constexpr std::size_t side = 4;
constexpr std::size_t longestSkip = 0x3FF;

// The 16 pixels of a block, bottom row first; pixels past the picture repeat its edge.
using Block = std::array<std::uint8_t, 16>;

Block blockAt(flicgen::ImageView picture, std::size_t column, std::size_t line,
              std::span<const std::uint8_t> pixels) {
    Block block{};
    for (std::size_t y = 0; y < side; ++y) {
        std::size_t fromBottom = std::min(line + y, picture.height - 1);
        std::size_t row = picture.height - 1 - fromBottom;
        for (std::size_t x = 0; x < side; ++x) {
            std::size_t at = std::min(column + x, picture.width - 1);
            block[y * side + x] = pixels[row * picture.width + at];
        }
    }
    return block;
}

int distance(const flicgen::Rgb& a, const flicgen::Rgb& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// The two most common colours among `pixels` (the same twice when there is one).
std::array<std::uint8_t, 2> twoMostCommon(std::span<const std::uint8_t> pixels) {
    std::array<int, 256> counts{};
    for (std::uint8_t pixel : pixels)
        counts[pixel] += 1;
    std::array<std::uint8_t, 2> best{pixels[0], pixels[0]};
    int first = 0;
    int second = 0;
    for (int colour = 0; colour < 256; ++colour) {
        if (counts[colour] > first) {
            best[1] = best[0];
            second = first;
            best[0] = static_cast<std::uint8_t>(colour);
            first = counts[colour];
        } else if (counts[colour] > second) {
            best[1] = static_cast<std::uint8_t>(colour);
            second = counts[colour];
        }
    }
    if (second == 0) best[1] = best[0];
    return best;
}

class Video1Output {
  public:
    Video1Output(std::vector<std::uint8_t>& bytes, const flicgen::Palette& colours)
        : out(bytes), palette(colours) {}

    void skip(std::size_t count) {
        while (count > 0) {
            std::size_t n = std::min(count, longestSkip);
            out.push_back(static_cast<std::uint8_t>(n & 0xFF));
            out.push_back(static_cast<std::uint8_t>(0x84 + (n >> 8)));
            count -= n;
        }
    }

    void block(const Block& pixels) {
        std::array<std::uint8_t, 2> pair = twoMostCommon(pixels);
        if (pair[0] == pair[1]) {
            out.push_back(pair[0]);
            out.push_back(0x80);
            return;
        }
        if (std::all_of(pixels.begin(), pixels.end(),
                        [&](std::uint8_t p) { return p == pair[0] || p == pair[1]; })) {
            // The top-right pixel takes the second colour, so that the flags' high byte stays
            // below 0x80.
            if (pixels[15] == pair[0]) std::swap(pair[0], pair[1]);
            uint32_t flags = 0;
            for (std::size_t k = 0; k < 16; ++k)
                if (pixels[k] == pair[0]) flags |= 1u << k;
            put(flags, pair);
            return;
        }
        quarters(pixels);
    }

  private:
    // A pair for each quarter. The top-left and top-right pixels of the block take the first
    // colour of their pair, so that the flags' high byte is at least 0x90.
    void quarters(const Block& pixels) {
        std::array<std::uint8_t, 8> colours{};
        uint32_t flags = 0;
        for (std::size_t quarter = 0; quarter < 4; ++quarter) {
            std::size_t left = quarter % 2 * 2;
            std::size_t bottom = quarter / 2 * 2;
            std::array<std::size_t, 4> places{bottom * side + left, bottom * side + left + 1,
                                              (bottom + 1) * side + left,
                                              (bottom + 1) * side + left + 1};
            std::array<std::uint8_t, 4> values{};
            for (std::size_t k = 0; k < 4; ++k)
                values[k] = pixels[places[k]];
            std::array<std::uint8_t, 2> pair = twoMostCommon(values);
            if (quarter == 2 && nearer(pixels[12], pair) != pair[0]) std::swap(pair[0], pair[1]);
            if (quarter == 3 && nearer(pixels[15], pair) != pair[0]) std::swap(pair[0], pair[1]);
            colours[quarter * 2] = pair[0];
            colours[quarter * 2 + 1] = pair[1];
            for (std::size_t place : places)
                if (nearer(pixels[place], pair) == pair[0]) flags |= 1u << place;
        }
        put(flags, colours);
    }

    std::uint8_t nearer(std::uint8_t pixel, const std::array<std::uint8_t, 2>& pair) const {
        if (pixel == pair[0] || pixel == pair[1]) return pixel;
        return distance(palette[pixel], palette[pair[0]]) <=
                       distance(palette[pixel], palette[pair[1]])
                   ? pair[0]
                   : pair[1];
    }

    template <std::size_t N>
    void put(uint32_t flags, const std::array<std::uint8_t, N>& colours) {
        out.push_back(static_cast<std::uint8_t>(flags));
        out.push_back(static_cast<std::uint8_t>(flags >> 8));
        out.insert(out.end(), colours.begin(), colours.end());
    }

    std::vector<std::uint8_t>& out;
    const flicgen::Palette& palette;
};

}  // namespace

std::vector<std::uint8_t> encodeVideo1(flicgen::ImageView picture,
                                       std::span<const std::uint8_t> before,
                                       const flicgen::Palette& palette) {
    std::vector<std::uint8_t> bytes;
    Video1Output out(bytes, palette);
    std::size_t unchanged = 0;
    for (std::size_t line = 0; line < picture.height; line += side) {
        for (std::size_t column = 0; column < picture.width; column += side) {
            Block now = blockAt(picture, column, line, picture.pixels);
            if (!before.empty() && now == blockAt(picture, column, line, before)) {
                ++unchanged;
                continue;
            }
            out.skip(unchanged);
            unchanged = 0;
            out.block(now);
        }
    }
    out.skip(unchanged);
    return bytes;
}

}  // namespace avigen
