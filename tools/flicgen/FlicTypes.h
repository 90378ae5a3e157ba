#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace flicgen {

enum class FlicFormat { Fli, Flc };

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

using Palette = std::array<Rgb, 256>;

// File, frame and chunk type codes of the format.
namespace code {
inline constexpr std::uint16_t fliMagic = 0xAF11;
inline constexpr std::uint16_t flcMagic = 0xAF12;
inline constexpr std::uint16_t frame = 0xF1FA;
inline constexpr std::uint16_t prefix = 0xF100;
inline constexpr std::uint16_t color256 = 4;
inline constexpr std::uint16_t wordDelta = 7;
inline constexpr std::uint16_t color64 = 11;
inline constexpr std::uint16_t byteDelta = 12;
inline constexpr std::uint16_t black = 13;
inline constexpr std::uint16_t byteRun = 15;
inline constexpr std::uint16_t literal = 16;
inline constexpr std::uint16_t postageStamp = 18;
}  // namespace code

inline constexpr std::size_t headerSize = 128;
inline constexpr std::size_t frameHeaderSize = 16;
inline constexpr std::size_t chunkHeaderSize = 6;

// A top-down 8-bit image, rows packed without padding.
struct ImageView {
    std::span<const std::uint8_t> pixels;
    std::size_t width = 0;
    std::size_t height = 0;

    std::span<const std::uint8_t> row(std::size_t y) const {
        return pixels.subspan(y * width, width);
    }
};

}  // namespace flicgen
