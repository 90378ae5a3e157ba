#pragma once
#include <array>
#include <cstdint>

// The colours every new bitmap starts with: the display's twenty static colours at 0..9 and
// 246..255, sixteen groups of rising brightness at 10..230 (each a grey followed by hues of
// about its brightness), and placeholders of blue 1 to 15 at 231..245.
struct DefaultColors {
    struct Entry {
        uint8_t red;
        uint8_t green;
        uint8_t blue;
    };
    static const std::array<Entry, 256> table;
};
