#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/graphics/DefaultColours.h"
#include "engine/graphics/mBitmap.h"
#include "engine/platform/Display.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Module.h"
#include "engine/platform/Palette.h"
#include "tests/support/TempFile.h"

using platform::Display;
using platform::Palette;
using platform::PaletteEntry;

namespace {

RgbQuad rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return {blue, green, red, 0};
}

// A bitmap whose 256 colours are all far from the colours the tests look for.
mBitmap farBitmap(int32_t bitsPerPixel = 8) {
    mBitmap bitmap(4, 4, bitsPerPixel);
    std::array<RgbQuad, 256> far{};
    far.fill(rgb(255, 255, 255));
    bitmap.setColors(far.data(), 0, 256);
    return bitmap;
}

TEST(mBitmapNearest, FirstOfEqualColoursWins) {
    mBitmap bitmap = farBitmap();
    RgbQuad colour = rgb(10, 20, 30);
    bitmap.setColors(&colour, 7, 1);
    bitmap.setColors(&colour, 200, 1);
    EXPECT_EQ(bitmap.nearestColor(colour), 7);
}

TEST(mBitmapNearest, DistanceOneStopsTheSearch) {
    mBitmap bitmap = farBitmap();
    RgbQuad nearly = rgb(10, 20, 31);
    RgbQuad exact = rgb(10, 20, 30);
    bitmap.setColors(&nearly, 3, 1);
    bitmap.setColors(&exact, 5, 1);
    EXPECT_EQ(bitmap.nearestColor(exact), 3);

    // At a larger distance the nearest wins, and of equally near ones the lowest index.
    RgbQuad two = rgb(10, 20, 32);
    bitmap.setColors(&two, 3, 1);
    EXPECT_EQ(bitmap.nearestColor(exact), 5);
    mBitmap ties = farBitmap();
    RgbQuad left = rgb(8, 20, 30);
    RgbQuad right = rgb(12, 20, 30);
    ties.setColors(&left, 9, 1);
    ties.setColors(&right, 4, 1);
    EXPECT_EQ(ties.nearestColor(exact), 4);
}

TEST(mBitmapNearest, SearchesOnlyTheColoursOfItsDepth) {
    struct {
        BitmapInfoHeader header;
        std::array<RgbQuad, 256> colours;
    } block{};
    block.header.width = 4;
    block.header.height = 4;
    block.header.bitCount = 4;
    block.colours.fill(rgb(255, 255, 255));
    block.colours[15] = rgb(50, 0, 0);
    block.colours[20] = rgb(0, 0, 0);
    std::array<uint8_t, 16> pixels{};
    mBitmap bitmap;
    ASSERT_EQ(bitmap.attachPixels(&block.header, pixels.data()), 1);
    EXPECT_EQ(bitmap.nearestColor(rgb(0, 0, 0)), 15);

    mBitmap rgbBitmap(2, 2, 24);
    EXPECT_EQ(rgbBitmap.nearestColor(rgb(1, 2, 3)), 0);
    mBitmap empty;
    EXPECT_EQ(empty.nearestColor(rgb(1, 2, 3)), 0);
}

// Colour of every displayed pixel, to compare pictures across colour changes.
std::vector<RgbQuad> picture(const mBitmap& bitmap) {
    std::vector<RgbQuad> colours;
    for (int32_t y = 0; y < bitmap.info->height; ++y)
        for (int32_t x = 0; x < bitmap.info->width; ++x)
            colours.push_back(
                bitmap.info->colorTable[bitmap.info->topRow[y * bitmap.info->rowStep + x]]);
    return colours;
}

TEST(mBitmapRemapColours, NewOrderKeepsThePicture) {
    mBitmap bitmap(5, 3, 8);
    // Neighbours two apart: no colour has another within distance 1.
    for (int i = 0; i < 256; ++i) {
        RgbQuad colour = rgb(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7);
        bitmap.setColors(&colour, i, 1);
    }
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            bitmap.info->topRow[y * bitmap.info->rowStep + x] = static_cast<uint8_t>(y * 5 + x);
    bitmap.setTransparentIndex(0x102);
    auto before = picture(bitmap);
    int32_t serial = bitmap.info->paletteSerial;

    std::array<RgbQuad, 256> reversed{};
    std::reverse_copy(bitmap.info->colorTable, bitmap.info->colorTable + 256, reversed.begin());
    bitmap.setColorsRemap(reversed.data(), 0, 256);
    EXPECT_EQ(bitmap.info->paletteSerial, serial + 1);
    EXPECT_EQ(picture(bitmap), before);
    EXPECT_EQ(bitmap.info->topRow[0], 255);
    EXPECT_EQ(bitmap.transparentIndex, 0x100u + 253u);
    // Padding bytes are translated as well.
    EXPECT_EQ(bitmap.info->bits[5], 255);
}

