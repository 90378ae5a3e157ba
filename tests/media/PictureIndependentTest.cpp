// Every picture in tests/data/pcx, dcx and bmp decodes to the pixels an independent decoder
// shows: ffmpeg for PCX and BMP, ImageMagick for the pages of DCX files. Pictures of at most
// 8 bits go through their palette; deeper ones into the default colours by the 12-bit rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/mImagePCX.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/PictureReading.h"

namespace fs = std::filesystem;
using testing_support::RgbPage;

namespace {

std::vector<std::string> filesIn(const char* folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(LUMIVALE_TESTDATA) / folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Where the reader's page and the independent decoder's picture first differ.
void expectSamePicture(const RgbPage& ours, const testing_support::DecodedVideo& theirs,
                       bool deep) {
    ASSERT_EQ(ours.width, theirs.width);
    ASSERT_EQ(ours.height, theirs.height);
    ASSERT_EQ(theirs.frames.size(), 1u);
    const std::vector<uint8_t> expected =
        deep ? testing_support::throughDefaultColours(theirs.frames[0]) : theirs.frames[0];
    ASSERT_EQ(ours.rgb.size(), expected.size());
    for (std::size_t at = 0; at < expected.size(); at += 3) {
        std::size_t pixel = at / 3;
        ASSERT_TRUE(std::equal(expected.begin() + static_cast<std::ptrdiff_t>(at),
                               expected.begin() + static_cast<std::ptrdiff_t>(at + 3),
                               ours.rgb.begin() + static_cast<std::ptrdiff_t>(at)))
            << "first difference at " << pixel % static_cast<std::size_t>(ours.width) << ","
            << pixel / static_cast<std::size_t>(ours.width);
    }
}

std::string testName(const testing::TestParamInfo<std::string>& file) {
    std::string name = file.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class PcxIndependent : public testing::TestWithParam<std::string> {};

TEST_P(PcxIndependent, DecodesAsFfmpegDoes) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    fs::path path = fs::path(LUMIVALE_TESTDATA) / "pcx" / GetParam();
    platform::ReportSink::Capture capture;
    mImagePCX pcx;
    ASSERT_EQ(pcx.open(path.c_str(), 0), 1);
    ASSERT_EQ(pcx.openImage(), 1);
    auto ours = testing_support::readPage(pcx);
    ASSERT_TRUE(ours);
    auto theirs = testing_support::ffmpegDecode(path);
    ASSERT_TRUE(theirs);
    expectSamePicture(*ours, *theirs, pcx.bitsPerPixel * pcx.planes > 8);
    pcx.close();
    EXPECT_TRUE(capture.reports().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, PcxIndependent, testing::ValuesIn(filesIn("pcx")), testName);

}  // namespace
