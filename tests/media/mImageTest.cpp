#include "engine/media/mImage.h"

#include <gtest/gtest.h>

namespace {

TEST(mImage, StartsWithTheStreamDefaults) {
    mImage image;
    EXPECT_EQ(image.count, 0);
    EXPECT_EQ(image.unitMode, 0);
    EXPECT_EQ(image.current, -1);
    EXPECT_EQ(image.rate, 1u);
    EXPECT_EQ(image.bitsPerUnit, 8u);
    EXPECT_EQ(image.scale, 1u);
    EXPECT_EQ(image.open(44), 0);
    EXPECT_EQ(image.seek(3, 0), 0);
    EXPECT_EQ(image.play(10, 2), 0);
    EXPECT_EQ(image.read(nullptr, 4), 0);
    EXPECT_EQ(image.write(nullptr, 4), 1);
}

TEST(mImage, SetCurrentAcceptsIndexesBelowTheCount) {
    mImage image;
    image.count = 5;
    EXPECT_EQ(image.setCurrent(4), 4);
    EXPECT_EQ(image.setCurrent(5), 4);
    EXPECT_EQ(image.current, 4);
    EXPECT_EQ(image.setCurrent(-3), -3);
}

TEST(mImage, TimeToUnitsRoundsUpAndScales) {
    mImage image;
    EXPECT_EQ(image.timeToUnits(1, 0, 0), 1u);
    EXPECT_EQ(image.timeToUnits(0, 0, 0), 0u);
    image.rate = 22050;
    EXPECT_EQ(image.timeToUnits(0, 1, 0), 22050u);
    EXPECT_EQ(image.timeToUnits(0, 0, 1), 22050u * 60);
    EXPECT_EQ(image.timeToUnits(1, 0, 0), 23u);
    image.scale = 2;
    EXPECT_EQ(image.timeToUnits(1, 0, 0), 46u);
    EXPECT_EQ(image.unitsToTime(44100), 1000u);
}

TEST(mImage, UnitsAndBytesFollowTheUnitSize) {
    mImage image;
    EXPECT_EQ(image.unitsToBytes(3), 3u);
    EXPECT_EQ(image.bytesToUnits(3), 3u);
    image.bitsPerUnit = 4;
    EXPECT_EQ(image.unitsToBytes(3), 2u);
    EXPECT_EQ(image.bytesToUnits(2), 4u);
    image.bitsPerUnit = 16;
    image.rate = 1000;
    EXPECT_EQ(image.timeToBytes(10, 0, 0), 20u);
    EXPECT_EQ(image.bytesToTime(20), 10u);
}

TEST(mImage, PositionsConvertByTheUnitMode) {
    mImage image;
    image.bitsPerUnit = 16;
    image.rate = 1000;
    EXPECT_EQ(image.positionToBytes(10), 20u);
    EXPECT_EQ(image.bytesToPosition(20), 10u);
    EXPECT_EQ(image.setUnits(1), 1);
    EXPECT_EQ(image.positionToBytes(10), 20u);
    EXPECT_EQ(image.bytesToPosition(20), 10u);
    image.setUnits(2);
    EXPECT_EQ(image.positionToBytes(10), 10u);
    EXPECT_EQ(image.bytesToPosition(20), 20u);
}

// A replaced conversion changes the composite ones, which call through the table.
TEST(mImage, CompositeConversionsCallTheReplacedSlots) {
    struct Doubling : mImage {
        uint32_t unitsToBytes(uint32_t units) override { return units * 2; }
    } image;
    image.rate = 1000;
    EXPECT_EQ(image.timeToBytes(3, 0, 0), 6u);
    EXPECT_EQ(image.positionToBytes(3), 6u);
}

TEST(mImage, ZeroRatesAndUnitSizesConvertToZero) {
    mImage image;
    image.rate = 0;
    EXPECT_EQ(image.unitsToTime(100), 0u);
    image.rate = 1;
    image.scale = 0;
    EXPECT_EQ(image.unitsToTime(100), 0u);
    image.bitsPerUnit = 0;
    EXPECT_EQ(image.bytesToUnits(100), 0u);
    EXPECT_EQ(image.bytesToTime(100), 0u);
}

}  // namespace
