#include "engine/graphics/mBitmap.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "engine/platform/Memory.h"
#include "engine/platform/ReportSink.h"

using platform::ReportSink;

namespace {

// The one-pixel placeholder every empty or failed bitmap describes.
void expectPlaceholder(const mBitmap& bitmap) {
    EXPECT_EQ(bitmap.info, &bitmap.surface);
    EXPECT_EQ(bitmap.info->width, 1);
    EXPECT_EQ(bitmap.info->height, 1);
    EXPECT_EQ(bitmap.info->bitsPerPixel, 8);
    EXPECT_EQ(bitmap.info->stride, 1);
    EXPECT_EQ(bitmap.info->rowStep, 1);
    EXPECT_EQ(bitmap.info->bits, bitmap.placeholderPixels.data());
    EXPECT_EQ(bitmap.info->topRow, bitmap.placeholderPixels.data());
    EXPECT_EQ(bitmap.info->colorTable, nullptr);
    EXPECT_EQ(bitmap.header, nullptr);
}

void expectOneReport(const ReportSink::Capture& capture, const char* text, uint32_t icon) {
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mBitmap");
    EXPECT_EQ(reports[0].text, text);
    EXPECT_EQ(reports[0].icon, icon);
}

TEST(mBitmapShape, EmptyBitmapIsThePlaceholder) {
    mBitmap bitmap;
    expectPlaceholder(bitmap);
    EXPECT_EQ(bitmap.info->topDown, 1);
    EXPECT_EQ(bitmap.transparentIndex, 0u);
    EXPECT_EQ(bitmap.drawMode, 0u);
    // Writing through the description stays inside the bitmap.
    *bitmap.info->topRow = 7;
    EXPECT_EQ(bitmap.placeholderPixels[0], 7);
}

TEST(mBitmapShape, StrideOrientationAndTopRow) {
    const std::array<std::pair<int32_t, int32_t>, 3> widths = {{{3, 4}, {4, 4}, {5, 8}}};
    for (auto [width, stride] : widths) {
        for (int32_t sign : {1, -1}) {
            SCOPED_TRACE(testing::Message() << "width " << width << " sign " << sign);
            mBitmap bitmap(width, 6 * sign, 8);
            const SurfaceInfo& s = *bitmap.info;
            EXPECT_EQ(s.width, width);
            EXPECT_EQ(s.height, 6);
            EXPECT_EQ(s.stride, stride);
            if (sign < 0) {
                EXPECT_EQ(s.topDown, 1);
                EXPECT_EQ(s.rowStep, stride);
                EXPECT_EQ(s.topRow, s.bits);
            } else {
                EXPECT_EQ(s.topDown, 0);
                EXPECT_EQ(s.rowStep, -stride);
                EXPECT_EQ(s.topRow, s.bits + 5 * stride);
            }
            // The last displayed pixel lies inside the pixel block.
            uint8_t* last = s.topRow + 5 * s.rowStep + width - 1;
            EXPECT_GE(last, s.bits);
            EXPECT_LT(last, s.bits + 6 * stride);
        }
    }
}

TEST(mBitmapShape, MemoryBlockHoldsHeaderColoursAndPixels) {
    mBitmap bitmap(10, 10, 8);
    uint8_t* block = bitmap.memoryHandle.get();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(bitmap.memorySize, 40u + 1024u + 10u * 12u);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(bitmap.header), block);
    EXPECT_EQ(bitmap.bitmapInfo, bitmap.header);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(bitmap.info->colorTable), block + 40);
    EXPECT_EQ(bitmap.info->bits, block + 40 + 1024);

    const BitmapInfoHeader& h = *bitmap.header;
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 10);
    EXPECT_EQ(h.height, 10);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitCount, 8);
    EXPECT_EQ(h.compression, 0u);
    EXPECT_EQ(h.clrUsed, 256u);
    EXPECT_EQ(h.clrImportant, 0u);
}

