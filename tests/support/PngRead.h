#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct RgbPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
};

// Reads a PNG file as 8-bit RGB; an empty picture when it cannot.
RgbPicture readPng(const std::string& path);

}  // namespace testing_support
