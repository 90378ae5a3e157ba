#include "saver/host/PngWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/PngRead.h"
#include "tests/support/TempFile.h"

namespace {

TEST(PngWriter, WritesPixelsThatReadBackExactly) {
    std::vector<uint8_t> rgb(5 * 3 * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 37);
    auto path = testing_support::uniqueTempPath(".png");
    ASSERT_TRUE(PngWriter::write(path, 5, 3, rgb));
    auto back = testing_support::readPng(path);
    std::filesystem::remove(path);
    EXPECT_EQ(back.width, 5);
    EXPECT_EQ(back.height, 3);
    EXPECT_EQ(back.rgb, rgb);
}

TEST(PngWriter, RefusesShortPixelsAndUnwritablePaths) {
    std::vector<uint8_t> rgb(10);
    EXPECT_FALSE(PngWriter::write(testing_support::uniqueTempPath(".png"), 5, 3, rgb));
    EXPECT_FALSE(PngWriter::write("/nonexistent/dir/x.png", 1, 1, rgb));
    EXPECT_FALSE(PngWriter::write(testing_support::uniqueTempPath(".png"), 0, 1, rgb));
}

}  // namespace
