#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageFlic.h"
#include "tests/support/FlicBuilder.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/TempFile.h"

using testing_support::ByteWriter;
using testing_support::FlicBuilder;
using testing_support::pixelsOf;
using testing_support::TempFile;

namespace {

constexpr uint16_t width = 37;
constexpr uint16_t height = 4;

std::vector<uint8_t> repeat(std::vector<uint8_t> pattern, std::size_t times) {
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < times; ++i)
        out.insert(out.end(), pattern.begin(), pattern.end());
    return out;
}

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Packets of every chunk type that run past the end of an odd-width row, start beyond it or
// end it exactly, on a picture of colour 1. A quiet chunk at the end leaves enough bytes after
// every packet for the decoders to read them straight from a large buffer.
std::vector<uint8_t> rowEndsFile() {
    ByteWriter words;
    words.u16(4);
    words.u16(1).u8(30).u8(4).u8(10).u8(11).u8(12).u8(13).u8(14).u8(15).u8(16).u8(17);
    words.u16(2).u8(0).u8(0xFF).u8(7).u8(8).u8(32).u8(0xFE).u8(20).u8(21);
    words.u16(0x8000 | 42).u16(2).u8(40).u8(1).u8(9).u8(9).u8(255).u8(0xFF).u8(3).u8(3);
    words.u16(3).u8(0).u8(0xEE).u8(5).u8(6).u8(0).u8(1).u8(50).u8(51).u8(0).u8(0xFF).u8(60).u8(61);

    ByteWriter bytes;
    bytes.u16(0).u16(4);
    bytes.u8(2).u8(35).u8(3).u8(70).u8(71).u8(72).u8(0).u8(0xFF).u8(73);
    bytes.u8(1).u8(33).u8(0xF0).u8(74);
    bytes.u8(0);
    bytes.u8(2).u8(0).u8(0).u8(255).u8(2).u8(1).u8(2);

    ByteWriter runs;
    runs.u8(0).u8(0xFB).u8(81).u8(82).u8(83).u8(84).u8(85).u8(40).u8(86);
    runs.u8(0).u8(36).u8(87).u8(0xFD).u8(88).u8(89).u8(90);
    runs.u8(0).u8(0x80);
    for (int i = 0; i < 128; ++i)
        runs.u8(static_cast<uint8_t>(i));
    runs.u8(0).u8(0).u8(91).u8(37).u8(92);

    FlicBuilder flic(FlicBuilder::flc, width, height);
    flic.frame({FlicBuilder::byteRun(width, std::vector<uint8_t>(width * height, 1))});
    flic.frame({FlicBuilder::chunk(7, words.data)});
    flic.frame({FlicBuilder::chunk(12, bytes.data)});
    flic.frame(
        {FlicBuilder::chunk(15, runs.data), FlicBuilder::chunk(18, std::vector<uint8_t>(1000, 0))});
    return flic.build(4);
}

// Frames 1 to 3 of rowEndsFile with their changed rectangles, read through buffers of the
// given sizes.
std::vector<std::pair<std::vector<uint8_t>, Rect>> framesOf(const TempFile& file, int32_t buffer,
                                                            int32_t wrap) {
    mImageFlic flic;
    flic.setBufferSizes(buffer, wrap);
    EXPECT_EQ(flic.open(file.path(), 0), 1);
    EXPECT_EQ(flic.openImage(), 1);
    std::vector<std::pair<std::vector<uint8_t>, Rect>> frames;
    for (int32_t frame = 1; frame <= 3; ++frame) {
        EXPECT_EQ(flic.seekFrame(frame, 0), frame);
        frames.emplace_back(pixelsOf(*flic.frameBitmap), flic.changed);
    }
    return frames;
}

// Each buffer size makes the packets go another way: all straight from the buffer, switching
// to refills part way through a row, or all through refills of a few bytes.
TEST(FlicRowEnds, PacketsCutByTheRowEndDecodeAlikeWhateverTheBuffer) {
    TempFile file(rowEndsFile(), ".flc");
    std::vector<uint8_t> words = join({
        repeat({1}, 30),
        {10, 11, 12, 13, 14, 15, 16},
        {7, 8},
        repeat({1}, 32),
        {20, 21, 20},
        repeat({1}, 36),
        {42},
        repeat({5, 6}, 18),
        {50},
    });
    std::vector<uint8_t> bytes = join({
        repeat({1}, 30),
        {10, 11, 12, 13, 14, 70, 71},
        {7, 8},
        repeat({1}, 31),
        repeat({74}, 4),
        repeat({1}, 36),
        {42},
        repeat({5, 6}, 18),
        {50},
    });
    std::vector<uint8_t> counting;
    for (uint8_t i = 0; i < width; ++i)
        counting.push_back(i);
    std::vector<uint8_t> runs = join({
        {81, 82, 83, 84, 85},
        repeat({86}, 32),
        repeat({87}, 36),
        {88},
        counting,
        repeat({92}, 37),
    });
    for (auto [buffer, wrap] : {std::pair{8192, 2048}, std::pair{512, 256}, std::pair{12, 4}}) {
        SCOPED_TRACE(buffer);
        auto frames = framesOf(file, buffer, wrap);
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0].first, words);
        EXPECT_EQ(frames[0].second, (Rect{0, 0, width, height}));
        EXPECT_EQ(frames[1].first, bytes);
        EXPECT_EQ(frames[1].second, (Rect{0, 0, width, height}));
        EXPECT_EQ(frames[2].first, runs);
    }
}

