// Every frame the reader decodes from the independent clips in tests/data/avi shows the pixels
// ffmpeg decodes from the same file, through the palette in force at that frame.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "tests/support/AviClip.h"
#include "tests/support/FfmpegDecode.h"

namespace {

std::filesystem::path clipPath(const std::string& name) {
    return std::filesystem::path(LUMIVALE_TESTDATA) / "avi" / name;
}

class AviFilesTest : public ::testing::TestWithParam<std::string> {};

TEST_P(AviFilesTest, EveryFrameEqualsFfmpegs) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    std::filesystem::path path = clipPath(GetParam());
    std::string failure;
    auto theirs = testing_support::ffmpegDecode(path, {}, &failure);
    ASSERT_TRUE(theirs) << failure;
    auto ours = testing_support::decodeClip(path);
    ASSERT_TRUE(ours);
    ASSERT_EQ(ours->size(), theirs->frames.size());
    for (std::size_t k = 0; k < ours->size(); ++k)
        EXPECT_TRUE((*ours)[k] == theirs->frames[k]) << "frame " << k;
}

INSTANTIATE_TEST_SUITE_P(TestData, AviFilesTest,
                         ::testing::Values("upload.avi", "ff_raw_pal8_160x120_bottomup.avi",
                                           "ff_raw_pal8_80x60_u8audio.avi",
                                           "ff_raw_pal8_33x17_s16audio.avi",
                                           "ff_raw_pal8_80x60_palchange.avi"),
                         [](const auto& param) {
                             std::string name = param.param.substr(0, param.param.find('.'));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(AviFiles, SixteenBitVideo1IsRefused) {
    testing_support::AviClip clip(clipPath("ff_cram16_64x48.avi"));
    EXPECT_FALSE(clip.isOpen());
    EXPECT_EQ(clip.avi.format, 0u);
    EXPECT_EQ(clip.avi.decompressor, 0u);
}

}  // namespace
