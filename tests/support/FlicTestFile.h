#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageFlic.h"
#include "tests/support/TempFile.h"

namespace testing_support {

// A FLIC reader over bytes written to a temporary file; the file part is open, the image not.
struct FlicTestFile {
    explicit FlicTestFile(std::span<const uint8_t> bytes);

    TempFile file;
    mImageFlic flic;
};

uint8_t pixelAt(const mBitmap& bitmap, int32_t x, int32_t y);
// The displayed pixels, row by row.
std::vector<uint8_t> pixelsOf(const mBitmap& bitmap);
// The detail a report shows for a file name (cut at 40 characters).
std::string detailOf(const char* name);

}  // namespace testing_support
