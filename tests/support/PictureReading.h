#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageBitmap.h"

namespace testing_support {

// The current page of an open picture reader as a viewer shows it: drawn at (0, 0) into an
// 8-bit bitmap of its size, through the reader's palette, or through the default colours the
// bitmap starts with when the reader has none (deep pictures).
struct RgbPage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel, top row first
};
std::optional<RgbPage> readPage(mImageBitmap& reader);

// An 8-bit destination's colours as RGB, pixel after pixel.
std::vector<uint8_t> rgbOf(const mBitmap& bitmap);

// What a deep picture's colour becomes in a bitmap with the default colours: the nearest of
// them to its top four bits of red, green and blue.
std::array<uint8_t, 3> defaultColourOf(uint8_t red, uint8_t green, uint8_t blue);

// An independent decoder's RGB with every pixel taken through defaultColourOf.
std::vector<uint8_t> throughDefaultColours(const std::vector<uint8_t>& rgb);

// An 8-bit bitmap whose pixels all hold `fill`.
mBitmap filledBitmap(int32_t width, int32_t height, uint8_t fill);

// Where `target` first differs from what a drawing into `shown` should leave: the pixel
// `expected` gives inside it, `fill` outside. Empty when it does not.
std::string firstDifference(const mBitmap& target, const Rect& shown,
                            const std::function<uint8_t(int32_t x, int32_t y)>& expected,
                            uint8_t fill);

}  // namespace testing_support