// Per row, short runs that leave old pixels between them and one that runs past the row's end
// by more than the row's padding, as word delta, byte delta and byte run frames. In a bitmap
// stored bottom up the first row lies last in memory, top down the last row does.
std::vector<uint8_t> shortRunsFile() {
    ByteWriter words;
    words.u16(height);
    ByteWriter bytes;
    bytes.u16(0).u16(height);
    ByteWriter runs;
    for (uint8_t row = 0; row < height; ++row) {
        const auto base = static_cast<uint8_t>(10 * row + 10);
        words.u16(3).u8(2).u8(1).u8(base).u8(base + 1);
        words.u8(3).u8(0xFD).u8(base + 2).u8(base + 3);
        words.u8(13).u8(0xF8).u8(base + 4).u8(base + 5);
        bytes.u8(3).u8(1).u8(2).u8(base).u8(base + 1);
        bytes.u8(3).u8(0xFA).u8(base + 2);
        bytes.u8(16).u8(0xF2).u8(base + 3);
        runs.u8(0).u8(28).u8(base).u8(0xFC).u8(base + 1).u8(base + 2).u8(base + 3).u8(base + 4);
        runs.u8(16).u8(base + 5);
    }
    FlicBuilder flic(FlicBuilder::flc, width, height);
    flic.frame({FlicBuilder::byteRun(width, std::vector<uint8_t>(width * height, 1))});
    flic.frame({FlicBuilder::chunk(7, words.data)});
    flic.frame({FlicBuilder::byteRun(width, std::vector<uint8_t>(width * height, 1))});
    flic.frame({FlicBuilder::chunk(12, bytes.data)});
    flic.frame(
        {FlicBuilder::chunk(15, runs.data), FlicBuilder::chunk(18, std::vector<uint8_t>(1000, 0))});
    return flic.build(5);
}

TEST(FlicRowEnds, ShortRunsKeepThePixelsAfterThemAndStayInTheirRow) {
    TempFile file(shortRunsFile(), ".flc");
    std::vector<uint8_t> words;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> runs;
    for (uint8_t row = 0; row < height; ++row) {
        const auto base = static_cast<uint8_t>(10 * row + 10);
        auto b = [base](int plus) { return static_cast<uint8_t>(base + plus); };
        words.insert(words.end(), {1, 1, b(0), b(1), 1, 1, 1});
        std::vector<uint8_t> tail = join({repeat({b(2), b(3)}, 3), repeat({1}, 13)});
        words.insert(words.end(), tail.begin(), tail.end());
        for (int i = 0; i < 11; ++i)
            words.push_back(b(4 + i % 2));
        bytes.insert(bytes.end(), {1, b(0), b(1), 1, 1, 1});
        tail = join({repeat({b(2)}, 6), repeat({1}, 16), repeat({b(3)}, 9)});
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        tail = join({repeat({b(0)}, 28), {b(1), b(2), b(3), b(4)}, repeat({b(5)}, 5)});
        runs.insert(runs.end(), tail.begin(), tail.end());
    }
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown);
        mImageFlic flic;
        ASSERT_EQ(flic.open(file.path(), 0), 1);
        ASSERT_EQ(flic.openImage(), 1);
        mBitmap target(width, topDown ? -height : height, 8);
        ASSERT_EQ(flic.attachBitmap(&target), 1);
        ASSERT_EQ(flic.frameBitmap->info->topDown, topDown ? 1 : 0);
        EXPECT_EQ(flic.seekFrame(1, 0), 1);
        EXPECT_EQ(pixelsOf(*flic.frameBitmap), words);
        EXPECT_EQ(flic.seekFrame(2, 0), 2);
        EXPECT_EQ(flic.seekFrame(3, 0), 3);
        EXPECT_EQ(pixelsOf(*flic.frameBitmap), bytes);
        EXPECT_EQ(flic.seekFrame(4, 0), 4);
        EXPECT_EQ(pixelsOf(*flic.frameBitmap), runs);
        flic.attachBitmap(nullptr);
    }
}

// A word-delta packet of one pair that starts on a row's last pixel keeps the pair's first
// pixel and leaves the row's padding (rows are stored 4 bytes wide) as it was, in every row.
TEST(FlicRowEnds, OnePairOnTheLastPixelLeavesThePadding) {
    constexpr uint16_t narrow = 3;
    ByteWriter words;
    words.u16(2);
    for (uint8_t row = 0; row < 2; ++row)
        words.u16(1).u8(2).u8(1).u8(static_cast<uint8_t>(40 + row)).u8(77);
    FlicBuilder flic(FlicBuilder::flc, narrow, 2);
    flic.frame({FlicBuilder::byteRun(narrow, std::vector<uint8_t>(narrow * 2, 1))});
    flic.frame(
        {FlicBuilder::chunk(7, words.data), FlicBuilder::chunk(18, std::vector<uint8_t>(1000, 0))});
    TempFile file(flic.build(2), ".flc");
    mImageFlic reader;
    ASSERT_EQ(reader.open(file.path(), 0), 1);
    ASSERT_EQ(reader.openImage(), 1);
    const SurfaceInfo& surface = *reader.frameBitmap->info;
    for (int32_t row = 0; row < 2; ++row)
        surface.topRow[row * surface.rowStep + narrow] = 9;
    EXPECT_EQ(reader.seekFrame(1, 0), 1);
    EXPECT_EQ(pixelsOf(*reader.frameBitmap), (std::vector<uint8_t>{1, 1, 40, 1, 1, 41}));
    for (int32_t row = 0; row < 2; ++row)
        EXPECT_EQ(surface.topRow[row * surface.rowStep + narrow], 9) << row;
}

}  // namespace
