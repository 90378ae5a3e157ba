#include "engine/media/mImageFlic.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

#include "engine/platform/Memory.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FlicBuilder.h"
#include "tests/support/FlicTestFile.h"

using platform::ReportSink;
using testing_support::detailOf;
using testing_support::FlicBuilder;
using testing_support::FlicTestFile;
using testing_support::pixelAt;
using testing_support::pixelsOf;

namespace {

constexpr uint16_t width = 4;
constexpr uint16_t height = 2;
constexpr uint16_t frames = 6;

// Frame 0 is all colour 1; frame k sets (0, 0) to 100 + k and (k mod 4, 1) to 10 + k. The
// ring frame brings back frame 0's picture with a marker, 99 at (3, 0), so that a test can
// tell the ring frame from a replay.
std::vector<uint8_t> sixFrames() {
    FlicBuilder flic(FlicBuilder::flc, width, height, 66);
    std::array<uint8_t, 6> rgb{10, 20, 30, 40, 50, 60};
    std::vector<uint8_t> ones(width * height, 1);
    flic.frame({FlicBuilder::palette(0, rgb), FlicBuilder::byteRun(width, ones)});
    for (int k = 1; k < frames; ++k) {
        flic.frame({FlicBuilder::setPixel(0, 0, static_cast<uint8_t>(100 + k)),
                    FlicBuilder::setPixel(static_cast<int16_t>(k % width), 1,
                                          static_cast<uint8_t>(10 + k))});
    }
    std::vector<uint8_t> ring = ones;
    ring[3] = 99;
    flic.frame({FlicBuilder::byteRun(width, ring)});
    return flic.build(frames);
}

std::vector<uint8_t> expectedPicture(int frame) {
    std::vector<uint8_t> pixels(width * height, 1);
    for (int k = 1; k <= frame; ++k) {
        pixels[0] = static_cast<uint8_t>(100 + k);
        pixels[width + k % width] = static_cast<uint8_t>(10 + k);
    }
    return pixels;
}

class FlicSixFrames : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(flic.openImage(), 1); }

    std::vector<uint8_t> bytes = sixFrames();
    FlicTestFile test{bytes};
    mImageFlic& flic = test.flic;
};

TEST_F(FlicSixFrames, OpenReadsTheHeaderAndDecodesFrameZero) {
    EXPECT_EQ(flic.format, mImageFlic::formatFlc);
    EXPECT_EQ(flic.frameCount, frames);
    EXPECT_EQ(flic.frameWidth, width);
    EXPECT_EQ(flic.frameHeight, height);
    EXPECT_EQ(flic.bitsPerPixel, 8);
    EXPECT_EQ(flic.planes, 1);
    EXPECT_EQ(flic.kind, 4);
    EXPECT_EQ(flic.frameTime, 66);
    EXPECT_EQ(flic.dataSize, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(flic.lastDecoded, 0);
    EXPECT_EQ(flic.currentFrame, 0);
    EXPECT_EQ(flic.paletteChanged, 1);
    ASSERT_NE(flic.frameBitmap, nullptr);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(0));
    EXPECT_EQ(flic.palette, flic.frameBitmap->info->colorTable);
    EXPECT_EQ(flic.palette[1], (RgbQuad{60, 50, 40, 0}));
    EXPECT_EQ(flic.changed, (Rect{0, 0, width, height}));
    // The transparent colour comes from the first frame's top-left pixel; transparency stays
    // off as the owner left it.
    EXPECT_EQ(flic.transparentColour, 1u);
    EXPECT_EQ(flic.transparent, 0);
    EXPECT_EQ(flic.autoTransparentColour, 0);
    EXPECT_EQ(flic.openImage(), 0);
}

TEST_F(FlicSixFrames, ReadingTwiceDecodesOnceAndCopiesTwice) {
    mBitmap target(8, 6, 8);
    flic.attachBitmap(&target);
    ASSERT_EQ(flic.seekFrame(1, 0), 1);
    int32_t decodedUpTo = flic.position;
    EXPECT_EQ(flic.readFrame(2, 3, nullptr), 1);
    EXPECT_EQ(pixelAt(target, 2, 3), 101);
    target.fillRects(0, &*std::make_unique<Rect>(Rect{0, 0, 8, 6}), 1);
    EXPECT_EQ(flic.readFrame(2, 3, nullptr), 1);
    EXPECT_EQ(flic.position, decodedUpTo);
    EXPECT_EQ(flic.lastDecoded, 1);
    EXPECT_EQ(pixelAt(target, 2, 3), 101);
    EXPECT_EQ(pixelAt(target, 3, 4), 11);
    EXPECT_EQ(pixelAt(target, 1, 3), 0);
    flic.attachBitmap(nullptr);
}