TEST(mBitmapShape, TopDownMemoryBitmapSaysSoInItsHeader) {
    mBitmap bitmap(7, -20, 8);
    EXPECT_EQ(bitmap.info->height, 20);
    EXPECT_EQ(bitmap.info->topDown, 1);
    EXPECT_EQ(bitmap.info->topRow, bitmap.info->bits);
    EXPECT_EQ(bitmap.header->height, -20);
}

TEST(mBitmapShape, SmallDepthsKeepWholeRowsAndOnlyTheirColours) {
    // Nine 4-bit pixels need five bytes: the row takes two words.
    mBitmap nibbles(9, 3, 4);
    EXPECT_EQ(nibbles.info->stride, 8);
    EXPECT_EQ(nibbles.memorySize, 40u + 16u * 4u + 3u * 8u);
    EXPECT_EQ(nibbles.header->clrUsed, 16u);

    mBitmap bits(33, 2, 1);
    EXPECT_EQ(bits.info->stride, 8);
    EXPECT_EQ(bits.memorySize, 40u + 2u * 4u + 2u * 8u);

    // A true-colour block has no colour table to write into.
    mBitmap rgb(4, 4, 24);
    EXPECT_EQ(rgb.info->colorTable, nullptr);
    EXPECT_EQ(rgb.info->stride, 12);
    EXPECT_EQ(rgb.info->bits, rgb.memoryHandle.get() + 40);
    std::array<RgbQuad, 4> colours{};
    colours[0].red = 99;
    rgb.setColors(colours.data(), 0, 4);
    EXPECT_EQ(rgb.info->paletteSerial, 0);
}

TEST(mBitmapColours, NewBitmapsStartWithTheDefaultColours) {
    std::array<RgbQuad, 256> defaults{};
    EXPECT_EQ(mBitmap::loadDefaultColours(defaults.data()), 0);
    mBitmap bitmap(2, 2, 8);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(bitmap.info->colorTable[i], defaults[i]) << i;
    EXPECT_EQ(bitmap.info->paletteSerial, 0);
}

TEST(mBitmapColours, RecreatingKeepsTheColours) {
    mBitmap bitmap(4, 4, 8);
    std::array<RgbQuad, 3> colours = {{{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}}};
    bitmap.setColors(colours.data(), 100, 3);
    ASSERT_EQ(bitmap.createMemory(8, 8, 8), 1);
    EXPECT_EQ(bitmap.info->colorTable[100], colours[0]);
    EXPECT_EQ(bitmap.info->colorTable[102], colours[2]);

    // Carried into a section too, and back again.
    ASSERT_EQ(bitmap.createSection(5, 5, 0), 1);
    EXPECT_EQ(bitmap.info->colorTable[101], colours[1]);
    ASSERT_EQ(bitmap.createMemory(3, 3, 8), 1);
    EXPECT_EQ(bitmap.info->colorTable[101], colours[1]);
}

TEST(mBitmapColours, SetColorsStaysInsideTheTable) {
    mBitmap bitmap(4, 4, 8);
    std::array<RgbQuad, 256> before{};
    std::copy_n(bitmap.info->colorTable, 256, before.begin());
    std::array<RgbQuad, 10> colours{};
    for (int i = 0; i < 10; ++i)
        colours[i] = {static_cast<uint8_t>(i), 50, 60, 0};

    bitmap.setColors(colours.data(), 250, 10);
    EXPECT_EQ(bitmap.info->paletteSerial, 1);
    EXPECT_EQ(bitmap.info->colorTable[249], before[249]);
    for (int i = 250; i < 256; ++i)
        EXPECT_EQ(bitmap.info->colorTable[i], colours[i - 250]) << i;

    // Nothing to copy still counts as a change; negative starts and counts stay inside.
    bitmap.setColors(colours.data(), 256, 10);
    EXPECT_EQ(bitmap.info->paletteSerial, 2);
    bitmap.setColors(colours.data(), -3, 5);
    EXPECT_EQ(bitmap.info->colorTable[0], colours[3]);
    EXPECT_EQ(bitmap.info->colorTable[1], colours[4]);
    EXPECT_EQ(bitmap.info->colorTable[2], before[2]);
    bitmap.setColors(colours.data(), 5, -4);
    EXPECT_EQ(bitmap.info->colorTable[5], before[5]);
    EXPECT_EQ(bitmap.info->paletteSerial, 4);

    // No entries or no table: nothing happens at all.
    bitmap.setColors(nullptr, 0, 4);
    EXPECT_EQ(bitmap.info->paletteSerial, 4);
    mBitmap empty;
    empty.setColors(colours.data(), 0, 4);
    EXPECT_EQ(empty.info->paletteSerial, 0);
}