TEST(mBitmapRemapColours, IdenticalColoursLeaveThePixels) {
    mBitmap bitmap = farBitmap();
    RgbQuad twice = rgb(1, 2, 3);
    bitmap.setColors(&twice, 3, 1);
    bitmap.setColors(&twice, 7, 1);
    std::fill_n(bitmap.info->bits, 16, 7);
    bitmap.setTransparentIndex(7);
    std::array<RgbQuad, 256> same{};
    std::copy_n(bitmap.info->colorTable, 256, same.begin());

    bitmap.setColorsRemap(same.data(), 0, 256);
    EXPECT_EQ(bitmap.info->bits[0], 7);
    EXPECT_EQ(bitmap.info->bits[15], 7);
    EXPECT_EQ(bitmap.transparentIndex, 7u);

    // A changed colour goes to the nearest of the new table; unchanged ones stay.
    RgbQuad changed = rgb(200, 0, 0);
    bitmap.info->bits[0] = 3;
    bitmap.setColorsRemap(&changed, 7, 1);
    EXPECT_EQ(bitmap.info->bits[0], 3);
    EXPECT_EQ(bitmap.info->bits[1], 3);
    EXPECT_EQ(bitmap.transparentIndex, 3u);
}

TEST(mBitmapRemapColours, SmallPixelsAreTranslatedOneByOne) {
    mBitmap bitmap(4, 1, 4);
    std::array<RgbQuad, 16> colours{};
    for (int i = 0; i < 16; ++i)
        colours[i] = rgb(static_cast<uint8_t>(i * 10), 0, 0);
    bitmap.setColors(colours.data(), 0, 16);
    bitmap.info->bits[0] = 0x12;
    bitmap.info->bits[1] = 0xf0;
    std::array<RgbQuad, 16> reversed{};
    std::reverse_copy(colours.begin(), colours.end(), reversed.begin());
    bitmap.setColorsRemap(reversed.data(), 0, 16);
    EXPECT_EQ(bitmap.info->bits[0], 0xed);
    EXPECT_EQ(bitmap.info->bits[1], 0x0f);
}

TEST(mBitmapPalettes, PaletteOfTheColourTable) {
    mBitmap bitmap(2, 2, 8);
    auto palette = bitmap.createPalette();
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->size(), 256u);
    for (uint32_t i = 0; i < 256; ++i) {
        const RgbQuad& c = bitmap.info->colorTable[i];
        ASSERT_EQ(palette->entry(i), (PaletteEntry{c.red, c.green, c.blue, 0})) << i;
    }

    mBitmap small(2, 2, 4);
    EXPECT_EQ(small.createPalette()->size(), 16u);
    mBitmap deep(2, 2, 24);
    EXPECT_EQ(deep.createPalette(), nullptr);
    EXPECT_EQ(deep.createIdentityPalette(false), nullptr);

    platform::Memory::failAfter(0);
    EXPECT_EQ(bitmap.createPalette(), nullptr);
    platform::Memory::failAfter(0);
    EXPECT_EQ(bitmap.createIdentityPalette(false), nullptr);
    platform::Memory::failAfter(-1);
}

TEST(mBitmapIdentityPalette, WithoutStaticColoursBlackAndWhiteFrameTheBitmapColours) {
    mBitmap bitmap = farBitmap();
    for (int i = 1; i < 255; ++i) {
        RgbQuad colour = rgb(static_cast<uint8_t>(i), 7, 9);
        bitmap.setColors(&colour, i, 1);
    }
    bitmap.info->bits[0] = 255;  // white stays white: same pixel value
    bitmap.info->bits[1] = 0;    // the old colour 0 was white too
    auto palette = bitmap.createIdentityPalette(true);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->size(), 256u);
    EXPECT_EQ(palette->entry(0), (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(palette->entry(255), (PaletteEntry{255, 255, 255, 0}));
    for (uint32_t i = 1; i < 255; ++i)
        ASSERT_EQ(palette->entry(i), (PaletteEntry{static_cast<uint8_t>(i), 7, 9, 1})) << i;

    // The bitmap takes the palette's colours and its pixels follow.
    EXPECT_EQ(bitmap.info->colorTable[0], rgb(0, 0, 0));
    EXPECT_EQ(bitmap.info->colorTable[255], rgb(255, 255, 255));
    EXPECT_EQ(bitmap.info->bits[0], 255);
    EXPECT_EQ(bitmap.info->bits[1], 255);
}

class IdentityOnPaletteDisplay : public testing::Test {
  protected:
    void SetUp() override { Display::emulatePaletteDisplay(true); }
    void TearDown() override { Display::emulatePaletteDisplay(false); }
};

TEST_F(IdentityOnPaletteDisplay, IdentityPaletteKeepsTheStaticColours) {
    mBitmap bitmap = farBitmap();
    for (int i = 0; i < 256; ++i) {
        RgbQuad colour = rgb(static_cast<uint8_t>(i), 1, 2);
        bitmap.setColors(&colour, i, 1);
    }
    auto palette = bitmap.createIdentityPalette(false);
    ASSERT_NE(palette, nullptr);
    for (uint32_t i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        PaletteEntry entry = palette->entry(i);
        if (i < 10 || i >= 246) {
            const auto& fixed = DefaultColours::table[i];
            EXPECT_EQ(entry, (PaletteEntry{fixed.red, fixed.green, fixed.blue, 0}));
        } else {
            EXPECT_EQ(entry, (PaletteEntry{static_cast<uint8_t>(i), 1, 2, Palette::reserved}));
        }
        const RgbQuad& c = bitmap.info->colorTable[i];
        EXPECT_EQ(c, rgb(entry.red, entry.green, entry.blue));
    }
}

TEST_F(IdentityOnPaletteDisplay, SmallBitmapsLeaveTheMiddleToTheSystemColours) {
    mBitmap bitmap(4, 4, 4);
    std::array<PaletteEntry, 256> before{};
    Display::systemPaletteEntries(0, before);
    auto palette = bitmap.createIdentityPalette(false);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->entry(5).flags, 0);
    EXPECT_EQ(palette->entry(12),
              (PaletteEntry{before[12].red, before[12].green, before[12].blue, Palette::reserved}));
    EXPECT_EQ(palette->entry(250).flags, 0);
}