TEST_F(FlicSixFrames, AutoAdvanceStopsOnTheLastFrame) {
    mBitmap target(width, height, 8);
    flic.attachBitmap(&target);
    flic.setAutoAdvance(1);
    for (int frame = 0; frame < frames; ++frame) {
        EXPECT_EQ(flic.readFrame(0, 0, nullptr), frame);
        EXPECT_EQ(pixelsOf(target), expectedPicture(frame));
    }
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), frames - 1);
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), frames - 1);
    EXPECT_EQ(flic.currentFrame, frames - 1);
    flic.attachBitmap(nullptr);
}

TEST_F(FlicSixFrames, SeekToZeroAfterTheLastFrameDecodesTheRingFrame) {
    for (int frame = 1; frame < frames; ++frame)
        ASSERT_EQ(flic.seekFrame(frame, 0), frame);
    EXPECT_EQ(flic.seekFrame(0, 0), 0);
    EXPECT_EQ(flic.lastDecoded, 0);
    EXPECT_EQ(flic.currentFrame, 0);
    std::vector<uint8_t> ring(width * height, 1);
    ring[3] = 99;
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), ring);
    // Decoding goes on with frame 1's data.
    EXPECT_EQ(flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelAt(*flic.frameBitmap, 0, 0), 101);
    EXPECT_EQ(pixelAt(*flic.frameBitmap, 1, 1), 11);
    EXPECT_EQ(pixelAt(*flic.frameBitmap, 3, 0), 99);
}

TEST_F(FlicSixFrames, SeekBackFromTheMiddleReplaysFromTheFirstFrame) {
    ASSERT_EQ(flic.seekFrame(1, 0), 1);
    ASSERT_EQ(flic.seekFrame(2, 0), 2);
    ASSERT_EQ(flic.seekFrame(3, 0), 3);
    EXPECT_EQ(flic.seekFrame(0, 0), 0);
    EXPECT_EQ(flic.currentFrame, 0);
    EXPECT_EQ(flic.changed, (Rect{0, 0, width, height}));
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(0));
    EXPECT_EQ(flic.seekFrame(2, 0), 2);
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), 2);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(2));
    // Back to frame 1: frame 0 is replayed internally, frame 1 waits for readFrame.
    EXPECT_EQ(flic.seekFrame(1, 0), 1);
    EXPECT_EQ(flic.lastDecoded, 0);
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), 1);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(1));
}

TEST_F(FlicSixFrames, SeekForwardDecodesTheFramesBetweenAndLeavesTheTarget) {
    ASSERT_EQ(flic.seekFrame(1, 0), 1);
    ASSERT_EQ(flic.seekFrame(2, 0), 2);
    EXPECT_EQ(flic.seekFrame(5, 0), 5);
    EXPECT_EQ(flic.lastDecoded, 4);
    EXPECT_EQ(flic.currentFrame, 5);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(4));
    EXPECT_EQ(flic.changed, (Rect{0, 0, width, height}));
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), 5);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(5));
}

TEST_F(FlicSixFrames, SeekOriginsAndOutOfRangeFrames) {
    ASSERT_EQ(flic.seekFrame(2, 0), 2);
    ASSERT_EQ(flic.readFrame(0, 0, nullptr), 2);
    int32_t positionBefore = flic.position;
    for (auto [frame, origin] : {std::pair{6, 0}, {100, 0}, {4, 1}, {0, 2}}) {
        EXPECT_EQ(flic.seekFrame(frame, origin), 2) << frame << " origin " << origin;
        EXPECT_EQ(flic.lastDecoded, 2);
        EXPECT_EQ(flic.currentFrame, 2);
        EXPECT_EQ(flic.position, positionBefore);
    }
    EXPECT_EQ(flic.seekFrame(1, 1), 3);
    EXPECT_EQ(flic.lastDecoded, 3);
    EXPECT_EQ(flic.seekFrame(1, 2), 5);
    EXPECT_EQ(flic.lastDecoded, 4);
    EXPECT_EQ(flic.seekFrame(-4, 1), 0);
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(0));
}

