#pragma once
#include <cstdint>

namespace platform {

// Pixels of 1, 4 or 8 bits packed into a row, the leftmost pixel in the highest bits.
inline uint8_t readPackedPixel(const uint8_t* row, int32_t x, int32_t bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1:
            return static_cast<uint8_t>(row[x / 8] >> (7 - x % 8) & 1);
        case 4:
            return static_cast<uint8_t>(row[x / 2] >> (x % 2 ? 0 : 4) & 0x0f);
        default:
            return row[x];
    }
}

inline void writePackedPixel(uint8_t* row, int32_t x, int32_t bitsPerPixel, uint8_t value) {
    switch (bitsPerPixel) {
        case 1: {
            auto mask = static_cast<uint8_t>(0x80 >> (x % 8));
            row[x / 8] = static_cast<uint8_t>(value & 1 ? row[x / 8] | mask : row[x / 8] & ~mask);
            break;
        }
        case 4: {
            int shift = x % 2 ? 0 : 4;
            row[x / 2] =
                static_cast<uint8_t>((row[x / 2] & ~(0x0f << shift)) | (value & 0x0f) << shift);
            break;
        }
        default:
            row[x] = value;
    }
}

}  // namespace platform
