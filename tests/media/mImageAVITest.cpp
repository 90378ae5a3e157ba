#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/platform/Memory.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/AviClip.h"

using platform::ReportSink;
using testing_support::AviClip;

namespace {

std::filesystem::path clipPath(const std::string& name) {
    return std::filesystem::path(LUMIVALE_TESTDATA) / "avi" / name;
}

TEST(mImageAVI, OpeningSetsTheReaderStateFromTheHeaders) {
    AviClip clip(clipPath("upload.avi"));
    ASSERT_TRUE(clip.isOpen());
    const mImageAVI& avi = clip.avi;
    EXPECT_EQ(avi.format, mImageAVI::formatAvi);
    EXPECT_EQ(avi.frameCount, 34);
    EXPECT_EQ(avi.width, 272);
    EXPECT_EQ(avi.frameHeight, 60);
    EXPECT_EQ(avi.frameTime, 100);
    // The RIFF form's end, not the file's: 430 bytes lie behind it.
    EXPECT_EQ(avi.dataSize, 28160 - 430);
    EXPECT_EQ(avi.currentFrame, 0);
    EXPECT_EQ(avi.decodedFrame, -1);
    EXPECT_EQ(avi.bitsPerPixel, 8);
    EXPECT_EQ(avi.paletteChanged, 1);
    EXPECT_EQ(avi.palette, avi.frameBitmap.info->colorTable);
    EXPECT_NE(avi.indexOffset, 0u);
    // The handler is "mrle" in lower case.
    EXPECT_NE(avi.decompressor, 0u);
    EXPECT_EQ(avi.mImage::count, 0);
}

TEST(mImageAVI, SeeksCountedFromTheEndAndPastItFollowTheFrameCount) {
    AviClip clip(clipPath("upload.avi"));
    ASSERT_TRUE(clip.isOpen());
    mImageAVI& avi = clip.avi;
    EXPECT_EQ(avi.seekFrame(1, 2), 33);
    EXPECT_EQ(avi.currentFrame, 33);
    EXPECT_EQ(clip.read(), 33);
    EXPECT_EQ(avi.seekFrame(0, 2), 33);
    EXPECT_EQ(avi.seekFrame(34, 0), 33);
    EXPECT_EQ(avi.seekFrame(5, 0), 5);
    EXPECT_EQ(avi.seekFrame(1000, 0), 5);
    // A frame before the first is the first.
    EXPECT_EQ(avi.seekFrame(-40, 1), 0);
    EXPECT_EQ(clip.read(), 0);
}

TEST(mImageAVI, TheFrameAfterTheDecodedOneIsDecodedByTheNextRead) {
    AviClip clip(clipPath("upload.avi"));
    ASSERT_TRUE(clip.isOpen());
    mImageAVI& avi = clip.avi;
    ASSERT_EQ(clip.read(), 0);
    const int32_t position = avi.position;
    EXPECT_EQ(avi.seekFrame(1, 0), 1);
    EXPECT_EQ(avi.decodedFrame, 0);
    EXPECT_EQ(avi.position, position);
    EXPECT_EQ(clip.read(), 1);
    EXPECT_EQ(avi.decodedFrame, 1);
    // Reading the decoded frame again copies it without decoding.
    EXPECT_EQ(clip.read(), 1);
}

TEST(mImageAVI, AutoAdvanceStopsOnTheLastFrame) {
    AviClip clip(clipPath("ff_raw_pal8_80x60_u8audio.avi"));
    ASSERT_TRUE(clip.isOpen());
    clip.avi.setAutoAdvance(1);
    for (int32_t k = 0; k < 10; ++k)
        ASSERT_EQ(clip.read(), k);
    EXPECT_EQ(clip.avi.currentFrame, 9);
    EXPECT_EQ(clip.read(), 9);
    EXPECT_EQ(clip.avi.currentFrame, 9);
}

TEST(mImageAVI, TheFirstFramesTopLeftPixelKeysTheColourAndTransparencyStays) {
    AviClip clip(clipPath("upload.avi"));
    ASSERT_TRUE(clip.isOpen());
    mImageAVI& avi = clip.avi;
    ASSERT_EQ(clip.read(), 0);
    const uint8_t topLeft = *avi.frameBitmap.info->topRow;
    EXPECT_EQ(avi.transparentColour, topLeft);
    EXPECT_EQ(avi.transparent, 0);
    EXPECT_EQ(avi.autoColourKey, 0);
    EXPECT_EQ(avi.frameBitmap.drawMode & mBitmap::drawTransparent, 0u);
    // Only the first decoded frame keys the colour.
    avi.setTransparentColour(3);
    avi.setTransparent(0);
    avi.seekFrame(1, 0);
    clip.read();
    EXPECT_EQ(avi.transparentColour, 3u);
}

TEST(mImageAVI, WritingAndReadingWithoutDestinationFail) {
    mImageAVI avi;
    ASSERT_EQ(avi.mFile::open(clipPath("upload.avi").c_str(), 0), 1);
    EXPECT_EQ(avi.readFrame(0, 0, nullptr), -1);
    ReportSink::Capture capture;
    EXPECT_EQ(avi.WriteHeader(), 0);
    EXPECT_EQ(avi.WriteFrame(0, 0, 0), 0);
    ASSERT_EQ(capture.reports().size(), 2u);
    for (const platform::Report& report : capture.reports()) {
        EXPECT_EQ(report.caption, "mImageAVI");
        EXPECT_EQ(report.text.rfind("Not implemented", 0), 0u) << report.text;
    }
}

TEST(mImageAVI, FilesThatAreNoClipDoNotOpen) {
    for (const char* name : {"../wav/welcome.wav", "../bmp/pal8.bmp"}) {
        AviClip clip(clipPath(name));
        EXPECT_FALSE(clip.isOpen()) << name;
    }
}

TEST(mImageAVI, BuffersThatCannotBeMadeReportOutOfMemory) {
    struct Restore {
        ~Restore() { platform::Memory::failAfter(-1); }
    } restore;
    {
        mImageAVI avi;
        ASSERT_EQ(avi.mFile::open(clipPath("upload.avi").c_str(), 0), 1);
        ReportSink::Capture capture;
        // The first block opening makes is the video format.
        platform::Memory::failAfter(0);
        EXPECT_EQ(avi.openImage(), 0);
        platform::Memory::failAfter(-1);
        ASSERT_EQ(capture.reports().size(), 1u);
        EXPECT_EQ(capture.reports()[0].caption, "mImageAVI");
        EXPECT_EQ(capture.reports()[0].text.rfind("Out of memory", 0), 0u);
        EXPECT_EQ(avi.format, 0u);
    }
    AviClip clip(clipPath("upload.avi"));
    ASSERT_TRUE(clip.isOpen());
    // A buffer that has to grow for the first chunk and cannot.
    clip.avi.compressedFrame.reset();
    clip.avi.compressedCapacity = 0;
    ReportSink::Capture capture;
    platform::Memory::failAfter(0);
    EXPECT_EQ(clip.read(), -1);
    platform::Memory::failAfter(-1);
    ASSERT_EQ(capture.reports().size(), 1u);
    EXPECT_EQ(capture.reports()[0].text.rfind("Out of memory", 0), 0u);
    EXPECT_EQ(clip.avi.decodedFrame, -1);
    // The next read makes it.
    EXPECT_EQ(clip.read(), 0);
}

TEST(mImageAVI, DestroyingAReaderStillHeldWarns) {
    ReportSink::Capture capture;
    {
        auto avi = std::make_unique<mImageAVI>();
        ASSERT_EQ(avi->mFile::open(clipPath("upload.avi").c_str(), 0), 1);
        ASSERT_EQ(avi->openImage(), 1);
        avi->useCount = 1;
    }
    ASSERT_EQ(capture.reports().size(), 1u);
    EXPECT_EQ(capture.reports()[0].caption, "mImageAVI");
    EXPECT_EQ(capture.reports()[0].text.rfind("Still in use", 0), 0u);
}

}  // namespace
