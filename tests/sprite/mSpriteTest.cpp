#include "engine/sprite/mSprite.h"

#include <gtest/gtest.h>

#include "engine/core/mFile.h"
#include "engine/platform/ReportSink.h"
#include "engine/platform/Window.h"
#include "tests/sprite/SpriteTestSupport.h"
#include "tests/stage/StageTestSupport.h"

using spritetest::handedOver;
using spritetest::RecordingSound;
using stagetest::dirtyOf;
using stagetest::ringOf;

namespace {

using Rects = std::vector<Rect>;
using Plays = std::vector<std::pair<int32_t, int32_t>>;

class Sprite : public stagetest::StageTest {
  protected:
    platform::Window window{64, 48};
};

TEST_F(Sprite, TicksOneFramePerTickWithoutCatchUpHoweverLate) {
    mSprite sprite;
    sprite.interval = 100;
    sprite.tick(0);
    sprite.tick(250);
    sprite.tick(5000);
    EXPECT_EQ(sprite.frame, 3);
}

TEST_F(Sprite, CatchUpRunsOneStepPerIntervalOfLateness) {
    mSprite sprite;
    sprite.interval = 100;
    sprite.setCatchUp(1);
    sprite.tick(250);
    EXPECT_EQ(sprite.frame, 3);
    sprite.tick(99);
    EXPECT_EQ(sprite.frame, 4);
    EXPECT_EQ(sprite.spriteFlags & mSprite::flagStepDue, 0u);

    // Without an interval there is nothing to catch up by, and the tick still returns.
    sprite.interval = 0;
    sprite.tick(1000);
    EXPECT_EQ(sprite.frame, 5);

    sprite.setCatchUp(0);
    sprite.interval = 100;
    sprite.tick(250);
    EXPECT_EQ(sprite.frame, 6);
}

TEST_F(Sprite, TickRepaintsTheBoundsOnStage) {
    mDirector stage(window, 50);
    mSprite sprite;
    sprite.bounds = {8, 8, 16, 12};
    stage.add(sprite);
    stage.flush();
    sprite.tick(0);
    EXPECT_EQ(dirtyOf(stage), (Rects{{8, 8, 16, 12}}));
}

TEST_F(Sprite, HidesNestAndExtraShowsDoNothing) {
    mDirector stage(window, 50);
    mSprite sprite;
    sprite.bounds = {4, 4, 8, 8};
    stage.add(sprite);
    stage.flush();

    sprite.hide();
    EXPECT_EQ(dirtyOf(stage), (Rects{{4, 4, 8, 8}}));
    stage.flush();
    sprite.hide();
    EXPECT_TRUE(dirtyOf(stage).empty());  // already hidden: nothing changes on screen
    sprite.show();
    EXPECT_EQ(sprite.hideCount, -1);
    EXPECT_NE(sprite.spriteFlags & mSprite::flagHidden, 0u);
    EXPECT_TRUE(dirtyOf(stage).empty());

    sprite.show();
    EXPECT_EQ(sprite.hideCount, 0);
    EXPECT_EQ(sprite.spriteFlags & mSprite::flagHidden, 0u);
    EXPECT_EQ(dirtyOf(stage), (Rects{{4, 4, 8, 8}}));
    stage.flush();

    sprite.show();
    EXPECT_EQ(sprite.hideCount, 0);
    EXPECT_EQ(sprite.spriteFlags & mSprite::flagHidden, 0u);
    EXPECT_TRUE(dirtyOf(stage).empty());
    sprite.hide();
    EXPECT_NE(sprite.spriteFlags & mSprite::flagHidden, 0u);
}

TEST_F(Sprite, SetPositionMovesHitRectAndBoundsAndMarksNewThenOld) {
    mDirector stage(window, 50);
    mSprite sprite;
    sprite.bounds = {0, 0, 8, 4};
    sprite.hitRect = {1, 1, 7, 3};
    stage.add(sprite);
    stage.flush();

    sprite.setPosition(20, 30, 0);
    EXPECT_EQ(sprite.x, 20);
    EXPECT_EQ(sprite.y, 30);
    EXPECT_EQ(sprite.bounds, (Rect{20, 30, 28, 34}));
    EXPECT_EQ(sprite.hitRect, (Rect{21, 31, 27, 33}));
    EXPECT_EQ(dirtyOf(stage), (Rects{{0, 0, 8, 4}, {20, 30, 28, 34}}));

    sprite.moveBy(-4, 2, 0);
    EXPECT_EQ(sprite.bounds, (Rect{16, 32, 24, 36}));
    EXPECT_EQ(sprite.hitRect, (Rect{17, 33, 23, 35}));
}

TEST_F(Sprite, DepthChangesOnlyForAPositiveNewZ) {
    mDirector stage(window, 50);
    mSprite low, high;
    low.z = 3;
    high.z = 5;
    stage.add(low);
    stage.add(high);

    low.setPosition(1, 1, 0);
    EXPECT_EQ(low.z, 3);
    low.setPosition(1, 1, -1);
    EXPECT_EQ(low.z, 3);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background, &low, &high}));

    low.setPosition(1, 1, 9);
    EXPECT_EQ(low.z, 9);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background, &high, &low}));
    EXPECT_EQ(low.depthLow, 9 - 16383);  // the stage re-sorted it and recomputed the range

    low.moveBy(0, 0, -8);
    EXPECT_EQ(low.z, 1);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background, &low, &high}));
}

