#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/platform/Display.h"
#include "engine/platform/Memory.h"
#include "engine/platform/MemoryContext.h"
#include "engine/platform/Palette.h"
#include "engine/platform/ReportSink.h"
#include "engine/platform/RgbSurface.h"
#include "engine/platform/Section.h"

using platform::Display;
using platform::ReportSink;

namespace {

uint8_t& pixelAt(mBitmap& bitmap, int32_t x, int32_t y) {
    return bitmap.info->topRow[y * bitmap.info->rowStep + x];
}

void fillPattern(mBitmap& bitmap) {
    for (int32_t y = 0; y < bitmap.info->height; ++y)
        for (int32_t x = 0; x < bitmap.info->width; ++x)
            pixelAt(bitmap, x, y) = static_cast<uint8_t>(y * 16 + x + 1);
}

void expectSamePicture(mBitmap& copy, mBitmap& original) {
    ASSERT_EQ(copy.info->width, original.info->width);
    ASSERT_EQ(copy.info->height, original.info->height);
    for (int32_t y = 0; y < original.info->height; ++y)
        for (int32_t x = 0; x < original.info->width; ++x)
            ASSERT_EQ(pixelAt(copy, x, y), pixelAt(original, x, y)) << x << "," << y;
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(copy.info->colorTable[i], original.info->colorTable[i]) << i;
    EXPECT_EQ(copy.transparentIndex, original.transparentIndex);
    EXPECT_EQ(copy.drawMode, original.drawMode);
}

void expectEmptyAfterOneReport(const mBitmap& bitmap, const ReportSink::Capture& capture,
                               const char* text) {
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mBitmap");
    EXPECT_EQ(reports[0].text, text);
    EXPECT_EQ(reports[0].icon, ReportSink::iconHand);
    EXPECT_EQ(bitmap.info->width, 1);
    EXPECT_EQ(bitmap.info->height, 1);
    EXPECT_EQ(bitmap.info->bits, bitmap.placeholderPixels.data());
    EXPECT_EQ(bitmap.memoryDC, nullptr);
    EXPECT_EQ(bitmap.section, nullptr);
    EXPECT_EQ(bitmap.memoryHandle, nullptr);
}

TEST(mBitmapSection, IsABottomUpSectionInAMemoryContext) {
    for (int32_t height : {7, -7}) {
        mBitmap bitmap(5, height);
        ASSERT_NE(bitmap.memoryDC, nullptr);
        ASSERT_NE(bitmap.section, nullptr);
        EXPECT_EQ(bitmap.memoryDC->selectedSection(), bitmap.section.get());
        EXPECT_EQ(bitmap.header, nullptr);
        EXPECT_EQ(bitmap.info->width, 5);
        EXPECT_EQ(bitmap.info->height, 7);
        EXPECT_EQ(bitmap.info->bitsPerPixel, 8);
        EXPECT_EQ(bitmap.info->stride, 8);
        EXPECT_EQ(bitmap.info->topDown, 0);
        EXPECT_EQ(bitmap.info->rowStep, -8);
        EXPECT_EQ(bitmap.info->bits, bitmap.section->bits());
        EXPECT_EQ(bitmap.info->topRow, bitmap.info->bits + 6 * 8);
        EXPECT_EQ(bitmap.memorySize, 1024u);
        EXPECT_EQ(reinterpret_cast<uint8_t*>(bitmap.info->colorTable), bitmap.memoryHandle.get());

        std::array<RgbQuad, 256> defaults{};
        mBitmap::loadDefaultColours(defaults.data());
        EXPECT_EQ(bitmap.section->colours(), defaults);
        EXPECT_EQ(bitmap.info->colorTable[77], defaults[77]);
    }
}

TEST(mBitmapSection, ColoursReachTheSectionAndItStaysBottomUp) {
    mBitmap bitmap(4, 4);
    RgbQuad colour{1, 2, 3, 0};
    bitmap.setColors(&colour, 40, 1);
    EXPECT_EQ(bitmap.section->colours()[40], colour);

    fillPattern(bitmap);
    bitmap.setTopDown(true);
    EXPECT_EQ(bitmap.info->topDown, 0);
    EXPECT_EQ(pixelAt(bitmap, 0, 0), 1);
    EXPECT_EQ(bitmap.info->bits[0], 3 * 16 + 1);
}

TEST(mBitmapSection, DepthZeroMeansEightAndDeepSectionsAreRefused) {
    mBitmap bitmap;
    EXPECT_EQ(bitmap.createSection(3, 3, 0), 1);
    EXPECT_EQ(bitmap.info->bitsPerPixel, 8);
    EXPECT_EQ(bitmap.createSection(3, 3, 4), 1);
    EXPECT_EQ(bitmap.info->stride, 4);

    ReportSink::Capture capture;
    EXPECT_EQ(bitmap.createSection(3, 3, 24), 0);
    expectEmptyAfterOneReport(bitmap, capture, "Bitmap error");
}

TEST(mBitmapSection, NoContextMeansNoSection) {
    ReportSink::Capture capture;
    Display::refuseContexts(true);
    mBitmap bitmap(8, 8);
    Display::refuseContexts(false);
    expectEmptyAfterOneReport(bitmap, capture, "Can't get a DC");
}

TEST(mBitmapSection, NoMemoryForItsColoursOrPixels) {
    for (int skip : {0, 1}) {
        SCOPED_TRACE(skip);
        ReportSink::Capture capture;
        mBitmap bitmap(3, 3, 8);
        platform::Memory::failAfter(skip);
        EXPECT_EQ(bitmap.createSection(8, 8, 8), 0);
        platform::Memory::failAfter(-1);
        expectEmptyAfterOneReport(bitmap, capture, "Out of memory");
    }
}

TEST(mBitmapCopy, SectionCopiesAreSections) {
    mBitmap original(6, 5);
    fillPattern(original);
    RgbQuad colour{9, 8, 7, 0};
    original.setColors(&colour, 3, 1);
    original.setTransparentIndex(3);
    original.setRemap(true);

    mBitmap copy(original);
    ASSERT_NE(copy.memoryDC, nullptr);
    EXPECT_NE(copy.section.get(), original.section.get());
    expectSamePicture(copy, original);
    EXPECT_EQ(copy.section->colours()[3], colour);
    EXPECT_EQ(copy.useCount, 0);

    pixelAt(copy, 2, 2) = 0;
    EXPECT_NE(pixelAt(original, 2, 2), 0);
}

TEST(mBitmapCopy, MemoryCopiesKeepDepthAndRowOrder) {
    mBitmap original(7, -4, 8);
    fillPattern(original);
    original.setTransparentIndex(200);
    mBitmap copy(original);
    EXPECT_EQ(copy.memoryDC, nullptr);
    ASSERT_NE(copy.header, nullptr);
    EXPECT_EQ(copy.info->topDown, 1);
    expectSamePicture(copy, original);

    mBitmap nibbles(5, 3, 4);
    for (int i = 0; i < 3 * 4; ++i)
        nibbles.info->bits[i] = static_cast<uint8_t>(0x10 * i + 1);
    mBitmap nibbleCopy(nibbles);
    EXPECT_EQ(nibbleCopy.info->bitsPerPixel, 4);
    EXPECT_EQ(std::vector<uint8_t>(nibbleCopy.info->bits, nibbleCopy.info->bits + 12),
              std::vector<uint8_t>(nibbles.info->bits, nibbles.info->bits + 12));
    EXPECT_EQ(nibbleCopy.info->colorTable[15], nibbles.info->colorTable[15]);
}

TEST(mBitmapCopy, AssignmentTakesTheOtherForm) {
    mBitmap memory(3, 3, 8);
    fillPattern(memory);
    memory.setRemap(true);
    mBitmap bitmap(9, 9);
    bitmap.useCount = 1;
    bitmap = memory;
    EXPECT_EQ(bitmap.memoryDC, nullptr);
    EXPECT_EQ(bitmap.useCount, 1);
    expectSamePicture(bitmap, memory);

    mBitmap section(4, 2);
    fillPattern(section);
    bitmap = section;
    EXPECT_NE(bitmap.memoryDC, nullptr);
    expectSamePicture(bitmap, section);
    bitmap.useCount = 0;
}

TEST(mBitmapCopy, SelfAssignmentDoesNothing) {
    mBitmap bitmap(4, 4, 8);
    fillPattern(bitmap);
    const uint8_t* bits = bitmap.info->bits;
    int32_t serial = bitmap.info->paletteSerial;
    mBitmap& same = bitmap;
    bitmap = same;
    EXPECT_EQ(bitmap.info->bits, bits);
    EXPECT_EQ(bitmap.info->paletteSerial, serial);
    EXPECT_EQ(pixelAt(bitmap, 3, 3), 3 * 16 + 4);
}

uint32_t shown(const mBitmap& bitmap, uint8_t index) {
    const RgbQuad& c = bitmap.info->colorTable[index];
    return static_cast<uint32_t>(c.red) << 16 | c.green << 8 | c.blue;
}

TEST(mBitmapDraw, SectionsAndMemoryBitmapsPaintUpright) {
    mBitmap section(6, 5);
    mBitmap bottomUp(6, 5, 8);
    mBitmap topDown(6, -5, 8);
    mBitmap turned(6, 5, 8);
    for (mBitmap* bitmap : {&section, &bottomUp, &topDown, &turned}) {
        fillPattern(*bitmap);
        // Turning the rows in memory keeps the picture.
        if (bitmap == &turned) turned.setTopDown(true);
        platform::RgbSurface surface(8, 8);
        bitmap->draw(surface, Rect{1, 2, 5, 5}, 2, 1);
        for (int32_t y = 0; y < 8; ++y) {
            for (int32_t x = 0; x < 8; ++x) {
                bool inside = x >= 1 && x < 5 && y >= 2 && y < 5;
                uint32_t expected = inside ? shown(*bitmap, pixelAt(*bitmap, x + 1, y - 1)) : 0;
                ASSERT_EQ(surface.pixel(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(mBitmapDraw, NothingToPaint) {
    platform::RgbSurface surface(4, 4);
    mBitmap empty;
    empty.draw(surface, Rect{0, 0, 4, 4}, 0, 0);
    mBitmap bitmap(4, 4, 8);
    std::fill_n(bitmap.info->bits, 16, 255);
    bitmap.draw(surface, Rect{3, 3, 1, 1}, 0, 0);
    bitmap.draw(surface, Rect{INT32_MIN, 0, INT32_MAX, 4}, 0, 0);
    for (uint32_t pixel : surface.readPixels())
        EXPECT_EQ(pixel, 0u);
}

TEST(mBitmapDraw, IdentityPaletteAnimatesWhatWasPainted) {
    Display::emulatePaletteDisplay(true);
    mBitmap stage(4, 4);
    RgbQuad colour{30, 20, 10, 0};
    stage.setColors(&colour, 100, 1);
    std::fill_n(stage.info->bits, 16, 100);
    auto palette = stage.createIdentityPalette(false);
    ASSERT_NE(palette, nullptr);

    platform::RgbSurface window(4, 4);
    window.selectPalette(palette.get(), false);
    window.realizePalette();
    stage.draw(window, Rect{0, 0, 4, 4}, 0, 0);
    EXPECT_EQ(window.pixel(3, 3), 0x0a141eu);

    std::array<platform::PaletteEntry, 1> next = {{{250, 0, 5, 0}}};
    palette->animate(100, next);
    EXPECT_EQ(window.pixel(3, 3), 0xfa0005u);
    window.selectPalette(nullptr, false);
    Display::emulatePaletteDisplay(false);
}

}  // namespace
