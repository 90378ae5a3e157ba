#include <gtest/gtest.h>

#include "engine/platform/Window.h"
#include "tests/stage/StageTestSupport.h"

using platform::Clock;
using stagetest::RecordingRenderer;

namespace {

class DirectorTiming : public stagetest::StageTest {
  protected:
    platform::Window window{64, 48};
};

// A renderer that changes its own interval when ticked.
class SlowingRenderer : public RecordingRenderer {
  public:
    void tick(uint32_t lateness) override {
        RecordingRenderer::tick(lateness);
        interval = 500;
    }
};

TEST_F(DirectorTiming, StepReturnsZeroWithoutIntervalsAndTheIntervalWhenJustTicked) {
    mDirector stage(window, 50);
    RecordingRenderer idle(1);
    stage.add(idle);
    EXPECT_EQ(stage.step(), 0u);

    RecordingRenderer timed(2);
    timed.interval = 70;
    stage.add(timed);
    EXPECT_EQ(stage.step(), 70u);
    EXPECT_TRUE(timed.ticks.empty());
    EXPECT_EQ(stage.now, 1000u);
}

TEST_F(DirectorTiming, ALateRendererTicksOnceWithItsLateness) {
    mDirector stage(window, 50);
    RecordingRenderer timed(1);
    timed.interval = 70;
    stage.add(timed);
    Clock::advance(100);  // due 30 ms ago
    EXPECT_EQ(stage.step(), 70u);
    EXPECT_EQ(timed.ticks, (std::vector<uint32_t>{30}));
    EXPECT_EQ(timed.lastTick, 1100u);

    // Far behind still means one tick per pass.
    Clock::advance(1000);
    EXPECT_EQ(stage.step(), 70u);
    EXPECT_EQ(timed.ticks, (std::vector<uint32_t>{30, 930}));
}

TEST_F(DirectorTiming, NextDelayIsTheSoonestRemainder) {
    mDirector stage(window, 50);
    RecordingRenderer slow(1), fast(2);
    slow.interval = 100;
    fast.interval = 250;
    stage.add(slow);
    stage.add(fast);
    Clock::advance(40);
    EXPECT_EQ(stage.step(), 60u);
    EXPECT_TRUE(slow.ticks.empty());
    EXPECT_TRUE(fast.ticks.empty());
    EXPECT_EQ(stage.nextDelay, 60u);
}

TEST_F(DirectorTiming, ElapsedTimeSurvivesTheClockWrapping) {
    Clock::useVirtual(0xFFFFFFF0u);
    mDirector stage(window, 50);
    RecordingRenderer timed(1);
    timed.interval = 50;
    stage.add(timed);
    Clock::advance(0x30);  // now 0x20, 48 ms later
    EXPECT_EQ(stage.step(), 2u);
    EXPECT_TRUE(timed.ticks.empty());
    Clock::advance(2);
    EXPECT_EQ(stage.step(), 50u);
    EXPECT_EQ(timed.ticks, (std::vector<uint32_t>{0}));
}

TEST_F(DirectorTiming, ANewIntervalSetDuringATickCountsFromTheNextPass) {
    mDirector stage(window, 50);
    SlowingRenderer timed;
    timed.interval = 20;
    stage.add(timed);
    Clock::advance(20);
    EXPECT_EQ(stage.step(), 20u);
    EXPECT_EQ(timed.interval, 500u);
    Clock::advance(100);
    EXPECT_EQ(stage.step(), 400u);
}

TEST_F(DirectorTiming, AnEmptyRingKeepsTheLastDelay) {
    mDirector stage(window, 50);
    RecordingRenderer timed(1);
    timed.interval = 30;
    stage.add(timed);
    EXPECT_EQ(stage.step(), 30u);
    stage.remove(timed);
    stage.remove(*stage.background);
    Clock::advance(5);
    EXPECT_EQ(stage.step(), 30u);
    EXPECT_EQ(stage.now, 1000u);
}

class DirectorHits : public DirectorTiming {};

TEST_F(DirectorHits, OverlapIsStrictAndClipsTheSecondRectangle) {
    Rect out{-1, -1, -1, -1};
    EXPECT_EQ(mDirector::intersect(out, {0, 0, 10, 10}, {10, 0, 20, 10}), 0);
    EXPECT_EQ(mDirector::intersect(out, {0, 0, 10, 10}, {0, 10, 10, 20}), 0);
    EXPECT_EQ(mDirector::intersect(out, {0, 0, 10, 10}, {-5, -5, 0, 0}), 0);
    EXPECT_EQ(out, (Rect{-1, -1, -1, -1}));
    EXPECT_EQ(mDirector::intersect(out, {0, 0, 10, 10}, {-5, 3, 4, 30}), 1);
    EXPECT_EQ(out, (Rect{0, 3, 4, 10}));
}

TEST_F(DirectorHits, EveryMatchingOrderedPairHitsButTouchingNeverDoes) {
    mDirector stage(window, 50);
    RecordingRenderer a(1, {0, 0, 10, 10}), b(2, {5, 5, 15, 15}), touching(3, {10, 0, 20, 5});
    a.hitId = 1;
    b.hitId = 1;
    touching.hitId = 1;
    stage.add(a);
    stage.add(b);
    stage.add(touching);
    stage.collide();
    EXPECT_EQ(a.hits, (std::vector<mRenderer*>{&b}));
    EXPECT_EQ(b.hits, (std::vector<mRenderer*>{&a}));
    EXPECT_TRUE(touching.hits.empty());
}

TEST_F(DirectorHits, MaskIdAndDepthRangesDecide) {
    mDirector stage(window, 50);
    RecordingRenderer watcher(1, {0, 0, 10, 10}), target(2, {0, 0, 10, 10});
    watcher.hitId = 2;
    watcher.hitMask = 0;  // tests nobody, yet is tested by others
    target.hitId = 4;
    target.hitMask = 0x2;
    stage.add(watcher);
    stage.add(target);
    stage.collide();
    EXPECT_TRUE(watcher.hits.empty());
    EXPECT_EQ(target.hits, (std::vector<mRenderer*>{&watcher}));

    // Depth ranges that do not meet.
    target.hits.clear();
    watcher.setHitDepth(2);  // 0..2 around z 1
    target.z = 5;
    target.setHitDepth(2);  // 4..6
    stage.collide();
    EXPECT_TRUE(target.hits.empty());
    target.setHitDepth(6);  // 2..8 meets 0..2 at 2
    stage.collide();
    EXPECT_EQ(target.hits.size(), 1u);

    // A mask that does not match the other's id.
    target.hits.clear();
    target.hitMask = 0x1;
    stage.collide();
    EXPECT_TRUE(target.hits.empty());
}

TEST_F(DirectorHits, StepRunsTheHitTestsBeforeComposing) {
    mDirector stage(window, 50);
    RecordingRenderer a(1, {0, 0, 10, 10}), b(2, {0, 0, 10, 10});
    b.hitId = 1;
    stage.add(a);
    stage.add(b);
    stage.step();
    EXPECT_EQ(a.hits, (std::vector<mRenderer*>{&b}));
}

TEST_F(DirectorHits, FindAtReturnsTheFrontMostHitRectangle) {
    mDirector stage(window, 50);
    stage.remove(*stage.background);
    EXPECT_EQ(stage.findAt(10, 10, 2, 2), nullptr);
    RecordingRenderer back(1, {0, 0, 20, 20}), front(5, {10, 10, 30, 30});
    back.hitMask = 0;  // masks play no part here
    stage.add(back);
    stage.add(front);
    EXPECT_EQ(stage.findAt(15, 15, 2, 2), &front);
    EXPECT_EQ(stage.findAt(5, 5, 2, 2), &back);
    // The box of width 4 around x 32 spans 30 to 34: it only touches front's right edge.
    EXPECT_EQ(stage.findAt(32, 15, 4, 4), nullptr);
    EXPECT_EQ(stage.findAt(31, 15, 4, 4), &front);
    // Extreme sizes do not overflow.
    EXPECT_EQ(stage.findAt(0, 0, INT32_MIN, INT32_MIN), nullptr);
    EXPECT_EQ(stage.findAt(0, 0, INT32_MAX, INT32_MAX), &front);
}

}  // namespace
