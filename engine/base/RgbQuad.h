#pragma once
#include <cstdint>

// One colour-table entry, in the byte order bitmaps store it: blue, green, red, zero.
struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;

    bool sameColour(const RgbQuad& other) const {
        return blue == other.blue && green == other.green && red == other.red;
    }
    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};
static_assert(sizeof(RgbQuad) == 4);
