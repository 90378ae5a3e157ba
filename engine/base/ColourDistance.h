#pragma once
#include <cstdint>

namespace platform {

// Squared distance of two colours in RGB, for any two types with red, green and blue bytes.
template <class A, class B>
uint32_t colourDistance(const A& a, const B& b) {
    int32_t red = a.red - b.red;
    int32_t green = a.green - b.green;
    int32_t blue = a.blue - b.blue;
    return static_cast<uint32_t>(red * red + green * green + blue * blue);
}

}  // namespace platform
