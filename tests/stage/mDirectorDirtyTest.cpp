#include <gtest/gtest.h>

#include <random>

#include "engine/platform/Memory.h"
#include "engine/platform/Window.h"
#include "tests/stage/StageTestSupport.h"

using stagetest::dirtyOf;
using stagetest::RecordingRenderer;

namespace {

using Rects = std::vector<Rect>;

class DirtyList : public stagetest::StageTest {
  protected:
    void SetUp() override {
        StageTest::SetUp();
        stage = std::make_unique<mDirector>(window, 50);
        stage->flush();
    }
    void invalidate(const Rect& rect) { stage->invalidate(&rect, 1, 0); }
    int32_t add(const Rect& r) { return stage->addDirty(r.left, r.top, r.right, r.bottom, 0); }

    platform::Window window{64, 48};
    std::unique_ptr<mDirector> stage;
};

TEST_F(DirtyList, InvalidateClipsThenWidensToMultiplesOfFour) {
    invalidate({5, 5, 10, 10});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{4, 5, 12, 10}}));
    stage->flush();
    invalidate({-20, -20, 3, 3});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 0, 4, 3}}));
    stage->flush();
    // The right edge is widened after clipping and may pass the width.
    invalidate({61, 40, 200, 100});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{60, 40, 64, 48}}));
    stage->flush();
    Rect several[] = {{50, 50, 40, 60}, {10, 48, 20, 60}, {64, 0, 70, 5}, {1, 1, 2, 2}};
    stage->invalidate(several, 4, 0);
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 1, 4, 2}}));
    EXPECT_EQ(stage->dirtyCount, 2);
    stage->invalidate(nullptr, 3, 0);
    stage->invalidate(several, -1, 0);
    EXPECT_EQ(stage->dirtyCount, 2);
}

TEST_F(DirtyList, TouchingRectanglesOfEqualColumnsOrRowsMerge) {
    add({0, 0, 8, 8});
    add({0, 8, 8, 16});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 0, 8, 16}}));
    stage->flush();
    add({0, 0, 8, 8});
    add({8, 0, 16, 8});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 0, 16, 8}}));
    stage->flush();
    // Touching at a corner only: kept apart.
    add({0, 0, 8, 8});
    add({8, 8, 16, 16});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 0, 8, 8}, {8, 8, 16, 16}}));
}

TEST_F(DirtyList, ContainedRectanglesAreAbsorbedEitherWay) {
    add({4, 4, 8, 8});
    add({0, 0, 16, 16});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 0, 16, 16}}));
    int32_t used = stage->dirtyCount;
    EXPECT_EQ(add({4, 4, 8, 8}), 1);
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 0, 16, 16}}));
    EXPECT_EQ(stage->dirtyCount, used);
}

TEST_F(DirtyList, TheSameRectangleTwiceIsListedOnceButUsesTwoEntries) {
    add({8, 8, 12, 12});
    add({8, 8, 12, 12});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{8, 8, 12, 12}}));
    EXPECT_EQ(stage->dirtyCount, 3);
}

TEST_F(DirtyList, AnOverlapSplitsAndItsLeftPartMergesAlongEqualRows) {
    add({4, 4, 12, 12});
    add({0, 0, 8, 16});
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 0, 8, 4}, {0, 4, 12, 12}, {0, 12, 8, 16}}));
    EXPECT_EQ(stage->dirtyCount, 5);
}

TEST_F(DirtyList, ListIsSortedByTopThenLeftWithNewEntriesFirstAmongEquals) {
    add({40, 20, 44, 22});
    add({0, 30, 4, 32});
    add({20, 20, 24, 22});
    add({0, 0, 4, 2});
    EXPECT_EQ(dirtyOf(*stage),
              (Rects{{0, 0, 4, 2}, {20, 20, 24, 22}, {40, 20, 44, 22}, {0, 30, 4, 32}}));
}

TEST_F(DirtyList, KindOneIsNeverAbsorbedNorMergedNorComposed) {
    RecordingRenderer probe(1, {0, 0, 64, 48});
    stage->add(probe);
    stage->flush();
    probe.drawn.clear();
    EXPECT_EQ(stage->addDirty(4, 4, 8, 8, 1), 1);
    add({0, 0, 16, 16});
    // The kind-1 entry stays; the new rectangle is cut around it.
    Rects listed = dirtyOf(*stage);
    EXPECT_NE(std::find(listed.begin(), listed.end(), Rect{4, 4, 8, 8}), listed.end());
    int32_t area = 0;
    for (const Rect& r : listed)
        area += r.width() * r.height();
    EXPECT_EQ(area, 16 * 16);
    stage->compose();
    for (const Rect& r : probe.drawn)
        EXPECT_NE(r, (Rect{4, 4, 8, 8}));
    EXPECT_EQ(probe.drawn.size(), listed.size() - 1);
}

TEST_F(DirtyList, CapacityFiftyDropsTheFiftiethRectangle) {
    // Rectangles that neither touch nor overlap each other take one entry each.
    int32_t recorded = 0;
    for (int32_t i = 0; i < 49; ++i)
        recorded += add({8 * (i % 8), 4 * (i / 8), 8 * (i % 8) + 4, 4 * (i / 8) + 2});
    EXPECT_EQ(recorded, 49);
    EXPECT_EQ(stage->dirtyCount, 50);
    EXPECT_EQ(add({56, 40, 60, 42}), 0);
    EXPECT_EQ(dirtyOf(*stage).size(), 49u);
    stage->flush();
    EXPECT_EQ(add({56, 40, 60, 42}), 1);
}

