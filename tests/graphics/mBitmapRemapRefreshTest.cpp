#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>

#include "engine/graphics/mBitmap.h"

namespace {

using Table = std::array<uint8_t, 256>;

// Colours from a small cube, so that equal colours, exact matches at other indexes and
// neighbours one step apart (the nearest search's early stop) all occur.
RgbQuad randomColour(std::mt19937& random) {
    auto level = [&] {
        return static_cast<uint8_t>(std::uniform_int_distribution(0, 5)(random) * 3);
    };
    return RgbQuad{level(), level(), level(), 0};
}

void fill(mBitmap& bitmap, int32_t depth, std::mt19937& random) {
    ASSERT_EQ(bitmap.createMemory(4, 1, depth), 1);
    std::array<RgbQuad, 256> colours{};
    for (RgbQuad& colour : colours)
        colour = randomColour(random);
    bitmap.setColors(colours.data(), 0, 256);
}

// What a source of the same colours builds from nothing for `destination`.
Table freshTable(const mBitmap& source, mBitmap& destination) {
    mBitmap fresh;
    EXPECT_EQ(fresh.createMemory(4, 1, source.info->bitsPerPixel), 1);
    fresh.setColors(source.info->colorTable, 0, 256);
    fresh.buildRemap(&destination);
    Table table{};
    std::copy_n(fresh.remapTable, table.size(), table.begin());
    return table;
}

Table tableOf(const mBitmap& bitmap) {
    Table table{};
    std::copy_n(bitmap.remapTable, table.size(), table.begin());
    return table;
}

// A source follows its destination through many small palette changes on either side (as
// palette animation makes them), a few large ones, and changes made behind the colour-setting
// calls; after each its table must be exactly what a build from nothing gives.
TEST(mBitmapRemapRefresh, EachRebuildEqualsABuildFromNothing) {
    std::mt19937 random(20261208);
    for (int32_t sourceDepth : {8, 4}) {
        for (int32_t destinationDepth : {8, 4}) {
            mBitmap source;
            mBitmap destination;
            fill(source, sourceDepth, random);
            fill(destination, destinationDepth, random);
            const int32_t destinationColours = 1 << destinationDepth;
            source.buildRemap(&destination);
            for (int round = 0; round < 300; ++round) {
                int changes = round % 25 == 24 ? destinationColours
                                               : std::uniform_int_distribution(1, 6)(random);
                for (int k = 0; k < changes; ++k) {
                    int32_t index =
                        std::uniform_int_distribution(0, destinationColours - 1)(random);
                    // Now and then the colour the source has at that index, or one next to it.
                    RgbQuad colour = randomColour(random);
                    if (round % 3 == 0 && index < (1 << sourceDepth))
                        colour = source.info->colorTable[index];
                    if (round % 7 == 0) colour.red = static_cast<uint8_t>(colour.red + 1);
                    if (round % 11 == 5)
                        destination.info->colorTable[index] = colour;
                    else
                        destination.setColors(&colour, index, 1);
                }
                if (round % 11 == 5) destination.setColors(destination.info->colorTable, 0, 0);
                if (round % 4 == 1) {
                    // The source's palette animates too.
                    int32_t index =
                        std::uniform_int_distribution(0, (1 << sourceDepth) - 1)(random);
                    RgbQuad colour = randomColour(random);
                    source.setColors(&colour, index, 1);
                }
                if (round % 50 == 49) {
                    // The source's own colour changed without a call that says so.
                    source.info->colorTable[3] = randomColour(random);
                    source.remapSerial = 0;
                }
                source.buildRemap(&destination);
                ASSERT_EQ(tableOf(source), freshTable(source, destination))
                    << "depths " << sourceDepth << "/" << destinationDepth << ", round " << round;
                Table fresh = freshTable(source, destination);
                bool identity = std::all_of(fresh.begin(), fresh.end(),
                                            [i = 0](uint8_t e) mutable { return e == i++; });
                ASSERT_EQ(source.remapNeeded, identity ? 0 : 1) << round;
            }
        }
    }
}

// Copies rebuild the table when the destination's palette changed, through the same refresh.
TEST(mBitmapRemapRefresh, ACopyAfterAPaletteChangeUsesTheNewNearestColour) {
    mBitmap source;
    mBitmap destination;
    ASSERT_EQ(source.createMemory(4, 1, 8), 1);
    ASSERT_EQ(destination.createMemory(4, 1, 8), 1);
    std::array<RgbQuad, 256> grey{};
    for (int i = 0; i < 256; ++i)
        grey[i] =
            RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    destination.setColors(grey.data(), 0, 256);
    const RgbQuad red{0, 0, 250, 0};
    source.setColors(&red, 5, 1);
    source.setRemap(true);
    source.info->topRow[0] = 5;
    source.copyRemapped(destination, Rect{0, 0, 1, 1}, 0, 0);
    const uint8_t before = destination.info->topRow[0];
    EXPECT_NE(before, 5);

    const RgbQuad almostRed{0, 0, 249, 0};
    destination.setColors(&almostRed, 200, 1);
    source.copyRemapped(destination, Rect{0, 0, 1, 1}, 0, 0);
    EXPECT_EQ(destination.info->topRow[0], 200);
}

}  // namespace
