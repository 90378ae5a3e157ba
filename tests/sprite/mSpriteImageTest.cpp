#include "engine/sprite/mSpriteImage.h"

#include <gtest/gtest.h>

#include "engine/platform/Window.h"
#include "tests/sprite/SpriteTestSupport.h"
#include "tests/stage/StageTestSupport.h"

using platform::Clock;
using spritetest::handedOver;
using spritetest::RecordingImage;
using stagetest::dirtyOf;

namespace {

using Rects = std::vector<Rect>;
using Seeks = std::vector<std::pair<int32_t, int32_t>>;
using Calls = std::vector<std::string>;

class SpriteImage : public stagetest::StageTest {
  protected:
    // Ten frames of 100 ms, 16 × 8 pixels.
    RecordingImage* newImage(bool* destroyed = nullptr) {
        return handedOver<RecordingImage>(10, 100, destroyed);
    }

    platform::Window window{64, 48};
};

TEST_F(SpriteImage, SetImageTakesAUseOpensAndTimesTheSprite) {
    mSpriteImage sprite;
    EXPECT_NE(sprite.spriteFlags & mSprite::flagLoop, 0u);
    EXPECT_EQ(sprite.useFrameOrigin, 1);

    auto* image = newImage();
    image->autoAdvance = 1;
    sprite.setSpeed(50);
    sprite.setImage(image);
    EXPECT_EQ(image->useCount, 1);
    EXPECT_EQ(image->format, 1u);
    EXPECT_EQ(image->autoAdvance, 0);
    EXPECT_EQ(sprite.interval, 200u);
    EXPECT_EQ(image->destination, nullptr);  // on no stage yet
}

TEST_F(SpriteImage, ReplacingTheImageDestroysTheOldOneWithItsLastUse) {
    bool firstGone = false;
    bool secondGone = false;
    auto* first = newImage(&firstGone);
    auto* second = newImage(&secondGone);
    {
        mSpriteImage sprite;
        sprite.setImage(first);
        sprite.setImage(first);  // the same image again stays alive
        EXPECT_FALSE(firstGone);
        EXPECT_EQ(first->useCount, 1);
        sprite.setImage(second);
        EXPECT_TRUE(firstGone);
        EXPECT_EQ(sprite.image, second);

        // Without an image the sprite ticks as a plain sprite.
        sprite.setImage(nullptr);
        EXPECT_TRUE(secondGone);
        sprite.tick(0);
        EXPECT_EQ(sprite.frame, 1);
    }
}

TEST_F(SpriteImage, TicksAdvanceAndSeekOneFrameAtTheFrameTime) {
    mSpriteImage sprite;
    auto* image = newImage();
    sprite.setImage(image);
    sprite.interval = 7;
    sprite.tick(250);  // catch-up is off: one step however late
    EXPECT_EQ(sprite.frame, 1);
    EXPECT_EQ(image->seeks, (Seeks{{1, 0}}));
    EXPECT_EQ(sprite.interval, 100u);
}

TEST_F(SpriteImage, LoopWrapsAfterTheLastFrame) {
    mSpriteImage sprite;
    auto* image = newImage();
    sprite.setImage(image);
    sprite.frame = 9;
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 0);
    EXPECT_EQ(image->seeks, (Seeks{{0, 0}}));
    EXPECT_EQ(sprite.interval, 100u);
}

TEST_F(SpriteImage, WithoutLoopTheLastFrameStaysAndTheStageStopsTicking) {
    mDirector stage(window, 50);
    mSpriteImage sprite;
    auto* image = newImage();
    sprite.setImage(image);
    sprite.setLoop(0);
    stage.add(sprite);
    sprite.frame = 8;

    Clock::advance(100);
    stage.step();
    EXPECT_EQ(sprite.frame, 9);
    EXPECT_EQ(sprite.interval, 100u);

    Clock::advance(100);
    stage.step();
    EXPECT_EQ(sprite.frame, 9);
    EXPECT_EQ(image->seeks.back(), (std::pair<int32_t, int32_t>{9, 0}));
    EXPECT_EQ(sprite.interval, 0u);

    image->seeks.clear();
    Clock::advance(1000);
    EXPECT_EQ(stage.step(), 0u);
    EXPECT_TRUE(image->seeks.empty());
    EXPECT_EQ(sprite.frame, 9);
}

