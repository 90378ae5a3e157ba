#include <gtest/gtest.h>

#include <memory>

#include "engine/platform/ReportSink.h"
#include "engine/platform/Window.h"
#include "tests/stage/StageTestSupport.h"

using stagetest::RecordingRenderer;
using stagetest::ringOf;

namespace {

class DirectorRing : public stagetest::StageTest {
  protected:
    platform::Window window{64, 48};
};

TEST_F(DirectorRing, ConstructionLeavesOnlyTheBackgroundAtZeroWithoutHitTesting) {
    mDirector stage(window, 50);
    ASSERT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background}));
    EXPECT_EQ(stage.background, stage.ownedBackground.get());
    EXPECT_EQ(stage.background->z, 0);
    EXPECT_EQ(stage.background->hitMask, 0u);
    EXPECT_EQ(stage.background->bounds, (Rect{0, 0, 64, 48}));
    EXPECT_EQ(stage.background->useCount, 1);
    EXPECT_EQ(stage.info->width, 64);
    EXPECT_EQ(stage.info->height, 48);
    EXPECT_EQ(stage.stageFlags, mDirector::notifyPalette);
    EXPECT_NE(stage.palette, nullptr);
    EXPECT_EQ(stage.dirtyCapacity, 50);
}

TEST_F(DirectorRing, EqualZGoesBehindLaterAdditionsAndLowerZBecomesFirst) {
    mDirector stage(window, 50);
    RecordingRenderer a(4), b(6), c(4), back(-1);
    stage.add(a);
    stage.add(b);
    stage.add(c);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background, &a, &c, &b}));
    stage.add(back);
    EXPECT_EQ(stage.first, &back);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{&back, stage.background, &a, &c, &b}));
    // The backward links mirror the forward ones.
    for (mRenderer* renderer : ringOf(stage))
        EXPECT_EQ(renderer->next->prev, renderer);
}

TEST_F(DirectorRing, AddingTwiceOrToASecondStageChangesNothing) {
    mDirector stage(window, 50);
    platform::Window otherWindow(16, 16);
    mDirector other(otherWindow, 50);
    RecordingRenderer a(3);
    stage.add(a);
    stage.add(a);
    other.add(a);
    EXPECT_EQ(ringOf(stage).size(), 2u);
    EXPECT_EQ(ringOf(other).size(), 1u);
    EXPECT_EQ(a.useCount, 1);
    EXPECT_EQ(a.stage, &stage);
    EXPECT_EQ(a.calls, (std::vector<std::string>{"attach", "paletteChanged"}));
}

TEST_F(DirectorRing, AddStampsTheTickAndMarksAndComposesTheBounds) {
    platform::Clock::advance(234);
    mDirector stage(window, 50);
    stage.flush();
    RecordingRenderer a(1, {5, 6, 9, 10});
    stage.add(a);
    EXPECT_EQ(a.lastTick, 1234u);
    EXPECT_EQ(stagetest::dirtyOf(stage), (std::vector<Rect>{{4, 6, 12, 10}}));
    // Composed at once, clipped to its own bounds.
    EXPECT_EQ(a.drawn, (std::vector<Rect>{{5, 6, 9, 10}}));
}

TEST_F(DirectorRing, RemovingTheOnlyRendererEmptiesTheRingAndMarksNothing) {
    mDirector stage(window, 50);
    stage.flush();
    mRenderSolid* background = stage.background;
    stage.remove(*background);
    EXPECT_EQ(stage.first, nullptr);
    EXPECT_EQ(background->stage, nullptr);
    EXPECT_EQ(background->useCount, 0);
    EXPECT_EQ(stage.dirtyCount, 1);
    // An empty stage steps without trouble.
    EXPECT_EQ(stage.step(), 0u);
}

TEST_F(DirectorRing, RemoveUnlinksDetachesAndMarksTheOldArea) {
    mDirector stage(window, 50);
    RecordingRenderer a(1, {0, 0, 8, 8}), b(2, {20, 20, 30, 30});
    stage.add(a);
    stage.add(b);
    stage.flush();
    b.drawn.clear();
    stage.remove(a);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background, &b}));
    EXPECT_EQ(a.stage, nullptr);
    EXPECT_EQ(a.useCount, 0);
    EXPECT_EQ(a.calls.back(), "detach");
    EXPECT_EQ(stagetest::dirtyOf(stage), (std::vector<Rect>{{0, 0, 8, 8}}));
    // Its own links are left alone.
    EXPECT_EQ(a.next, &b);
    // Removing it again, or from another stage, is ignored.
    stage.remove(a);
    EXPECT_EQ(a.useCount, 0);
}

