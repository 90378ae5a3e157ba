#pragma once
#include <cstdint>
#include <memory>

#include "engine/graphics/mBitmap.h"

// Turns decoded lines of a picture into the pixels of a destination bitmap of at most 8 bits.
// Pictures of at most 8 bits in all give colour indexes: the pixel's bits of plane j become
// bits j x depth and up of the index (8-bit pixels in one plane are their own index). Deeper
// pictures go through a table from 12-bit colours (red, green, blue, 4 bits each) to the
// destination's nearest colours: 8-bit planes holding red, green and blue, or pixels of 16,
// 24 or 32 bits whose colours lie under bit masks.
class PixelConversion {
  public:
    // How a line holds its planes: plane after plane (planeBytes apart), or one plane.
    struct Layout {
        int32_t bitsPerPixel = 8;
        int32_t planes = 1;
        int32_t planeBytes = 0;
    };
    // Where the colours of pixels of more than 8 bits lie.
    struct Masks {
        uint32_t red = 0;
        uint32_t green = 0;
        uint32_t blue = 0;
    };

    // False from convertible() when the table cannot be had or the depths have no conversion.
    PixelConversion(const mBitmap& destination, Layout layout, Masks masks);

    // Whether pixels of this layout can be written into the destination at all.
    bool convertible() const { return mode != Mode::none; }

    // Converts pixels first to end - 1 of `line` into destination row `row`, starting at
    // destination column `column`. Pixels that lie past the line's planeBytes are black.
    void convert(const uint8_t* line, int32_t first, int32_t end, uint8_t* row,
                 int32_t column) const;

    // Writes colour index `index` at `column` of a row of `depth` bits per pixel (1, 4 or 8).
    static void store(uint8_t* row, int32_t column, int32_t depth, uint8_t index);

  private:
    enum class Mode { none, indexes, planarColour, packedColour };
    // One colour component at the top 4 bits of its mask.
    struct Component {
        uint32_t mask = 0;
        int shift = 0;       // to bring the component's top bit to bit 3
        int32_t levels = 0;  // components narrower than 4 bits: their largest value
        uint32_t top4(uint32_t pixel) const;
    };

    uint8_t indexAt(const uint8_t* line, int32_t pixel) const;
    bool buildTable(const mBitmap& destination);

    Mode mode = Mode::none;
    Layout layout;
    int32_t destinationDepth = 8;
    int32_t storedPixels = 0;  // the pixels a line holds
    int32_t bytesPerPixel = 0;
    Component red, green, blue;
    uint8_t black = 0;                 // the destination index of a pixel of zero bits
    std::unique_ptr<uint8_t[]> table;  // 4096 destination indexes
};