TEST_F(FlicSixFrames, FramesBeforeTheFirstAreTheFirst) {
    for (auto [frame, origin] :
         {std::pair{-1, 0}, {-5, 1}, {7, 2}, {std::numeric_limits<int32_t>::min(), 0}}) {
        ASSERT_EQ(flic.seekFrame(3, 0), 3);
        ASSERT_EQ(flic.readFrame(0, 0, nullptr), 3);
        EXPECT_EQ(flic.seekFrame(frame, origin), 0) << frame << " origin " << origin;
        EXPECT_EQ(flic.currentFrame, 0);
        EXPECT_EQ(flic.readFrame(0, 0, nullptr), 0);
        EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(0));
    }
    // After the last frame the ring frame brings back the first, as seekFrame(0, 0) does.
    ASSERT_EQ(flic.seekFrame(frames - 1, 0), frames - 1);
    ASSERT_EQ(flic.readFrame(0, 0, nullptr), frames - 1);
    EXPECT_EQ(flic.seekFrame(-frames, 1), 0);
    EXPECT_EQ(flic.lastDecoded, 0);
    EXPECT_EQ(pixelAt(*flic.frameBitmap, 3, 0), 99);
}

TEST_F(FlicSixFrames, ClippedCopiesWriteOnlyInsideTheClipAndTheFrame) {
    mBitmap target(8, 6, 8);
    Rect all{0, 0, 8, 6};
    target.fillRects(77, &all, 1);
    flic.attachBitmap(&target);
    Rect miss{5, 0, 8, 6};
    EXPECT_EQ(flic.readFrame(0, 0, &miss), 0);
    Rect outside{-100, -100, -50, -50};
    EXPECT_EQ(flic.readFrame(0, 0, &outside), 0);
    EXPECT_EQ(flic.readFrame(8, 6, nullptr), 0);
    EXPECT_EQ(flic.readFrame(-4, 0, nullptr), 0);
    EXPECT_EQ(pixelsOf(target), std::vector<uint8_t>(48, 77));

    Rect clip{3, 2, 7, 6};
    EXPECT_EQ(flic.readFrame(2, 2, &clip), 0);
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            bool inside = x >= 3 && x < 6 && y >= 2 && y < 4;
            EXPECT_EQ(pixelAt(target, x, y), inside ? 1 : 77) << x << "," << y;
        }
    }
    // A clip reaching past the destination is cut at its edges.
    Rect huge{-1000, -1000, 1000, 1000};
    EXPECT_EQ(flic.readFrame(6, 5, &huge), 0);
    EXPECT_EQ(pixelAt(target, 7, 5), 1);
    flic.attachBitmap(nullptr);
}

TEST_F(FlicSixFrames, TransparentCopySkipsTheTransparentColour) {
    ASSERT_EQ(flic.seekFrame(1, 0), 1);
    mBitmap target(width, height, 8);
    Rect all{0, 0, width, height};
    target.fillRects(5, &all, 1);
    flic.attachBitmap(&target);
    EXPECT_EQ(flic.setTransparent(1), 1);
    EXPECT_EQ(flic.frameBitmap->drawMode & mBitmap::drawTransparent, mBitmap::drawTransparent);
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), 1);
    EXPECT_EQ(pixelsOf(target), (std::vector<uint8_t>{101, 5, 5, 5, 5, 11, 5, 5}));
    EXPECT_EQ(flic.setTransparentColour(101), 101u);
    EXPECT_EQ(flic.frameBitmap->transparentIndex, 101u);
    target.fillRects(5, &all, 1);
    flic.readFrame(0, 0, nullptr);
    EXPECT_EQ(pixelsOf(target), (std::vector<uint8_t>{5, 1, 1, 1, 1, 11, 1, 1}));
    EXPECT_EQ(flic.setTransparent(0), 0);
    EXPECT_EQ(flic.frameBitmap->drawMode & mBitmap::drawTransparent, 0u);
    flic.attachBitmap(nullptr);
}

