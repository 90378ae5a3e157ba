#include "tests/support/FlicTestFile.h"

namespace testing_support {

FlicTestFile::FlicTestFile(std::span<const uint8_t> bytes) : file(bytes, ".flc") {
    flic.open(file.path(), 0);
}

uint8_t pixelAt(const mBitmap& bitmap, int32_t x, int32_t y) {
    return bitmap.info->topRow[static_cast<std::ptrdiff_t>(y) * bitmap.info->rowStep + x];
}

std::vector<uint8_t> pixelsOf(const mBitmap& bitmap) {
    std::vector<uint8_t> pixels;
    for (int32_t y = 0; y < bitmap.info->height; ++y) {
        for (int32_t x = 0; x < bitmap.info->width; ++x)
            pixels.push_back(pixelAt(bitmap, x, y));
    }
    return pixels;
}

std::string detailOf(const char* name) {
    return std::string(name).substr(0, 40);
}

}  // namespace testing_support
