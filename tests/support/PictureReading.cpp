#include "tests/support/PictureReading.h"

#include <algorithm>

namespace testing_support {

std::vector<uint8_t> rgbOf(const mBitmap& bitmap) {
    const SurfaceInfo& info = *bitmap.info;
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < info.height; ++y) {
        const uint8_t* row = info.topRow + std::ptrdiff_t{y} * info.rowStep;
        for (int32_t x = 0; x < info.width; ++x) {
            const RgbQuad& colour = info.colorTable[row[x]];
            out.insert(out.end(), {colour.red, colour.green, colour.blue});
        }
    }
    return out;
}

std::optional<RgbPage> readPage(mImageBitmap& reader) {
    mBitmap target(reader.frameWidth, reader.frameHeight, 8);
    reader.attachBitmap(&target);
    const int32_t result = reader.readFrame(0, 0, nullptr);
    if (reader.palette) target.setColors(reader.palette, 0, 256);
    reader.attachBitmap(nullptr);
    if (result < 0) return std::nullopt;
    return RgbPage{reader.frameWidth, reader.frameHeight, rgbOf(target)};
}

std::array<uint8_t, 3> defaultColourOf(uint8_t red, uint8_t green, uint8_t blue) {
    static const mBitmap defaults(1, 1, 8);
    RgbQuad wanted{static_cast<uint8_t>(blue & 0xf0), static_cast<uint8_t>(green & 0xf0),
                   static_cast<uint8_t>(red & 0xf0), 0};
    const RgbQuad& found = defaults.info->colorTable[defaults.nearestColor(wanted)];
    return {found.red, found.green, found.blue};
}

std::vector<uint8_t> throughDefaultColours(const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> out;
    out.reserve(rgb.size());
    for (std::size_t at = 0; at + 2 < rgb.size(); at += 3) {
        auto colour = defaultColourOf(rgb[at], rgb[at + 1], rgb[at + 2]);
        out.insert(out.end(), colour.begin(), colour.end());
    }
    return out;
}

mBitmap filledBitmap(int32_t width, int32_t height, uint8_t fill) {
    mBitmap target(width, height, 8);
    for (int32_t y = 0; y < height; ++y)
        std::fill_n(target.info->topRow + std::ptrdiff_t{y} * target.info->rowStep, width, fill);
    return target;
}

std::string firstDifference(const mBitmap& target, const Rect& shown,
                            const std::function<uint8_t(int32_t x, int32_t y)>& expected,
                            uint8_t fill) {
    const SurfaceInfo& info = *target.info;
    for (int32_t y = 0; y < info.height; ++y) {
        for (int32_t x = 0; x < info.width; ++x) {
            bool inside = x >= shown.left && x < shown.right && y >= shown.top && y < shown.bottom;
            uint8_t wanted = inside ? expected(x, y) : fill;
            uint8_t found = info.topRow[std::ptrdiff_t{y} * info.rowStep + x];
            if (found != wanted) {
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " +
                       std::to_string(found) + ", not " + std::to_string(wanted);
            }
        }
    }
    return {};
}

}  // namespace testing_support