TEST_F(FlicSixFrames, RemapSwitchSetsTheDrawModeAndThePaletteFlag) {
    EXPECT_EQ(flic.setRemap(1), 1);
    EXPECT_EQ(flic.frameBitmap->drawMode & mBitmap::drawRemap, mBitmap::drawRemap);
    EXPECT_EQ(flic.paletteChanged, 0);
    EXPECT_EQ(flic.setRemap(0), 0);
    EXPECT_EQ(flic.frameBitmap->drawMode & mBitmap::drawRemap, 0u);
    EXPECT_EQ(flic.paletteChanged, 1);
}

TEST_F(FlicSixFrames, DestinationOfAnotherDepthIsRefused) {
    ReportSink::Capture capture;
    mBitmap deep(4, 4, 24);
    EXPECT_EQ(flic.attachBitmap(&deep), 0);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].caption, "mImageFlic");
    EXPECT_EQ(capture.reports()[0].text, "Bitmap error:Bitmap wrong format");
    // The destination is recorded all the same, but no 8-bit copy goes into it.
    EXPECT_EQ(flic.destination, &deep);
    EXPECT_EQ(deep.useCount, 1);
    EXPECT_EQ(flic.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(flic.attachBitmap(nullptr), 1);
    EXPECT_EQ(deep.useCount, 0);
    EXPECT_EQ(flic.destination, nullptr);
}

TEST_F(FlicSixFrames, AttachingMatchesTheFrameOrientationToTheDestination) {
    mBitmap topDown(width, -height, 8);
    ASSERT_EQ(topDown.info->topDown, 1);
    EXPECT_EQ(flic.attachBitmap(&topDown), 1);
    EXPECT_EQ(flic.frameBitmap->info->topDown, 1);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), expectedPicture(0));
    flic.seekFrame(1, 0);
    flic.readFrame(0, 0, nullptr);
    EXPECT_EQ(pixelsOf(topDown), expectedPicture(1));
    mBitmap bottomUp(width, height, 8);
    flic.attachBitmap(&bottomUp);
    EXPECT_EQ(flic.frameBitmap->info->topDown, 0);
    EXPECT_EQ(topDown.useCount, 0);
    EXPECT_EQ(bottomUp.useCount, 1);
    flic.attachBitmap(nullptr);
}

TEST_F(FlicSixFrames, CreateBitmapCopiesTheCurrentFrameAndKeepsTheDestination) {
    mBitmap stage(16, 16, 8);
    flic.attachBitmap(&stage);
    flic.seekFrame(1, 0);
    auto bitmap = flic.createBitmap(0);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(pixelsOf(*bitmap), expectedPicture(1));
    EXPECT_EQ(bitmap->info->colorTable[1], (RgbQuad{60, 50, 40, 0}));
    EXPECT_EQ(bitmap->transparentIndex, 101u);
    EXPECT_EQ(bitmap->drawMode & mBitmap::drawTransparent, mBitmap::drawTransparent);
    EXPECT_EQ(bitmap->useCount, 0);
    EXPECT_EQ(flic.destination, &stage);
    EXPECT_EQ(stage.useCount, 1);
    flic.attachBitmap(nullptr);
}

TEST_F(FlicSixFrames, WritingIsNotImplemented) {
    ReportSink::Capture capture;
    EXPECT_EQ(flic.WriteHeader(), 0);
    EXPECT_EQ(flic.WriteFrame(0, 0, 0), -1);
    EXPECT_EQ(flic.SetVideoDirect(0), ReportSink::idOk);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].text, "Not implemented:WriteHeader()");
    EXPECT_EQ(reports[1].text, "Not implemented:WriteFrame()");
    EXPECT_EQ(reports[2].text, "Not implemented:SetVideoDirect()");
    EXPECT_EQ(reports[2].icon, ReportSink::iconHand);
}

TEST(FlicOpen, FrameTimeOfFliIsInSeventiethsOfASecond) {
    FlicTestFile fli(FlicBuilder(FlicBuilder::fli, 2, 2, 5).frame({}).build(1));
    ASSERT_EQ(fli.flic.openImage(), 1);
    EXPECT_EQ(fli.flic.format, mImageFlic::formatFli);
    EXPECT_EQ(fli.flic.frameTime, 71);
}