TEST(mBitmapColours, FourBitTableTakesSixteenEntries) {
    mBitmap bitmap(4, 2, 4);
    std::vector<uint8_t> pixels(bitmap.info->bits, bitmap.info->bits + 8);
    std::array<RgbQuad, 20> colours{};
    colours.fill({9, 9, 9, 0});
    bitmap.setColors(colours.data(), 0, 20);
    EXPECT_EQ(bitmap.info->colorTable[15], colours[15]);
    EXPECT_EQ(std::vector<uint8_t>(bitmap.info->bits, bitmap.info->bits + 8), pixels);
}

TEST(mBitmapColours, ChangingColoursForcesARemapRebuild) {
    mBitmap source(4, 4, 8);
    mBitmap destination(4, 4, 8);
    source.remapTarget = &destination;
    RgbQuad colour{1, 2, 3, 0};
    source.setColors(&colour, 0, 1);
    EXPECT_EQ(source.remapTarget, nullptr);
}

TEST(mBitmapDrawMode, TransparencyAndRemapBits) {
    mBitmap bitmap;
    bitmap.setTransparentIndex(0x1234);
    EXPECT_EQ(bitmap.transparentIndex, 0x1234u);
    EXPECT_EQ(bitmap.drawMode, 1u);
    bitmap.setRemap(true);
    EXPECT_EQ(bitmap.drawMode, 3u);
    bitmap.setTransparent(false);
    EXPECT_EQ(bitmap.drawMode, 2u);
    bitmap.setRemap(false);
    bitmap.setTransparent(true);
    EXPECT_EQ(bitmap.drawMode, 1u);
    // Releasing leaves the key and mode alone.
    bitmap.release();
    EXPECT_EQ(bitmap.transparentIndex, 0x1234u);
    EXPECT_EQ(bitmap.drawMode, 1u);
}

void fillRows(mBitmap& bitmap) {
    for (int32_t y = 0; y < bitmap.info->height; ++y)
        for (int32_t x = 0; x < bitmap.info->width; ++x)
            bitmap.info->topRow[y * bitmap.info->rowStep + x] =
                static_cast<uint8_t>(y * 16 + x * 7);
}

void expectRows(const mBitmap& bitmap) {
    for (int32_t y = 0; y < bitmap.info->height; ++y)
        for (int32_t x = 0; x < bitmap.info->width; ++x)
            ASSERT_EQ(bitmap.info->topRow[y * bitmap.info->rowStep + x],
                      static_cast<uint8_t>(y * 16 + x * 7))
                << x << "," << y;
}

// Rows wider than the piece the rows are swapped through are turned whole.
TEST(mBitmapTopDown, TurningKeepsThePictureAndReversesMemory) {
    for (auto [width, height] : {std::pair{3, 5}, {3, 6}, {2500, 3}}) {
        mBitmap bitmap(width, height, 8);
        fillRows(bitmap);
        // Rows are padded to whole 32-bit words.
        const int32_t stride = (width + 3) / 4 * 4;
        ASSERT_EQ(bitmap.info->stride, stride);
        std::vector<uint8_t> bottomUp(bitmap.info->bits, bitmap.info->bits + stride * height);

        bitmap.setTopDown(true);
        EXPECT_EQ(bitmap.info->topDown, 1);
        EXPECT_EQ(bitmap.info->rowStep, stride);
        EXPECT_EQ(bitmap.info->topRow, bitmap.info->bits);
        EXPECT_EQ(bitmap.header->height, -height);
        expectRows(bitmap);
        EXPECT_EQ(bitmap.info->bits[0], 0);  // the top row now lies first

        bitmap.setTopDown(true);  // already so: nothing moves
        expectRows(bitmap);

        bitmap.setTopDown(false);
        EXPECT_EQ(bitmap.info->rowStep, -stride);
        EXPECT_EQ(bitmap.header->height, height);
        EXPECT_EQ(std::vector<uint8_t>(bitmap.info->bits, bitmap.info->bits + stride * height),
                  bottomUp);
    }
}