TEST_F(Sprite, SetOriginStoresAndReappliesThePosition) {
    mDirector stage(window, 50);
    mSprite sprite;
    sprite.bounds = {4, 4, 12, 8};
    stage.add(sprite);
    stage.flush();
    sprite.setOrigin(3, 2);
    EXPECT_EQ(sprite.originX, 3);
    EXPECT_EQ(sprite.originY, 2);
    EXPECT_EQ(dirtyOf(stage), (Rects{{4, 4, 12, 8}}));
}

TEST_F(Sprite, ExtremePositionsSaturateInsteadOfOverflowing) {
    mSprite sprite;
    sprite.bounds = {0, 0, 10, 10};
    sprite.setPosition(INT32_MAX, 0, 0);
    EXPECT_EQ(sprite.bounds.right, INT32_MAX);
    sprite.moveBy(INT32_MAX, 0, 0);
    EXPECT_EQ(sprite.x, INT32_MAX);
}

TEST_F(Sprite, SpeedScalesTheInterval) {
    mSprite sprite;
    sprite.interval = 100;
    sprite.setSpeed(200);
    EXPECT_EQ(sprite.interval, 50u);
    sprite.setSpeed(50);
    EXPECT_EQ(sprite.interval, 100u);
    EXPECT_EQ(sprite.speed, 50u);

    // Speed 0 counts as the slowest speed, 1 percent, instead of dividing by zero.
    sprite.setSpeed(0);
    EXPECT_EQ(sprite.speed, 0u);
    EXPECT_EQ(sprite.interval, 10000u);

    // A very high speed keeps the sprite ticking instead of rounding its interval to 0.
    sprite.interval = 3;
    sprite.setSpeed(1000);
    EXPECT_EQ(sprite.interval, 1u);

    sprite.interval = 0xFFFFFFFFu;
    sprite.setSpeed(1);
    EXPECT_EQ(sprite.interval, 0xFFFFFFFFu);
}

TEST_F(Sprite, PlaySoundCountsFromTheFirstAddedAndIgnoresIndexesPastTheList) {
    mSprite sprite;
    auto* first = handedOver<RecordingSound>();
    auto* second = handedOver<RecordingSound>();
    sprite.addSound(*first);
    sprite.addSound(*second);
    EXPECT_EQ(first->useCount, 1);

    EXPECT_EQ(sprite.playSound(3, 0, 1), 0);
    EXPECT_EQ(sprite.playSound(2, 0, 1), 0);
    EXPECT_EQ(sprite.playSound(-1, 0, 1), 0);
    EXPECT_TRUE(first->plays.empty());
    EXPECT_TRUE(second->plays.empty());

    EXPECT_EQ(sprite.playSound(1, 0, 1), 1);
    EXPECT_EQ(sprite.playSound(0, 500, 3), 1);
    EXPECT_EQ(first->plays, (Plays{{500, 3}}));
    EXPECT_EQ(second->plays, (Plays{{0, 1}}));
}