TEST_F(IdentityOnPaletteDisplay, NoStaticUseTakesTheBitmapColours) {
    Display::setSystemPaletteUse(Display::sysPalNoStatic);
    mBitmap bitmap = farBitmap();
    RgbQuad colour = rgb(40, 50, 60);
    bitmap.setColors(&colour, 5, 1);
    auto palette = bitmap.createIdentityPalette(false);
    EXPECT_EQ(palette->entry(5), (PaletteEntry{40, 50, 60, Palette::reserved}));
    EXPECT_EQ(palette->entry(0), (PaletteEntry{0, 0, 0, 0}));
}

// The RIFF "PAL " form of a palette resource with the given entries.
std::vector<uint8_t> paletteResource(const std::vector<PaletteEntry>& entries,
                                     uint16_t declaredCount, const char (&form)[5] = "PAL ") {
    testing_support::ByteWriter data;
    data.u16(0x300).u16(declaredCount);
    for (const PaletteEntry& e : entries)
        data.u8(e.red).u8(e.green).u8(e.blue).u8(e.flags);
    testing_support::ByteWriter riff;
    riff.tag("RIFF").u32(static_cast<uint32_t>(12 + data.size())).tag(form);
    riff.tag("data").u32(static_cast<uint32_t>(data.size())).bytes(data.data);
    return riff.data;
}

class PaletteResource : public testing::Test {
  protected:
    void TearDown() override { mObject::stringModule = nullptr; }

    std::array<RgbQuad, 256> loadWith(std::vector<uint8_t> resource) {
        module.addResource("PALETTE", "default", std::move(resource));
        mObject::stringModule = &module;
        std::array<RgbQuad, 256> out{};
        out.fill(rgb(9, 9, 9));
        EXPECT_EQ(mBitmap::loadDefaultColours(out.data()), 0);
        return out;
    }

    platform::Module module;
};

TEST_F(PaletteResource, ReplacesTheBuiltInColours) {
    auto out = loadWith(paletteResource({{1, 2, 3, 4}, {5, 6, 7, 0}, {8, 9, 10, 0}}, 3));
    EXPECT_EQ(out[0], rgb(1, 2, 3));
    EXPECT_EQ(out[2], rgb(8, 9, 10));
    EXPECT_EQ(out[3], rgb(9, 9, 9));  // beyond the resource: as the caller had it

    // New bitmaps start with them.
    mBitmap bitmap(2, 2, 8);
    EXPECT_EQ(bitmap.info->colorTable[1], rgb(5, 6, 7));
    EXPECT_EQ(bitmap.info->colorTable[3].red, DefaultColours::table[3].red);
}

TEST_F(PaletteResource, ReadsNoFurtherThanTheChunk) {
    // The count claims more entries than the chunk holds.
    auto out = loadWith(paletteResource({{1, 2, 3, 0}, {4, 5, 6, 0}}, 300));
    EXPECT_EQ(out[1], rgb(4, 5, 6));
    EXPECT_EQ(out[2], rgb(9, 9, 9));
}

TEST_F(PaletteResource, OtherFormsFallBackToTheBuiltInTable) {
    auto out = loadWith(paletteResource({{1, 2, 3, 0}}, 1, "PALX"));
    EXPECT_EQ(out[1], rgb(191, 0, 0));
    EXPECT_EQ(out[0], rgb(0, 0, 0));
}

TEST_F(PaletteResource, ShortChunksFallBackToTheBuiltInTable) {
    testing_support::ByteWriter riff;
    riff.tag("RIFF").u32(14).tag("PAL ").tag("data").u32(2).u16(0x300);
    auto out = loadWith(riff.data);
    EXPECT_EQ(out[255], rgb(255, 255, 255));

    auto truncated = loadWith(std::vector<uint8_t>{'R', 'I', 'F', 'F', 1});
    EXPECT_EQ(truncated[1], rgb(191, 0, 0));
}

}  // namespace
