#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/base/RgbQuad.h"
#include "engine/platform/Memory.h"

namespace platform {

// A device-independent bitmap owned by the platform: pixels of 1, 4 or 8 bits with a colour
// table of 256 entries. Rows lie bottom-up: the lowest address holds the bottom row, and each
// row takes a whole number of 32-bit words.
class Section {
  public:
    // Null when the size or depth is unusable or memory is short.
    static std::unique_ptr<Section> create(int32_t width, int32_t height, int32_t bitsPerPixel,
                                           std::span<const RgbQuad> colours);

    // Only create() makes sections.
    class Key {
        friend class Section;
        Key() = default;
    };
    explicit Section(Key) {}
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;

    int32_t width() const { return pixelWidth; }
    int32_t height() const { return pixelHeight; }
    int32_t bitsPerPixel() const { return depth; }
    int32_t stride() const { return rowBytes; }
    uint8_t* bits() { return pixels.get(); }
    const uint8_t* bits() const { return pixels.get(); }
    const std::array<RgbQuad, 256>& colours() const { return table; }

    // Replaces colour-table entries from `start`, as many as exist; returns the count.
    uint32_t setColorTable(uint32_t start, std::span<const RgbQuad> entries);

    // Bytes per row of a device-independent bitmap: whole 32-bit words.
    static int64_t strideFor(int64_t width, int64_t bitsPerPixel) {
        return (width * bitsPerPixel + 31) / 32 * 4;
    }

  private:
    int32_t pixelWidth = 0;
    int32_t pixelHeight = 0;
    int32_t depth = 8;
    int32_t rowBytes = 0;
    Memory::Picture pixels;
    std::array<RgbQuad, 256> table{};
};

}  // namespace platform
