#include "engine/graphics/DefaultColours.h"

#include <gtest/gtest.h>

#include <array>

#include "engine/graphics/mBitmap.h"

namespace {

struct Rgb {
    int red, green, blue;
};

TEST(DefaultColours, FixedRowsAreTheStaticColours) {
    const std::array<Rgb, 10> low = {{{0, 0, 0},
                                      {191, 0, 0},
                                      {0, 191, 0},
                                      {191, 191, 0},
                                      {0, 0, 191},
                                      {191, 0, 191},
                                      {0, 191, 191},
                                      {192, 192, 192},
                                      {192, 220, 192},
                                      {164, 200, 240}}};
    const std::array<Rgb, 10> high = {{{255, 251, 240},
                                       {160, 160, 164},
                                       {128, 128, 128},
                                       {255, 0, 0},
                                       {0, 255, 0},
                                       {255, 255, 0},
                                       {0, 0, 255},
                                       {255, 0, 255},
                                       {0, 255, 255},
                                       {255, 255, 255}}};
    std::array<RgbQuad, 256> colours{};
    colours.fill({9, 9, 9, 9});
    EXPECT_EQ(mBitmap::loadDefaultColours(colours.data()), 0);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(colours[i].red, low[i].red);
        EXPECT_EQ(colours[i].green, low[i].green);
        EXPECT_EQ(colours[i].blue, low[i].blue);
        EXPECT_EQ(colours[246 + i].red, high[i].red);
        EXPECT_EQ(colours[246 + i].green, high[i].green);
        EXPECT_EQ(colours[246 + i].blue, high[i].blue);
    }
    for (const RgbQuad& colour : colours)
        EXPECT_EQ(colour.reserved, 0);
}

TEST(DefaultColours, PlaceholdersAreDarkBlues) {
    for (int i = 231; i <= 245; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(DefaultColours::table[i].red, 0);
        EXPECT_EQ(DefaultColours::table[i].green, 0);
        EXPECT_EQ(DefaultColours::table[i].blue, i - 230);
    }
}

TEST(DefaultColours, GroupsStartWithTheirGreyAndKeepItsBrightness) {
    const std::array<int, 17> starts = {10,  11,  19,  34,  53,  77,  102, 127, 157,
                                        178, 196, 212, 223, 227, 229, 230, 231};
    const std::array<int, 16> greys = {2,   25,  46,  67,  87,  106, 123, 140,
                                       156, 172, 186, 200, 213, 225, 237, 248};
    for (std::size_t group = 0; group < greys.size(); ++group) {
        SCOPED_TRACE(group);
        const auto& grey = DefaultColours::table[starts[group]];
        EXPECT_EQ(grey.red, greys[group]);
        EXPECT_EQ(grey.green, greys[group]);
        EXPECT_EQ(grey.blue, greys[group]);
        for (int i = starts[group] + 1; i < starts[group + 1]; ++i) {
            const auto& colour = DefaultColours::table[i];
            int sum = colour.red + colour.green + colour.blue;
            EXPECT_NEAR(sum, 3 * greys[group], 3) << i;
            EXPECT_FALSE(colour.red == colour.green && colour.green == colour.blue) << i;
        }
    }
}

}  // namespace
