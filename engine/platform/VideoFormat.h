#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace platform {

// The 8-bit picture a video decoder writes into: row y of the picture, counted from the top, is
// `width` bytes at topRow + y × rowStep. Decoders write nothing outside it.
struct FrameTarget {
    uint8_t* topRow = nullptr;
    std::ptrdiff_t rowStep = 0;
    int32_t width = 0;
    int32_t height = 0;

    // Row y from the top, or null outside the picture.
    uint8_t* row(int64_t y) const {
        if (y < 0 || y >= height) return nullptr;
        return topRow + static_cast<std::ptrdiff_t>(y) * rowStep;
    }
};

// The fields of a stream's BITMAPINFO that decoders use, read from the record's bytes.
struct VideoFormat {
    static constexpr std::size_t headerSize = 40;
    static constexpr uint32_t compressionRgb = 0;
    static constexpr uint32_t compressionRle8 = 1;

    int32_t width = 0;
    int32_t height = 0;  // negative: the rows lie top row first
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    // The colour table that follows the header: blue, green, red, zero, at most 256 entries.
    std::span<const uint8_t> colours;

    // Rows of the picture, whichever way round they are stored.
    int32_t rows() const { return height < 0 ? -height : height; }
    bool bottomUp() const { return height > 0; }

    // Empty when the record is shorter than the header or its header size field.
    static std::optional<VideoFormat> parse(std::span<const uint8_t> record);
};

}  // namespace platform
