#pragma once
#include <array>
#include <cstdint>

#include "engine/base/RgbQuad.h"

// The colours every new bitmap starts with: the display's twenty static colours at 0..9 and
// 246..255, sixteen groups of rising brightness at 10..230 (each a grey followed by hues of
// about its brightness), and placeholders of blue 1 to 15 at 231..245.
struct DefaultColours {
    struct Entry {
        uint8_t red;
        uint8_t green;
        uint8_t blue;
    };
    static const std::array<Entry, 256> table;

    // All 256 into colour-table order.
    static void copyTo(RgbQuad* out);
};
