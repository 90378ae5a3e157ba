#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/media/mImageFlic.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FlicBuilder.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/TempFile.h"

using platform::ReportSink;
using testing_support::ByteWriter;
using testing_support::detailOf;
using testing_support::FlicBuilder;
using testing_support::FlicTestFile;
using testing_support::pixelAt;
using testing_support::pixelsOf;

namespace {

// A file whose frame 0 fills a width x height picture with colour 1 and whose frame 1 holds
// the given chunks.
std::vector<uint8_t> secondFrameOf(uint16_t width, uint16_t height,
                                   std::initializer_list<std::vector<uint8_t>> chunks) {
    FlicBuilder flic(FlicBuilder::flc, width, height);
    flic.frame({FlicBuilder::byteRun(width, std::vector<uint8_t>(width * height, 1))});
    flic.frame(chunks);
    return flic.build(2);
}

std::vector<uint8_t> payload(std::initializer_list<uint8_t> bytes) {
    return bytes;
}

TEST(FlicChunks, ClearChunkIsSixBytesWhateverItsSizeSays) {
    auto clear = FlicBuilder::chunk(13, {}, 100);
    FlicTestFile test(secondFrameOf(4, 3, {clear, FlicBuilder::setPixel(2, 1, 7)}));
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    std::vector<uint8_t> expected(12, 0);
    expected[4 + 2] = 7;
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), expected);
    EXPECT_EQ(test.flic.changed, (Rect{0, 0, 4, 3}));
    EXPECT_EQ(capture.count(), 0u);
}

TEST(FlicChunks, UnknownChunkIsSkippedBySizeAfterOneWarning) {
    auto unknown = FlicBuilder::chunk(5, payload({1, 2, 3, 4, 5}));
    FlicBuilder flic(FlicBuilder::flc, 4, 3);
    flic.frame({FlicBuilder::byteRun(4, std::vector<uint8_t>(12, 1))});
    flic.frame({unknown, FlicBuilder::setPixel(1, 0, 8)});
    flic.frame({unknown, FlicBuilder::setPixel(2, 0, 9)});
    FlicTestFile test(flic.build(3));
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].caption, "mImageFlic");
    EXPECT_EQ(capture.reports()[0].text, "Bad chunk type:" + detailOf(test.file.path()));
    EXPECT_EQ(capture.reports()[0].icon, ReportSink::iconExclamation);
    EXPECT_EQ(pixelAt(*test.flic.frameBitmap, 1, 0), 8);
    ASSERT_EQ(test.flic.seekFrame(2, 0), 2);
    EXPECT_EQ(pixelAt(*test.flic.frameBitmap, 2, 0), 9);
    EXPECT_EQ(capture.count(), 1u);
}

TEST(FlicChunks, PostageStampIsSkippedQuietly) {
    auto stamp = FlicBuilder::chunk(18, std::vector<uint8_t>(40, 0xEE));
    FlicTestFile test(secondFrameOf(4, 3, {stamp, FlicBuilder::setPixel(3, 2, 6)}));
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelAt(*test.flic.frameBitmap, 3, 2), 6);
    EXPECT_EQ(capture.count(), 0u);
}

TEST(FlicChunks, ByteRunPadByteIsSkipped) {
    // Three pixels in one row: a 5-byte payload, padded to an even chunk size.
    auto run = FlicBuilder::byteRun(3, payload({4, 5, 6}));
    ASSERT_EQ(run.size(), 12u);
    FlicBuilder flic(FlicBuilder::flc, 3, 1);
    flic.frame({run, FlicBuilder::setPixel(1, 0, 9)});
    FlicTestFile test(flic.build(1));
    ASSERT_EQ(test.flic.openImage(), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), payload({4, 9, 6}));
}

TEST(FlicChunks, ByteRunRepeatsAndCopiesAndStopsAtTheRowEnd) {
    ByteWriter rows;
    rows.u8(0).u8(2).u8(7).u8(0xFE).u8(8).u8(9);  // 7 7 8 9
    rows.u8(0).u8(6).u8(3);                       // 3 3 3 3, two more dropped
    FlicBuilder flic(FlicBuilder::flc, 4, 2);
    flic.frame({FlicBuilder::chunk(15, rows.data)});
    FlicTestFile test(flic.build(1));
    ASSERT_EQ(test.flic.openImage(), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), payload({7, 7, 8, 9, 3, 3, 3, 3}));
}

TEST(FlicChunks, LiteralIsCopiedAfterAWarning) {
    FlicBuilder flic(FlicBuilder::flc, 3, 2);
    flic.frame({FlicBuilder::chunk(16, payload({1, 2, 3, 4, 5, 6}))});
    FlicTestFile test(flic.build(1));
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), payload({1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].text, "Not tested:LITERAL");
    EXPECT_EQ(capture.reports()[0].icon, ReportSink::iconExclamation);
}

// Rows wider than the wrap area cannot be kept whole by a refill; they are read in pieces.
TEST(FlicChunks, RowsWiderThanTheWrapAreaDecode) {
    constexpr uint16_t wide = 3001;
    std::vector<uint8_t> pixels(wide * 2);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i % 251);
    std::vector<uint8_t> reversed(pixels.rbegin(), pixels.rend());
    FlicBuilder flic(FlicBuilder::flc, wide, 2);
    flic.frame({FlicBuilder::chunk(16, pixels)});
    flic.frame({FlicBuilder::byteRun(wide, reversed)});
    FlicTestFile test(flic.build(2));
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), pixels);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), reversed);
}

