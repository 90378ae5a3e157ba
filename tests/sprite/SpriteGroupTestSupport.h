#pragma once
#include <cstdint>
#include <memory>

#include "engine/graphics/mBitmap.h"

namespace grouptest {

// An 8-bit bitmap whose pixel (x, y) is valueAt(base, x, y): never 0, the transparent index a
// new bitmap starts with, so that transparent copies draw every pixel too.
inline uint8_t valueAt(int32_t base, int32_t x, int32_t y) {
    return static_cast<uint8_t>(1 + (base + x + 16 * y) % 250);
}

inline std::unique_ptr<mBitmap> rampBitmap(int32_t width, int32_t height, int32_t base) {
    auto bitmap = std::make_unique<mBitmap>(width, height, 8);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            bitmap->info->topRow[y * bitmap->info->rowStep + x] = valueAt(base, x, y);
    return bitmap;
}

// A bitmap the test keeps: its own use stops the groups from deleting it, and uses() counts
// the others. Declare it before the groups that take it.
struct KeptBitmap {
    KeptBitmap(int32_t width, int32_t height, int32_t base)
        : bitmap(rampBitmap(width, height, base)) {
        bitmap->useCount = 1;
    }
    ~KeptBitmap() { bitmap->useCount -= 1; }
    KeptBitmap(const KeptBitmap&) = delete;
    KeptBitmap& operator=(const KeptBitmap&) = delete;

    int32_t uses() const { return bitmap->useCount - 1; }
    mBitmap& operator*() const { return *bitmap; }

    std::unique_ptr<mBitmap> bitmap;
};

}  // namespace grouptest