// A script's step that moves the frame back beyond 0 (frame 2, five back) leaves a negative
// frame, which counts as past the end.
TEST_F(SpriteImage, NegativeFramesCountAsPastTheEnd) {
    mSpriteImage looping;
    looping.setImage(newImage());
    looping.frame = 2 - 5 - 1;  // the step adds one
    looping.tick(0);
    EXPECT_EQ(looping.frame, 0);

    mSpriteImage stopping;
    auto* image = newImage();
    stopping.setImage(image);
    stopping.setLoop(0);
    stopping.frame = 2 - 5 - 1;
    stopping.tick(0);
    EXPECT_EQ(stopping.frame, 9);
    EXPECT_EQ(image->seeks, (Seeks{{9, 0}}));
    EXPECT_EQ(stopping.interval, 0u);
}

TEST_F(SpriteImage, SpeedScalesTheFrameTime) {
    mSpriteImage sprite;
    sprite.setImage(newImage());
    sprite.speed = 50;
    sprite.tick(0);
    EXPECT_EQ(sprite.interval, 200u);
    sprite.speed = 200;
    sprite.tick(0);
    EXPECT_EQ(sprite.interval, 50u);
    // A speed of 0, as a script may set it, counts as 1 percent.
    sprite.speed = 0;
    sprite.tick(0);
    EXPECT_EQ(sprite.interval, 10000u);
}