TEST(FlicOpen, OtherMagicIsRejectedAndTheReaderReleased) {
    auto bytes = FlicBuilder(0xAF13, 2, 2).frame({}).build(1);
    FlicTestFile test(bytes);
    ReportSink::Capture capture;
    EXPECT_EQ(test.flic.openImage(), 0);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].caption, "mImageFlic");
    EXPECT_EQ(capture.reports()[0].text, "File type error:" + detailOf(test.file.path()));
    EXPECT_EQ(test.flic.format, 0u);
    EXPECT_EQ(test.flic.isOpen, 0);
    EXPECT_EQ(test.flic.frameBitmap, nullptr);
    EXPECT_EQ(test.flic.readFrame(0, 0, nullptr), -1);
}

// The reader's own buffer size holds for the next file also after a failed open released the
// last one (closing takes a file back to its defaults), and a size set before opening is kept.
TEST(FlicOpen, LargeBufferLastsFromFileToFile) {
    auto bytes = FlicBuilder(0xAF13, 2, 2).frame({}).build(1);
    FlicTestFile test(bytes);
    EXPECT_EQ(test.flic.bufferSize, mImageFlic::bufferBytes);
    ReportSink::Capture capture;
    EXPECT_EQ(test.flic.openImage(), 0);
    EXPECT_EQ(test.flic.isOpen, 0);
    EXPECT_EQ(test.flic.bufferSize, mImageFlic::bufferBytes);
    test.flic.setBufferSizes(512, 256);
    ASSERT_EQ(test.flic.open(test.file.path(), 0), 1);
    EXPECT_EQ(test.flic.bufferSize, 512);
    test.flic.close();
}

TEST(FlicOpen, ShortFilesAndEmptyPicturesAreRejected) {
    for (auto bytes : {std::vector<uint8_t>(60, 0), FlicBuilder(FlicBuilder::flc, 0, 5).build(0),
                       FlicBuilder(FlicBuilder::flc, 5, 0).build(0)}) {
        if (bytes.size() >= 6) bytes[4] = 0x12, bytes[5] = 0xAF;
        FlicTestFile test(bytes);
        ReportSink::Capture capture;
        EXPECT_EQ(test.flic.openImage(), 0);
        ASSERT_EQ(capture.count(), 1u);
        EXPECT_EQ(capture.reports()[0].text, "File type error:" + detailOf(test.file.path()));
    }
}

TEST(FlicOpen, FrameBitmapThatCannotBeMadeFailsTheOpen) {
    FlicTestFile test(sixFrames());
    ReportSink::Capture capture;
    platform::Memory::failAfter(0);
    EXPECT_EQ(test.flic.openImage(), 0);
    platform::Memory::failAfter(-1);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].caption, "mBitmap");
    EXPECT_EQ(capture.reports()[0].text, "Out of memory");
    EXPECT_EQ(test.flic.format, 0u);
    EXPECT_EQ(test.flic.isOpen, 0);
    EXPECT_EQ(test.flic.frameBitmap, nullptr);
}

TEST(FlicOpen, PicturesTooLargeToAddressAreRefused) {
    FlicTestFile test(FlicBuilder(FlicBuilder::flc, 65535, 65535).frame({}).build(1));
    ReportSink::Capture capture;
    EXPECT_EQ(test.flic.openImage(), 0);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].caption, "mImageFlic");
    EXPECT_EQ(capture.reports()[0].text, "Out of memory:" + detailOf(test.file.path()));
    EXPECT_EQ(test.flic.isOpen, 0);
}

TEST(FlicOpen, ReadFrameOpensTheImageFirst) {
    FlicTestFile test(sixFrames());
    mBitmap target(width, height, 8);
    test.flic.attachBitmap(&target);
    EXPECT_EQ(test.flic.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(pixelsOf(target), expectedPicture(0));
    test.flic.attachBitmap(nullptr);
}

TEST(FlicOpen, DestroyingAReaderStillInUseWarnsOnce) {
    ReportSink::Capture capture;
    auto bytes = sixFrames();
    {
        FlicTestFile test(bytes);
        test.flic.openImage();
        test.flic.useCount = 2;
    }
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].caption, "mImageFlic");
    EXPECT_EQ(capture.reports()[0].text, "Still in use");
}

}  // namespace