TEST_F(DirtyList, SplitPiecesBeyondTheCapacityAreDropped) {
    stage->setDirtyCapacity(4);
    add({8, 8, 16, 16});
    // Left, right and top pieces around the listed rectangle; one entry too few for them.
    EXPECT_EQ(add({0, 0, 24, 12}), 1);
    EXPECT_EQ(stage->dirtyCount, 4);
    EXPECT_EQ(dirtyOf(*stage), (Rects{{0, 8, 8, 12}, {8, 8, 16, 16}, {16, 8, 24, 12}}));
}

TEST_F(DirtyList, SetDirtyCapacityEmptiesTheListAndRefusesUnusableSizes) {
    add({0, 0, 8, 8});
    DirtyEntry* table = stage->setDirtyCapacity(10);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table, stage->dirtyTable);
    EXPECT_EQ(stage->dirtyCapacity, 10);
    EXPECT_EQ(stage->dirtyCount, 1);
    EXPECT_TRUE(dirtyOf(*stage).empty());
    EXPECT_EQ(table[0].left, mDirector::sentinelEdge);
    EXPECT_EQ(table[0].bottom, mDirector::sentinelEdge);

    for (int32_t capacity : {0, -3, 1}) {
        SCOPED_TRACE(capacity);
        stage->setDirtyCapacity(capacity);
        EXPECT_EQ(add({0, 0, 8, 8}), 0);
        invalidate({0, 0, 8, 8});
        stage->step();
    }
    EXPECT_EQ(stage->setDirtyCapacity(0), nullptr);
    EXPECT_EQ(stage->dirtyCapacity, 0);

    platform::Memory::failAfter(0);
    EXPECT_EQ(stage->setDirtyCapacity(50), nullptr);
    platform::Memory::failAfter(-1);
    EXPECT_EQ(stage->dirtyCapacity, 0);
    EXPECT_EQ(stage->dirtyCount, 0);
    EXPECT_EQ(add({0, 0, 8, 8}), 0);
}

TEST_F(DirtyList, FarCoordinatesStillStopAtTheSentinel) {
    EXPECT_EQ(add({0, 40000, 4, 40010}), 1);
    EXPECT_EQ(add({0, 50000, 4, 50010}), 1);
    EXPECT_EQ(add({0, 32000, 4, 32001}), 1);
    EXPECT_EQ(dirtyOf(*stage),
              (Rects{{0, 32000, 4, 32001}, {0, 40000, 4, 40010}, {0, 50000, 4, 50010}}));
}

// Random rectangles: the list never overlaps itself, stays sorted, and covers exactly the
// union of what was added.
TEST_F(DirtyList, RandomRectanglesAreCoveredExactlyWithoutOverlap) {
    constexpr int32_t size = 48;
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        stage->setDirtyCapacity(4000);
        std::vector<uint8_t> added(size * size, 0);
        for (int n = 0; n < 12; ++n) {
            int32_t left = static_cast<int32_t>(random() % size);
            int32_t top = static_cast<int32_t>(random() % size);
            int32_t right = left + 1 + static_cast<int32_t>(random() % (size - left));
            int32_t bottom = top + 1 + static_cast<int32_t>(random() % (size - top));
            ASSERT_EQ(add({left, top, right, bottom}), 1);
            for (int32_t y = top; y < bottom; ++y)
                for (int32_t x = left; x < right; ++x)
                    added[y * size + x] = 1;
        }
        std::vector<uint8_t> listed(size * size, 0);
        Rect previous{-1, -1, -1, -1};
        for (const Rect& r : dirtyOf(*stage)) {
            ASSERT_FALSE(r.isEmpty());
            ASSERT_TRUE(r.top > previous.top || (r.top == previous.top && r.left >= previous.left));
            previous = r;
            for (int32_t y = r.top; y < r.bottom; ++y)
                for (int32_t x = r.left; x < r.right; ++x)
                    ASSERT_EQ(listed[y * size + x]++, 0) << x << "," << y << " listed twice";
        }
        ASSERT_EQ(listed, added);
    }
}

TEST_F(DirtyList, ComposeDrawsBackToFrontOnlyWhereRenderersCover) {
    std::vector<std::string> order;
    RecordingRenderer low(1, {0, 0, 20, 20}, "low"), high(2, {10, 10, 40, 40}, "high");
    low.order = &order;
    high.order = &order;
    stage->add(high);
    stage->add(low);
    stage->flush();
    order.clear();
    low.drawn.clear();
    high.drawn.clear();

    add({16, 16, 24, 24});  // both
    add({0, 0, 4, 4});      // low only
    add({32, 0, 36, 4});    // neither
    Rects before = dirtyOf(*stage);
    stage->compose();
    EXPECT_EQ(order, (std::vector<std::string>{"low", "low", "high"}));
    EXPECT_EQ(low.drawn, (Rects{{0, 0, 4, 4}, {16, 16, 20, 20}}));
    EXPECT_EQ(high.drawn, (Rects{{16, 16, 24, 24}}));
    EXPECT_EQ(dirtyOf(*stage), before);

    // An entry that only touches the bottom edge is not drawn.
    stage->flush();
    low.drawn.clear();
    add({0, 20, 4, 24});
    stage->compose();
    EXPECT_TRUE(low.drawn.empty());
}

TEST_F(DirtyList, FlushEmptiesTheList) {
    add({0, 0, 8, 8});
    stage->flush();
    EXPECT_EQ(stage->dirtyCount, 1);
    EXPECT_TRUE(dirtyOf(*stage).empty());
    EXPECT_EQ(stage->dirtyTable[0].next, &stage->dirtyTable[0]);
}

}  // namespace