TEST_F(Sprite, APausedSpriteIgnoresTicksAndAttachKeepsItsScriptPosition) {
    mDirector stage(window, 50);
    mSprite paused;
    paused.interval = 100;
    paused.startScript(5);
    paused.pause();
    paused.tick(0);
    paused.setCatchUp(1);
    paused.tick(1000);
    EXPECT_EQ(paused.frame, 0);

    stage.add(paused);
    EXPECT_EQ(paused.pc, 5);
    EXPECT_NE(paused.spriteFlags & mSprite::flagPaused, 0u);

    paused.resume();
    EXPECT_EQ(paused.pc, 5);
    paused.tick(0);
    EXPECT_EQ(paused.frame, 1);

    mSprite running;
    running.startScript(7);
    stage.add(running);
    EXPECT_EQ(running.pc, 0);
}

TEST_F(Sprite, HitsLeaveThePendingBitAndTheLastHitterOnTheStage) {
    mDirector stage(window, 50);
    mSprite target, first, second;
    target.hitRect = {0, 0, 10, 10};
    first.hitRect = {5, 5, 15, 15};
    second.hitRect = {2, 2, 4, 4};
    first.hitId = 2;
    second.hitId = 8;
    first.hitMask = second.hitMask = 0;
    stage.add(target);
    stage.add(first);
    stage.add(second);
    stage.collide();
    EXPECT_NE(target.spriteFlags & mSprite::flagHitPending, 0u);
    EXPECT_EQ(target.lastHitId, 8u);
    EXPECT_EQ(first.spriteFlags & mSprite::flagHitPending, 0u);
}

TEST_F(Sprite, CopiesShareSoundsAndTheLastHolderDestroysThem) {
    bool destroyed = false;
    auto* sound = handedOver<RecordingSound>(&destroyed);
    auto original = std::make_unique<mSprite>();
    original->addSound(*sound);
    original->setPosition(5, 6, 0);
    original->setOrigin(1, 2);
    original->hide();
    original->setSpeed(150);
    original->frame = 4;
    original->startScript(9);
    original->setLoop(1);

    auto copy = std::make_unique<mSprite>(*original);
    EXPECT_EQ(copy->x, 5);
    EXPECT_EQ(copy->y, 6);
    EXPECT_EQ(copy->originX, 1);
    EXPECT_EQ(copy->originY, 2);
    EXPECT_EQ(copy->hideCount, -1);
    EXPECT_EQ(copy->speed, 150u);
    EXPECT_EQ(copy->frame, 4);
    EXPECT_EQ(copy->pc, 9);
    EXPECT_EQ(copy->spriteFlags, original->spriteFlags);
    EXPECT_EQ(copy->useCount, 0);
    ASSERT_EQ(copy->sounds.size(), 1u);
    EXPECT_EQ(copy->sounds[0], sound);
    EXPECT_EQ(sound->useCount, 2);

    original.reset();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(sound->useCount, 1);
    EXPECT_EQ(copy->playSound(0, 0, 1), 1);
    EXPECT_EQ(sound->plays, (Plays{{0, 1}}));
    copy.reset();
    EXPECT_TRUE(destroyed);
}

TEST_F(Sprite, AssignmentReplacesTheSoundsHeld) {
    bool oldGone = false;
    bool newGone = false;
    mSprite target, source;
    target.addSound(*handedOver<RecordingSound>(&oldGone));
    auto* kept = handedOver<RecordingSound>(&newGone);
    source.addSound(*kept);
    source.frame = 3;

    target = source;
    EXPECT_TRUE(oldGone);
    EXPECT_EQ(target.frame, 3);
    ASSERT_EQ(target.sounds.size(), 1u);
    EXPECT_EQ(kept->useCount, 2);

    const mSprite& same = target;
    target = same;
    EXPECT_EQ(kept->useCount, 2);
    EXPECT_FALSE(newGone);
}

TEST_F(Sprite, DestroyingASpriteOnStageReleasesItsSoundsAndLeavesTheStage) {
    bool destroyed = false;
    mDirector stage(window, 50);
    {
        mSprite sprite;
        sprite.addSound(*handedOver<RecordingSound>(&destroyed));
        stage.add(sprite);
        EXPECT_EQ(sprite.useCount, 1);
    }
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background}));
}

TEST_F(Sprite, LoadScriptFromAClosedFileDoesNothing) {
    platform::ReportSink::Capture capture;
    mSprite sprite;
    mFile file;
    EXPECT_EQ(sprite.loadScript(file), 0);
    EXPECT_EQ(sprite.script, nullptr);
    EXPECT_TRUE(capture.reports().empty());
}

}  // namespace