TEST(mBitmapAttach, DescribesPixelsOwnedElsewhere) {
    struct {
        BitmapInfoHeader header;
        std::array<RgbQuad, 256> colours;
    } block{};
    block.header.width = 5;
    block.header.height = -3;
    block.colours[7] = {1, 2, 3, 0};
    std::vector<uint8_t> pixels(8 * 3, 0);

    {
        mBitmap bitmap(4, 4, 8);
        ASSERT_EQ(bitmap.attachPixels(&block.header, pixels.data()), 1);
        EXPECT_EQ(bitmap.memoryHandle, nullptr);
        EXPECT_EQ(bitmap.header, &block.header);
        EXPECT_EQ(bitmap.info->colorTable, block.colours.data());
        EXPECT_EQ(bitmap.info->width, 5);
        EXPECT_EQ(bitmap.info->height, 3);
        EXPECT_EQ(bitmap.info->stride, 8);
        EXPECT_EQ(bitmap.info->topDown, 1);
        EXPECT_EQ(bitmap.info->topRow, pixels.data());

        block.header.height = 3;
        ASSERT_EQ(bitmap.attachPixels(&block.header, pixels.data()), 1);
        EXPECT_EQ(bitmap.info->rowStep, -8);
        EXPECT_EQ(bitmap.info->topRow, pixels.data() + 16);
        bitmap.info->topRow[0] = 42;
    }
    // Destroying the bitmap freed nothing it described.
    EXPECT_EQ(pixels[16], 42);
    EXPECT_EQ(block.colours[7].red, 3);

    mBitmap bitmap;
    EXPECT_EQ(bitmap.attachPixels(nullptr, pixels.data()), 0);
    expectPlaceholder(bitmap);
}

TEST(mBitmapFailures, OutOfMemoryLeavesThePlaceholder) {
    ReportSink::Capture capture;
    mBitmap bitmap(6, 6, 8);
    platform::Memory::failAfter(0);
    EXPECT_EQ(bitmap.createMemory(10, 10, 8), 0);
    platform::Memory::failAfter(-1);
    expectOneReport(capture, "Out of memory", ReportSink::iconHand);
    expectPlaceholder(bitmap);
    EXPECT_EQ(bitmap.info->topDown, 1);
    EXPECT_EQ(bitmap.memoryHandle, nullptr);
}

TEST(mBitmapFailures, UnusableSizesAreRefused) {
    const std::array<std::array<int32_t, 3>, 5> shapes = {
        {{0, 5, 8}, {-4, 5, 8}, {5, 0, 8}, {5, 5, 3}, {1 << 20, 1 << 12, 8}}};
    for (auto [width, height, depth] : shapes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << "x" << depth);
        ReportSink::Capture capture;
        mBitmap bitmap;
        EXPECT_EQ(bitmap.createMemory(width, height, depth), 0);
        expectOneReport(capture, "Bitmap error", ReportSink::iconHand);
        expectPlaceholder(bitmap);
    }
}

TEST(mBitmapLifetime, DestroyedWhileHeldWarnsOnceAsBitmap) {
    ReportSink::Capture capture;
    {
        mBitmap bitmap(3, 3, 8);
        bitmap.useCount = 2;
    }
    { mBitmap unheld(3, 3, 8); }
    expectOneReport(capture, "Still in use", ReportSink::iconExclamation);
}

}  // namespace
