#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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

std::vector<uint8_t> readTestFile(const std::string& name) {
    std::ifstream in(std::string(LUMIVALE_TESTDATA) + "/flic/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Four frames: frame k (k >= 1) sets pixel (k, 0) to k. No ring frame.
std::vector<uint8_t> fourFrames(uint16_t statedFrames) {
    FlicBuilder flic(FlicBuilder::flc, 4, 2);
    flic.frame({FlicBuilder::byteRun(4, std::vector<uint8_t>(8, 1))});
    for (int k = 1; k < 4; ++k) {
        flic.frame({FlicBuilder::setPixel(static_cast<int16_t>(k), 0, static_cast<uint8_t>(k))});
    }
    return flic.build(statedFrames);
}

// Runs the reader through everything a player does; a damaged file must not make it read or
// write outside its buffers or loop without end. Returns the texts of the reports.
std::vector<std::string> playThrough(std::span<const uint8_t> bytes) {
    ReportSink::Capture capture;
    {
        FlicTestFile test(bytes);
        mImageFlic& flic = test.flic;
        mBitmap target(40, 30, 8);
        flic.attachBitmap(&target);
        if (flic.openImage()) {
            flic.setAutoAdvance(1);
            for (int i = 0; i <= flic.frameCount + 1 && i < 50; ++i)
                flic.readFrame(3, 2, nullptr);
            flic.seekFrame(0, 0);
            flic.readFrame(-5, -7, nullptr);
            flic.seekFrame(flic.frameCount - 1, 0);
            flic.seekFrame(1, 0);
            flic.readFrame(0, 0, nullptr);
        }
        flic.attachBitmap(nullptr);
    }
    std::vector<std::string> texts;
    for (const auto& report : capture.reports())
        texts.push_back(report.text);
    return texts;
}

TEST(FlicDamaged, BadFrameHeaderFailsTheReadAndKeepsTheFrame) {
    auto bytes = fourFrames(4);
    int32_t frame1 = 128 + bytes[128];  // frame 0 is shorter than 256 bytes
    bytes[frame1 + 4] = 0x34;           // the type of frame 1's header
    FlicTestFile test(bytes);
    ASSERT_EQ(test.flic.openImage(), 1);
    ReportSink::Capture capture;
    EXPECT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(test.flic.readFrame(0, 0, nullptr), -1);
    EXPECT_EQ(capture.count(), 2u);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);  // the same report twice
    EXPECT_EQ(reports[0].caption, "mImageFlic");
    EXPECT_EQ(reports[0].text, "Bad frame header:" + detailOf(test.file.path()));
    EXPECT_EQ(reports[0].icon, ReportSink::iconHand);
    EXPECT_EQ(test.flic.lastDecoded, 0);
    EXPECT_EQ(test.flic.position, frame1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), std::vector<uint8_t>(8, 1));
}

TEST(FlicDamaged, FirstFrameThatCannotBeDecodedKeepsTheCurrentFrameInRange) {
    auto bytes = fourFrames(4);
    bytes[128 + 4] = 0x34;  // the type of frame 0's header
    FlicTestFile test(bytes);
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    EXPECT_EQ(test.flic.lastDecoded, -1);
    EXPECT_EQ(test.flic.seekFrame(2, 0), 2);
    EXPECT_EQ(test.flic.currentFrame, 0);
    EXPECT_EQ(test.flic.readFrame(0, 0, nullptr), -1);
    EXPECT_EQ(test.flic.seekFrame(7, 0), 0);
    EXPECT_EQ(test.flic.position, 128);
    EXPECT_GE(capture.count(), 2u);
    for (const auto& report : capture.reports())
        EXPECT_EQ(report.text, "Bad frame header:" + detailOf(test.file.path()));
}

TEST(FlicDamaged, FileWithoutRingFrameReplaysFromTheStart) {
    FlicTestFile test(fourFrames(4));
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    for (int frame = 1; frame < 4; ++frame)
        ASSERT_EQ(test.flic.seekFrame(frame, 0), frame);
    EXPECT_EQ(test.flic.seekFrame(0, 0), 0);
    EXPECT_EQ(test.flic.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), std::vector<uint8_t>(8, 1));
    EXPECT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelAt(*test.flic.frameBitmap, 1, 0), 1);
    EXPECT_EQ(pixelAt(*test.flic.frameBitmap, 2, 0), 1);
    EXPECT_EQ(capture.count(), 0u);
}

TEST(FlicDamaged, FrameCountBeyondTheFramesReportsOnceWhenSeekingPast) {
    FlicTestFile test(fourFrames(20));
    ASSERT_EQ(test.flic.openImage(), 1);
    ReportSink::Capture capture;
    EXPECT_EQ(test.flic.seekFrame(15, 0), 15);
    EXPECT_EQ(capture.count(), 1u);
    EXPECT_EQ(test.flic.lastDecoded, 3);
    EXPECT_EQ(test.flic.readFrame(0, 0, nullptr), -1);
    EXPECT_EQ(capture.count(), 2u);
}

