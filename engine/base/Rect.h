#pragma once
#include <cstdint>

// A rectangle in pixels; right and bottom are exclusive.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool isEmpty() const { return left >= right || top >= bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};