TEST_F(DirectorRing, RemovingTheFirstMakesItsSuccessorFirst) {
    mDirector stage(window, 50);
    RecordingRenderer back(-5);
    stage.add(back);
    stage.remove(back);
    EXPECT_EQ(stage.first, stage.background);
    EXPECT_EQ(ringOf(stage).size(), 1u);
}

TEST_F(DirectorRing, SetZReordersMarksTwiceAndRecomputesTheDepthRange) {
    mDirector stage(window, 50);
    RecordingRenderer a(1, {0, 0, 4, 4}), b(2), c(3);
    stage.add(a);
    stage.add(b);
    stage.add(c);
    stage.flush();
    a.setZ(5);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background, &b, &c, &a}));
    EXPECT_EQ(a.depthLow, 5 - 16383);
    EXPECT_EQ(a.depthHigh, 5 + 16383);
    // Marked by the reorder and again by setZ; the same rectangle twice uses two entries.
    EXPECT_EQ(stage.dirtyCount, 3);
    EXPECT_EQ(stagetest::dirtyOf(stage), (std::vector<Rect>{{0, 0, 4, 4}}));

    c.setZ(-3);
    EXPECT_EQ(stage.first, &c);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{&c, stage.background, &b, &a}));
    stage.background->setZ(10);
    EXPECT_EQ(stage.first, &c);
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{&c, &b, &a, stage.background}));
}

TEST_F(DirectorRing, ReorderOfTheOnlyRendererOrOfAStrangerDoesNothing) {
    mDirector stage(window, 50);
    stage.flush();
    stage.background->z = 7;
    stage.reorder(*stage.background);
    EXPECT_EQ(stage.dirtyCount, 1);
    EXPECT_EQ(stage.background->depthHigh, 16383);  // not recomputed

    RecordingRenderer stranger(1, {0, 0, 8, 8});
    stage.reorder(stranger);
    EXPECT_EQ(stage.dirtyCount, 1);
    EXPECT_EQ(stranger.stage, nullptr);
}

TEST_F(DirectorRing, DestroyingTheStageLeavesEveryRendererFreeAndSilent) {
    platform::ReportSink::Capture capture;
    auto a = std::make_unique<RecordingRenderer>(1, Rect{0, 0, 8, 8});
    auto b = std::make_unique<mRenderSolid>(Rect{4, 4, 20, 20});
    {
        mDirector stage(window, 50);
        stage.add(*a);
        stage.add(*b);
        b->setColour(200, 10, 10);
    }
    EXPECT_EQ(a->stage, nullptr);
    EXPECT_EQ(b->stage, nullptr);
    EXPECT_EQ(a->useCount, 0);
    EXPECT_EQ(b->useCount, 0);
    EXPECT_EQ(a->calls.back(), "detach");
    // The window no longer has the stage's palette selected.
    EXPECT_EQ(window.surface().selectedPalette(), nullptr);
    a.reset();
    b.reset();
    EXPECT_EQ(capture.count(), 0u);
}

TEST_F(DirectorRing, DestroyingARendererOnTheStageTakesItOff) {
    mDirector stage(window, 50);
    auto solid = std::make_unique<mRenderSolid>(Rect{8, 8, 16, 16});
    stage.add(*solid);
    stage.flush();
    solid.reset();
    EXPECT_EQ(ringOf(stage), (std::vector<mRenderer*>{stage.background}));
    EXPECT_EQ(stagetest::dirtyOf(stage), (std::vector<Rect>{{8, 8, 16, 16}}));
}

TEST_F(DirectorRing, AStageWhoseWindowRefusesContextsStillDeselectsItsPalette) {
    {
        mDirector stage(window, 50);
        EXPECT_NE(window.surface().selectedPalette(), nullptr);
        platform::Display::refuseContexts(true);
    }
    platform::Display::refuseContexts(false);
    EXPECT_EQ(window.surface().selectedPalette(), nullptr);
}

}  // namespace