TEST(FlicDamaged, PixelsOutsideTheFrameAreDropped) {
    ByteWriter delta;
    delta.u16(0xFFFF).u16(5);             // rows -1 to 3 of a 3-row picture
    delta.u8(1).u8(0).u8(2).u8(9).u8(9);  // row -1
    delta.u8(2).u8(2).u8(3).u8(20).u8(21).u8(22).u8(250).u8(0xFD).u8(30);
    delta.u8(0);                        // row 1
    delta.u8(1).u8(0).u8(0x80).u8(40);  // row 2: 128 pixels of 40
    delta.u8(1).u8(1).u8(1).u8(50);     // row 3
    FlicBuilder flic(FlicBuilder::flc, 4, 3);
    flic.frame({FlicBuilder::byteRun(4, std::vector<uint8_t>(12, 1))});
    flic.frame({FlicBuilder::chunk(12, delta.data), FlicBuilder::setPixel(0, 1, 60)});
    FlicTestFile test(flic.build(2));
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap),
              (std::vector<uint8_t>{1, 1, 20, 21, 60, 1, 1, 1, 40, 40, 40, 40}));
    EXPECT_EQ(test.flic.changed, (Rect{0, 0, 4, 3}));
}

TEST(FlicDamaged, WordDeltaSkipsPastTheBottom) {
    ByteWriter delta;
    delta.u16(3).u16(0xC000).u16(1).u8(0).u8(0xFF).u8(5).u8(5).u16(0).u16(0);
    FlicBuilder flic(FlicBuilder::flc, 4, 3);
    flic.frame({FlicBuilder::byteRun(4, std::vector<uint8_t>(12, 1))});
    flic.frame({FlicBuilder::chunk(7, delta.data), FlicBuilder::setPixel(3, 2, 70)});
    FlicTestFile test(flic.build(2));
    ASSERT_EQ(test.flic.openImage(), 1);
    ASSERT_EQ(test.flic.seekFrame(1, 0), 1);
    std::vector<uint8_t> expected(12, 1);
    expected[11] = 70;
    EXPECT_EQ(pixelsOf(*test.flic.frameBitmap), expected);
}

TEST(FlicDamaged, ChunkSizesSmallerThanTheirHeaderStillMoveOn) {
    auto zeroSized = FlicBuilder::chunk(5, {}, 0);
    auto palette = FlicBuilder::chunk(4, std::vector<uint8_t>{0, 0}, 2);
    FlicBuilder flic(FlicBuilder::flc, 2, 1);
    flic.frame({zeroSized, palette, FlicBuilder::setPixel(1, 0, 3)});
    FlicTestFile test(flic.build(1));
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    EXPECT_EQ(pixelAt(*test.flic.frameBitmap, 1, 0), 3);
    EXPECT_EQ(capture.count(), 1u);
}

TEST(FlicDamaged, PrefixChunkBeforeTheFirstFrameIsPassedOver) {
    auto bytes = readTestFile("2422.flc");
    ASSERT_GT(bytes.size(), 128u);
    FlicTestFile original(bytes);
    ASSERT_EQ(original.flic.openImage(), 1);
    for (int i = 80; i < 88; ++i)
        bytes[i] = 0;
    FlicTestFile zeroed(bytes);
    ReportSink::Capture capture;
    ASSERT_EQ(zeroed.flic.openImage(), 1);
    EXPECT_EQ(pixelsOf(*zeroed.flic.frameBitmap), pixelsOf(*original.flic.frameBitmap));
    EXPECT_EQ(zeroed.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(original.flic.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelsOf(*zeroed.flic.frameBitmap), pixelsOf(*original.flic.frameBitmap));
    EXPECT_EQ(capture.count(), 0u);
}

TEST(FlicDamaged, FrameOffsetsOutsideTheFileMeanDirectlyAfterTheHeader) {
    auto bytes = fourFrames(4);
    bytes[83] = 0x7F;
    bytes[87] = 0xFF;
    FlicTestFile test(bytes);
    ReportSink::Capture capture;
    ASSERT_EQ(test.flic.openImage(), 1);
    EXPECT_EQ(test.flic.frameOffset1(), 128);
    EXPECT_EQ(test.flic.seekFrame(3, 0), 3);
    EXPECT_EQ(test.flic.readFrame(0, 0, nullptr), 3);
    EXPECT_EQ(pixelAt(*test.flic.frameBitmap, 3, 0), 3);
    EXPECT_EQ(capture.count(), 0u);
}

// Every prefix of a file, cut anywhere: only header reports (each read of the missing frame
// reports again), never a crash or a hang.
TEST(FlicDamaged, TruncatedFilesAreReadSafely) {
    auto whole = fourFrames(4);
    auto real = readTestFile("ANN2.FLI");
    std::vector<std::span<const uint8_t>> cuts;
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
        cuts.push_back(std::span(whole).first(cut));
    for (std::size_t cut = 100; cut < real.size(); cut += 997)
        cuts.push_back(std::span(real).first(cut));
    for (auto bytes : cuts) {
        for (const auto& text : playThrough(bytes)) {
            EXPECT_TRUE(text.starts_with("Bad frame header:") ||
                        text.starts_with("File type error:"))
                << "cut at " << bytes.size() << ": " << text;
        }
    }
}

// Bytes flipped all over a real file past the picture size (frame offsets, frame and chunk
// headers, chunk data): nothing but the reader's own format reports.
TEST(FlicDamaged, CorruptedBytesAreReadSafely) {
    auto original = readTestFile("2422.flc");
    ASSERT_FALSE(original.empty());
    uint32_t state = 12345;
    for (int round = 0; round < 40; ++round) {
        auto bytes = original;
        for (int flip = 0; flip < 30; ++flip) {
            state = state * 1103515245u + 12345u;
            std::size_t at = 16 + (state >> 8) % (bytes.size() - 16);
            bytes[at] = static_cast<uint8_t>(state >> 24);
        }
        for (const auto& text : playThrough(bytes)) {
            EXPECT_TRUE(text.starts_with("Bad frame header:") ||
                        text.starts_with("Bad chunk type:") || text == "Not tested:LITERAL")
                << "round " << round << ": " << text;
        }
    }
}

}  // namespace
