// Every picture in tests/data/pcx, dcx and bmp decodes to the pixels an independent decoder
// shows: ffmpeg for PCX and BMP, ImageMagick for the pages of DCX files. Pictures of at most
// 8 bits go through their palette; deeper ones into the default colours by the 12-bit rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/media/mImageBMP.h"
#include "engine/media/mImageDCX.h"
#include "engine/media/mImagePCX.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/PictureReading.h"
#include "tests/support/TempFile.h"

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

std::vector<uint8_t> contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

// The reader's picture of `path` against ffmpeg's.
template <class Reader>
void expectAsFfmpeg(const fs::path& path) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    platform::ReportSink::Capture capture;
    Reader reader;
    ASSERT_EQ(reader.open(path.c_str(), 0), 1);
    ASSERT_EQ(reader.openImage(), 1);
    auto ours = testing_support::readPage(reader);
    ASSERT_TRUE(ours);
    auto theirs = testing_support::ffmpegDecode(path);
    ASSERT_TRUE(theirs);
    expectSamePicture(*ours, *theirs, reader.bitsPerPixel * reader.planes > 8);
    reader.close();
    EXPECT_TRUE(capture.reports().empty());
}

class PcxIndependent : public testing::TestWithParam<std::string> {};

TEST_P(PcxIndependent, DecodesAsFfmpegDoes) {
    expectAsFfmpeg<mImagePCX>(fs::path(LUMIVALE_TESTDATA) / "pcx" / GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, PcxIndependent, testing::ValuesIn(filesIn("pcx")), testName);

class DcxIndependent : public testing::TestWithParam<std::string> {};

TEST_P(DcxIndependent, EveryPageDecodesAsImageMagickDoes) {
    if (!testing_support::magickAvailable()) GTEST_SKIP() << "ImageMagick is not installed";
    fs::path path = fs::path(LUMIVALE_TESTDATA) / "dcx" / GetParam();
    platform::ReportSink::Capture capture;
    mImageDCX dcx;
    ASSERT_EQ(dcx.open(path.c_str(), 0), 1);
    ASSERT_EQ(dcx.openImage(), 1);
    ASSERT_GT(dcx.frameCount, 0);
    for (int32_t page = 0; page < dcx.frameCount; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        ASSERT_EQ(dcx.seekFrame(page, 0), page);
        auto ours = testing_support::readPage(dcx);
        ASSERT_TRUE(ours);
        auto theirs = testing_support::magickDecodePage(path, page);
        ASSERT_TRUE(theirs);
        if (dcx.bitsPerPixel == 1 && dcx.planes == 1) {
            // ImageMagick shows 1-bit PCX pictures inverted against their palette (plain PCX
            // files too, where ffmpeg does not): the page as a PCX file of its own goes to
            // ffmpeg instead, and ImageMagick's picture must be its exact inverse.
            auto bytes = contentsOf(path);
            auto end = page + 1 < dcx.frameCount ? dcx.pageOffset(page + 1) : bytes.size();
            testing_support::TempFile alone(std::span<const uint8_t>(bytes).subspan(
                                                dcx.pageOffset(page), end - dcx.pageOffset(page)),
                                            ".pcx");
            auto ffmpeg = testing_support::ffmpegDecode(alone.path());
            ASSERT_TRUE(ffmpeg);
            expectSamePicture(*ours, *ffmpeg, false);
            for (uint8_t& value : theirs->frames[0])
                value = static_cast<uint8_t>(255 - value);
        }
        expectSamePicture(*ours, *theirs, dcx.bitsPerPixel * dcx.planes > 8);
    }
    dcx.close();
    EXPECT_TRUE(capture.reports().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, DcxIndependent, testing::ValuesIn(filesIn("dcx")), testName);

class BmpIndependent : public testing::TestWithParam<std::string> {};

TEST_P(BmpIndependent, DecodesAsFfmpegDoes) {
    expectAsFfmpeg<mImageBMP>(fs::path(LUMIVALE_TESTDATA) / "bmp" / GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, BmpIndependent, testing::ValuesIn(filesIn("bmp")), testName);

}  // namespace
