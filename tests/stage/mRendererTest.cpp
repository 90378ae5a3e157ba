#include <gtest/gtest.h>

#include <array>

#include "engine/platform/Window.h"
#include "tests/stage/StageTestSupport.h"

using stagetest::dirtyOf;

namespace {

using Rects = std::vector<Rect>;

class Renderer : public stagetest::StageTest {
  protected:
    platform::Window window{64, 48};
};

TEST_F(Renderer, StartsOffStageWithTheDefaultsAndAWideDepthRange) {
    mRenderer renderer;
    EXPECT_EQ(renderer.stage, nullptr);
    EXPECT_EQ(renderer.interval, 0u);
    EXPECT_EQ(renderer.hitId, 0u);
    EXPECT_EQ(renderer.hitMask, 0xFFFFFFFFu);
    EXPECT_EQ(renderer.hitDepth, 32767);
    EXPECT_EQ(renderer.depthLow, -16383);
    EXPECT_EQ(renderer.depthHigh, 16383);
}

TEST_F(Renderer, HitDepthRanges) {
    mRenderer renderer;
    renderer.setHitDepth(-1);
    EXPECT_EQ(renderer.depthHigh, 32767);
    EXPECT_EQ(renderer.depthLow, 0);
    renderer.setHitDepth(-40);
    EXPECT_EQ(renderer.depthHigh, 32767);
    EXPECT_EQ(renderer.depthLow, 0);

    renderer.z = 100;
    renderer.setHitDepth(10);
    EXPECT_EQ(renderer.depthHigh, 105);
    EXPECT_EQ(renderer.depthLow, 95);
    renderer.setHitDepth(7);
    EXPECT_EQ(renderer.depthHigh, 103);
    EXPECT_EQ(renderer.depthLow, 97);
    renderer.setHitDepth(0);
    EXPECT_EQ(renderer.depthHigh, 100);
    EXPECT_EQ(renderer.depthLow, 100);

    // Near the limits of z the range saturates instead of wrapping round.
    renderer.z = INT32_MAX - 5;
    renderer.setHitDepth(32767);
    EXPECT_EQ(renderer.depthHigh, INT32_MAX);
    EXPECT_EQ(renderer.depthLow, INT32_MAX - 5 - 16383);
    renderer.z = INT32_MIN + 5;
    renderer.setHitDepth(INT32_MAX);
    EXPECT_EQ(renderer.depthLow, INT32_MIN);
}

TEST_F(Renderer, SetZOffStageChangesOnlyZ) {
    mRenderer renderer;
    renderer.setZ(40);
    EXPECT_EQ(renderer.z, 40);
    EXPECT_EQ(renderer.depthHigh, 16383);
    EXPECT_EQ(renderer.stage, nullptr);
}

TEST_F(Renderer, SolidColourOnTheBackgroundTakesTheNearestEntryAndMarksTheStage) {
    mDirector stage(window, 50);
    std::array<RgbQuad, 256> colours{};
    colours[77] = {0, 0, 250, 0};  // the reddest entry
    stage.setPalette(colours.data(), 0, 256);
    stage.flush();

    stage.background->setColour(255, 0, 0);
    EXPECT_EQ(stage.background->colour.red, 255);
    EXPECT_EQ(stage.background->colour.blue, 0);
    EXPECT_EQ(stage.background->colourIndex, 77);
    EXPECT_EQ(stage.background->colourIndex, stage.nearestColor({0, 0, 255, 0}));
    EXPECT_EQ(dirtyOf(stage), (Rects{{0, 0, 64, 48}}));

    stage.background->setColourQuad(nullptr);
    EXPECT_EQ(stage.background->colourIndex, 77);
}

TEST_F(Renderer, SolidOffStageStoresTheColourAndMatchesItWhenAdded) {
    mDirector stage(window, 50);
    std::array<RgbQuad, 256> colours{};
    colours[33] = {200, 100, 0, 0};
    stage.setPalette(colours.data(), 0, 256);

    mRenderSolid solid({8, 8, 16, 16});
    EXPECT_EQ(solid.bounds, solid.hitRect);
    EXPECT_EQ(solid.hitMask, 0xFFFFFFFFu);
    solid.setColour(0, 100, 200);
    EXPECT_EQ(solid.colourIndex, 0);
    stage.add(solid);
    EXPECT_EQ(solid.colourIndex, 33);

    // A palette change re-matches.
    colours[33] = {};
    colours[34] = {200, 100, 0, 0};
    stage.setPalette(colours.data(), 0, 256);
    EXPECT_EQ(solid.colourIndex, 34);
}

TEST_F(Renderer, SolidDrawFillsTheGivenRectanglesWithItsIndex) {
    mDirector stage(window, 50);
    mRenderSolid solid({0, 0, 64, 48});
    solid.colourIndex = 9;
    Rect area{3, 2, 8, 5};
    solid.draw(&area, 1);  // off stage: nothing to draw into
    stage.add(solid);
    solid.colourIndex = 9;
    stage.fillRects(0, &stage.background->bounds, 1);
    solid.draw(&area, 1);
    int32_t filled = 0;
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            bool inside = x >= 3 && x < 8 && y >= 2 && y < 5;
            uint8_t value = stage.info->topRow[y * stage.info->rowStep + x];
            EXPECT_EQ(value, inside ? 9 : 0) << x << "," << y;
            filled += value == 9;
        }
    EXPECT_EQ(filled, 15);
}

}  // namespace