TEST(FlicChunks, PalettePacketsSkipAndShiftAndStopAtEntry255) {
    ByteWriter packets;
    packets.u16(2).u8(3).u8(1).u8(1).u8(2).u8(63);  // entry 3, 64 levels
    packets.u8(250).u8(8);                          // entries 254 to 261
    for (int i = 0; i < 8; ++i)
        packets.u8(10).u8(20).u8(static_cast<uint8_t>(30 + i));
    FlicBuilder flic(FlicBuilder::flc, 2, 2);
    flic.frame({FlicBuilder::chunk(11, packets.data), FlicBuilder::setPixel(0, 0, 5)});
    FlicTestFile test(flic.build(1));
    ASSERT_EQ(test.flic.openImage(), 1);
    const RgbQuad* colours = test.flic.palette;
    EXPECT_EQ(colours[3], (RgbQuad{252, 8, 4, 0}));
    EXPECT_EQ(colours[254], (RgbQuad{120, 80, 40, 0}));
    EXPECT_EQ(colours[255], (RgbQuad{124, 80, 40, 0}));
    EXPECT_EQ(test.flic.paletteChanged, 1);
    // The chunk was read to its end: the pixel chunk after it decoded.
    EXPECT_EQ(pixelAt(*test.flic.frameBitmap, 0, 0), 5);
}

TEST(FlicChunks, PaletteChangeRebuildsTheRemapTable) {
    std::array<uint8_t, 3> red{255, 0, 0};
    std::array<uint8_t, 3> green{0, 255, 0};
    FlicBuilder flic(FlicBuilder::flc, 2, 1);
    flic.frame({FlicBuilder::palette(1, red), FlicBuilder::byteRun(2, payload({1, 1}))});
    flic.frame({FlicBuilder::palette(1, green)});
    FlicTestFile test(flic.build(2));
    ASSERT_EQ(test.flic.openImage(), 1);

    mBitmap stage(2, 1, 8);
    std::array<RgbQuad, 256> stageColours{};
    stageColours[7] = RgbQuad{0, 0, 255, 0};
    stageColours[9] = RgbQuad{0, 255, 0, 0};
    stageColours[200] = RgbQuad{255, 255, 255, 0};
    stage.setColors(stageColours.data(), 0, 256);
    test.flic.attachBitmap(&stage);
    test.flic.setRemap(1);
    test.flic.updateRemap();
    EXPECT_EQ(test.flic.remapActive, 1);
    test.flic.readFrame(0, 0, nullptr);
    EXPECT_EQ(pixelAt(stage, 0, 0), 7);
    test.flic.seekFrame(1, 0);
    EXPECT_EQ(test.flic.paletteChanged, 0);
    test.flic.readFrame(0, 0, nullptr);
    EXPECT_EQ(pixelAt(stage, 0, 0), 9);
    test.flic.attachBitmap(nullptr);
}

// Word-oriented delta on a 5 x 4 picture: skip a row, the last pixel of an odd-width row, a
// copied pair and a repeated pair, skip a row, then a repeat that runs past the right edge.
TEST(FlicChunks, WordDeltaOpcodesAndPackets) {
    ByteWriter delta;
    delta.u16(2);
    delta.u16(0xFFFF).u16(0x802A);
    delta.u16(2).u8(0).u8(1).u8(3).u8(4).u8(0).u8(0xFF).u8(7).u8(8);
    delta.u16(0xFFFF);
    delta.u16(1).u8(3).u8(0xFE).u8(5).u8(6);
    FlicTestFile test(secondFrameOf(5, 4, {FlicBuilder::chunk(7, delta.data)}));
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap),
              payload({1, 1, 1, 1, 1, 3, 4, 7, 8, 42, 1, 1, 1, 1, 1, 1, 1, 1, 5, 6}));
    EXPECT_EQ(test.flic.changed, (Rect{0, 1, 5, 4}));
}

TEST(FlicChunks, ByteDeltaPacketsAndChangedRectangle) {
    ByteWriter delta;
    delta.u16(1).u16(2);
    delta.u8(2).u8(1).u8(2).u8(5).u8(6).u8(0).u8(0xFE).u8(9);  // row 1: 1 5 6 9 9 1
    delta.u8(2).u8(255).u8(0).u8(2).u8(0xFF).u8(4);            // row 2: skip 257, off the row
    FlicTestFile test(secondFrameOf(6, 3, {FlicBuilder::chunk(12, delta.data)}));
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap),
              payload({1, 1, 1, 1, 1, 1, 1, 5, 6, 9, 9, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(test.flic.changed, (Rect{1, 1, 6, 3}));
}

TEST(FlicChunks, ByteDeltaWithFirstLineAtTheBottomChangesNothing) {
    ByteWriter delta;
    delta.u16(3).u16(0);
    FlicTestFile test(secondFrameOf(4, 3, {FlicBuilder::chunk(12, delta.data)}));
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), std::vector<uint8_t>(12, 1));
    EXPECT_TRUE(test.flic.changed.isEmpty());
    EXPECT_EQ(capture.count(), 0u);
}

TEST(FlicChunks, FramesWithoutChunksChangeNothing) {
    FlicTestFile test(secondFrameOf(4, 3, {}));
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), std::vector<uint8_t>(12, 1));
    EXPECT_TRUE(test.flic.changed.isEmpty());
}

}  // namespace
