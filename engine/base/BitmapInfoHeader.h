#pragma once
#include <cstdint>

// The 40-byte header in front of a memory bitmap's colour table and pixels. It describes
// memory, never a file: file headers are read field by field.
struct BitmapInfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;  // negative: the first row in memory is the top row
    uint16_t planes = 1;
    uint16_t bitCount = 8;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);