TEST_F(SpriteImage, CatchUpStepsThroughTheLatenessAndShortensTheNextInterval) {
    mSpriteImage sprite;
    auto* image = newImage();
    sprite.setImage(image);
    sprite.setCatchUp(1);
    sprite.tick(250);
    EXPECT_EQ(sprite.frame, 3);
    EXPECT_EQ(image->seeks, (Seeks{{1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(sprite.interval, 50u);  // the next tick comes 50 ms sooner
    EXPECT_EQ(sprite.spriteFlags & mSprite::flagStepDue, 0u);

    // Catching up stops at the last frame when the sprite does not loop.
    sprite.setLoop(0);
    sprite.frame = 7;
    sprite.tick(1000);
    EXPECT_EQ(sprite.frame, 9);
    EXPECT_EQ(sprite.interval, 0u);
    EXPECT_EQ(sprite.spriteFlags & mSprite::flagStepDue, 0u);
}

TEST_F(SpriteImage, CatchUpWithAStillImageReturns) {
    mSpriteImage sprite;
    sprite.setImage(handedOver<RecordingImage>(1, 0));
    sprite.setCatchUp(1);
    sprite.tick(500);
    EXPECT_EQ(sprite.frame, 0);
    EXPECT_EQ(sprite.interval, 0u);
}

TEST_F(SpriteImage, APausedSpriteIgnoresTicksAndAttach) {
    mDirector stage(window, 50);
    mSpriteImage sprite;
    auto* image = newImage();
    sprite.setImage(image);
    sprite.startScript(4);
    sprite.pause();
    image->calls.clear();
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 0);
    EXPECT_TRUE(image->seeks.empty());

    stage.add(sprite);
    EXPECT_EQ(sprite.pc, 4);
    EXPECT_EQ(image->calls, (Calls{"openImage", "updateRemap"}));  // no play

    sprite.resume();
    EXPECT_EQ(image->calls.back(), "play 0 1");
    sprite.pause();
    EXPECT_EQ(image->calls.back(), "pause");
    sprite.startScript(0);
    EXPECT_EQ(image->calls.back(), "play 0 0");
    EXPECT_EQ(sprite.spriteFlags & mSprite::flagPaused, 0u);
}

TEST_F(SpriteImage, AttachGivesTheImageTheStageAndStartsIt) {
    mDirector stage(window, 50);
    mSpriteImage sprite;
    auto* image = newImage();
    sprite.setImage(image);
    sprite.startScript(6);
    image->calls.clear();
    sprite.interval = 1;

    stage.add(sprite);
    EXPECT_EQ(image->destination, &stage);
    EXPECT_EQ(sprite.interval, 100u);
    EXPECT_EQ(sprite.pc, 0);
    EXPECT_EQ(image->calls, (Calls{"openImage", "play 0 0", "updateRemap"}));

    // An image set while on the stage draws into it at once.
    auto* other = newImage();
    sprite.setImage(other);
    EXPECT_EQ(other->destination, &stage);
}

TEST_F(SpriteImage, TheStageTakesThePaletteOfAnImageThatDoesNotRemap) {
    mDirector stage(window, 50);
    mSpriteImage sprite;
    auto* image = newImage();
    image->colours[5] = RgbQuad{30, 20, 10, 0};
    image->paletteChanged = 1;
    sprite.setImage(image);
    stage.add(sprite);
    EXPECT_EQ(stage.info->colorTable[5], (RgbQuad{30, 20, 10, 0}));

    // A new palette in a later frame goes to the stage after the tick.
    image->colours[6] = RgbQuad{1, 2, 3, 0};
    sprite.tick(0);
    EXPECT_EQ(stage.info->colorTable[6], (RgbQuad{1, 2, 3, 0}));

    // An image that translates its colours leaves the stage palette alone.
    image->remap = 1;
    image->colours[7] = RgbQuad{9, 9, 9, 0};
    sprite.tick(0);
    EXPECT_EQ(stage.info->colorTable[7], (RgbQuad{0, 0, 0, 0}));
}

TEST_F(SpriteImage, PositionPlacesTheImageLessBothOrigins) {
    mSpriteImage sprite;
    auto* image = newImage();
    image->originX = 2;
    image->originY = 1;
    sprite.setImage(image);
    sprite.setOrigin(3, 4);
    sprite.setPosition(20, 10, 0);
    EXPECT_EQ(sprite.bounds, (Rect{15, 5, 31, 13}));
    EXPECT_EQ(sprite.hitRect, sprite.bounds);

    sprite.useFrameOrigin = 0;
    sprite.setPosition(20, 10, 0);
    EXPECT_EQ(sprite.bounds, (Rect{17, 6, 33, 14}));
}

TEST_F(SpriteImage, StandingStillMarksOnlyTheChangedRectangle) {
    mDirector stage(window, 50);
    mSpriteImage sprite;
    auto* image = newImage();
    sprite.setImage(image);
    sprite.setPosition(8, 4, 0);
    stage.add(sprite);
    stage.flush();

    image->changed = Rect{5, 2, 7, 3};
    sprite.tick(0);
    EXPECT_EQ(dirtyOf(stage), (Rects{{12, 6, 16, 7}}));
    stage.flush();

    // An empty change marks nothing.
    image->changed = Rect{16, 8, 0, 0};
    sprite.tick(0);
    EXPECT_TRUE(dirtyOf(stage).empty());

    sprite.moveBy(4, 0, 0);
    EXPECT_EQ(dirtyOf(stage), (Rects{{8, 4, 28, 12}}));  // new and old, merged
    stage.flush();

    sprite.hide();
    stage.flush();
    sprite.moveBy(4, 0, 0);
    EXPECT_TRUE(dirtyOf(stage).empty());
    EXPECT_EQ(sprite.bounds, (Rect{16, 4, 32, 12}));
}

TEST_F(SpriteImage, DrawSeeksTheSpriteFrameAndReadsEachRectangle) {
    mDirector stage(window, 50);
    mSpriteImage sprite;
    auto* image = newImage();
    sprite.setImage(image);
    sprite.setPosition(8, 4, 0);
    sprite.frame = 3;
    std::array<Rect, 2> rects{Rect{8, 4, 12, 8}, Rect{16, 4, 20, 6}};
    sprite.draw(rects.data(), 2);
    EXPECT_EQ(image->seeks, (Seeks{{3, 0}}));
    ASSERT_EQ(image->reads.size(), 2u);
    EXPECT_EQ(image->reads[0], (RecordingImage::Read{8, 4, rects[0]}));
    EXPECT_EQ(image->reads[1], (RecordingImage::Read{8, 4, rects[1]}));

    sprite.draw(rects.data(), 1);
    EXPECT_EQ(image->seeks.size(), 1u);  // already there

    sprite.hide();
    sprite.draw(rects.data(), 2);
    EXPECT_EQ(image->reads.size(), 3u);
}

TEST_F(SpriteImage, CopiesShareTheImageAndTheLastHolderDestroysIt) {
    bool destroyed = false;
    auto* image = newImage(&destroyed);
    auto original = std::make_unique<mSpriteImage>();
    original->setImage(image);
    original->useFrameOrigin = 0;
    original->setLoop(0);
    original->frame = 4;

    auto copy = std::make_unique<mSpriteImage>(*original);
    EXPECT_EQ(copy->image, image);
    EXPECT_EQ(image->useCount, 2);
    EXPECT_EQ(copy->useFrameOrigin, 0);
    EXPECT_EQ(copy->frame, 4);
    EXPECT_EQ(copy->spriteFlags & mSprite::flagLoop, 0u);
    EXPECT_EQ(copy->interval, 100u);

    mSpriteImage assigned;
    bool replacedGone = false;
    assigned.setImage(newImage(&replacedGone));
    assigned = *copy;
    EXPECT_TRUE(replacedGone);
    EXPECT_EQ(assigned.image, image);
    EXPECT_EQ(image->useCount, 3);
    const mSpriteImage& same = assigned;
    assigned = same;
    EXPECT_EQ(image->useCount, 3);

    original.reset();
    copy.reset();
    EXPECT_FALSE(destroyed);
    assigned.setImage(nullptr);
    EXPECT_TRUE(destroyed);
}

TEST_F(SpriteImage, ASharedImageKeepsTheStageUntilItsLastSpriteLeaves) {
    mDirector stage(window, 50);
    auto* image = newImage();
    mSpriteImage first;
    first.setImage(image);
    mSpriteImage second(first);
    stage.add(first);
    stage.add(second);
    image->calls.clear();

    stage.remove(first);
    EXPECT_EQ(image->destination, &stage);
    EXPECT_TRUE(image->calls.empty());

    stage.remove(second);
    EXPECT_EQ(image->destination, nullptr);
    EXPECT_EQ(image->calls, (Calls{"stop"}));
}

// The sprites outlive the stage, as when a program shuts down: the image must not keep a
// back buffer that is gone.
TEST_F(SpriteImage, AStageDestroyedBeforeTheSpritesTakesItselfFromTheImage) {
    bool destroyed = false;
    auto* image = newImage(&destroyed);
    mSpriteImage first;
    first.setImage(image);
    mSpriteImage second(first);
    {
        mDirector stage(window, 50);
        stage.add(first);
        stage.add(second);
        EXPECT_EQ(image->destination, &stage);
    }
    EXPECT_EQ(image->destination, nullptr);
    EXPECT_FALSE(destroyed);
}

TEST_F(SpriteImage, AnImageSpriteDestroyedOnStageLeavesASharedImageDrawing) {
    mDirector stage(window, 50);
    auto* image = newImage();
    mSpriteImage kept;
    kept.setImage(image);
    stage.add(kept);
    {
        mSpriteImage leaving(kept);
        stage.add(leaving);
    }
    EXPECT_EQ(image->useCount, 1);
    EXPECT_EQ(image->destination, &stage);

    bool destroyed = false;
    {
        mSpriteImage alone;
        auto* own = newImage(&destroyed);
        alone.setImage(own);
        stage.add(alone);
        EXPECT_EQ(stage.useCount, 2);  // the two images draw into it
    }
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(stage.useCount, 1);
}

}  // namespace
