#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>

#include "engine/base/Rect.h"
#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageBitmap.h"

namespace {

// A reader of a frame of a given size with nothing behind it, so that the visible area can be
// asked for directly.
class Placed : public mImageBitmap {
  public:
    using mImageBitmap::VisibleArea;
    using mImageBitmap::visibleArea;

    Placed(int32_t frameW, int32_t frameH) {
        frameWidth = frameW;
        frameHeight = frameH;
    }
    int32_t openImage() override { return 0; }
    int32_t WriteHeader() override { return 0; }
    int32_t readFrame(int32_t, int32_t, const Rect*) override { return 0; }
    int32_t WriteFrame(int32_t, int32_t, int32_t) override { return 0; }
    int32_t seekFrame(int32_t, int32_t) override { return 0; }
    int32_t updateRemap() override { return 0; }
};

// A 40 x 30 destination with a 10 x 6 frame.
class mImageBitmapVisibleArea : public testing::Test {
  protected:
    mImageBitmapVisibleArea() {
        target.createMemory(40, 30, 8);
        frame.attachBitmap(&target);
    }

    Placed::VisibleArea at(int32_t x, int32_t y, std::optional<Rect> clip = std::nullopt) {
        return frame.visibleArea(x, y, clip ? &*clip : nullptr);
    }

    mBitmap target;
    Placed frame{10, 6};
};

void expectArea(const Placed::VisibleArea& area, Rect source, Rect target) {
    EXPECT_EQ(area.source, source);
    EXPECT_EQ(area.target, target);
    EXPECT_FALSE(area.isEmpty());
}

void expectNothing(const Placed::VisibleArea& area) {
    EXPECT_TRUE(area.isEmpty());
    EXPECT_TRUE(area.source.isEmpty());
}

TEST_F(mImageBitmapVisibleArea, AFrameInsideShowsWhole) {
    expectArea(at(5, 7), Rect{0, 0, 10, 6}, Rect{5, 7, 15, 13});
    expectArea(at(30, 24), Rect{0, 0, 10, 6}, Rect{30, 24, 40, 30});  // at the far corner
    expectArea(at(5, 7, Rect{0, 0, 40, 30}), Rect{0, 0, 10, 6}, Rect{5, 7, 15, 13});
}

TEST_F(mImageBitmapVisibleArea, TheClipCutsEachSide) {
    const Rect clip{10, 8, 20, 16};
    expectArea(at(6, 9, clip), Rect{4, 0, 10, 6}, Rect{10, 9, 16, 15});          // partly left
    expectArea(at(12, 5, clip), Rect{0, 3, 8, 6}, Rect{12, 8, 20, 11});          // above and right
    expectArea(at(12, 13, clip), Rect{0, 0, 8, 3}, Rect{12, 13, 20, 16});        // below and right
    expectArea(at(5, 5, Rect{7, 6, 9, 7}), Rect{2, 1, 4, 2}, Rect{7, 6, 9, 7});  // inside it
    expectArea(at(8, 7, clip), Rect{2, 1, 10, 6}, Rect{10, 8, 18, 13});
}

TEST_F(mImageBitmapVisibleArea, TheDestinationCutsEachSide) {
    expectArea(at(-3, -2), Rect{3, 2, 10, 6}, Rect{0, 0, 7, 4});
    expectArea(at(35, 27), Rect{0, 0, 5, 3}, Rect{35, 27, 40, 30});
    // A clip reaching past the destination is cut to it.
    expectArea(at(-4, 26, Rect{-50, -50, 100, 100}), Rect{4, 0, 10, 4}, Rect{0, 26, 6, 30});
}

TEST_F(mImageBitmapVisibleArea, AFrameOutsideOrJustTouchingShowsNothing) {
    const Rect clip{10, 8, 20, 16};
    expectNothing(at(0, 9, clip));    // its right edge on the clip's left
    expectNothing(at(20, 9, clip));   // at the clip's right edge
    expectNothing(at(12, 2, clip));   // its bottom edge on the clip's top
    expectNothing(at(12, 16, clip));  // at the clip's bottom edge
    expectNothing(at(-10, 0));
    expectNothing(at(40, 0));
    expectNothing(at(0, -6));
    expectNothing(at(0, 30));
}

TEST_F(mImageBitmapVisibleArea, AClipOutsideTheDestinationShowsNothing) {
    expectNothing(at(38, 5, Rect{40, 0, 60, 30}));
    expectNothing(at(-5, -3, Rect{-20, -20, 0, 40}));
    expectNothing(at(0, 28, Rect{0, 30, 40, 45}));
}

TEST_F(mImageBitmapVisibleArea, EmptyFramesClipsAndDestinationsShowNothing) {
    expectNothing(at(5, 5, Rect{8, 8, 8, 12}));
    expectNothing(at(5, 5, Rect{8, 9, 12, 9}));
    expectNothing(at(5, 5, Rect{12, 8, 8, 12}));  // right before left
    Placed flat(10, 0);
    flat.attachBitmap(&target);
    expectNothing(flat.visibleArea(5, 5, nullptr));
    flat.frameWidth = 0;
    flat.frameHeight = 6;
    expectNothing(flat.visibleArea(5, 5, nullptr));
    Placed unattached(10, 6);
    expectNothing(unattached.visibleArea(0, 0, nullptr));
}

TEST_F(mImageBitmapVisibleArea, PlacesAtTheEndsOfTheRangeDoNotWrap) {
    constexpr int32_t lowest = std::numeric_limits<int32_t>::min();
    constexpr int32_t highest = std::numeric_limits<int32_t>::max();
    expectNothing(at(highest, 0));
    expectNothing(at(highest - 5, highest - 2));
    expectNothing(at(lowest, lowest));
    expectNothing(at(0, 0, Rect{lowest, lowest, lowest + 5, highest}));
    expectArea(at(0, 0, Rect{lowest, lowest, highest, highest}), Rect{0, 0, 10, 6},
               Rect{0, 0, 10, 6});
}

// Every destination pixel inside the clip, the destination and the frame shows, and no other:
// the area is their bounding box, and the source is the target moved back by (x, y).
TEST_F(mImageBitmapVisibleArea, MatchesAPixelByPixelCount) {
    std::mt19937 random(4242);
    std::uniform_int_distribution<int32_t> place(-15, 45);
    std::uniform_int_distribution<int32_t> size(0, 14);
    std::uniform_int_distribution<int> coin(0, 3);
    for (int trial = 0; trial < 3000; ++trial) {
        frame.frameWidth = size(random);
        frame.frameHeight = size(random);
        const int32_t x = place(random);
        const int32_t y = place(random);
        const bool clipped = coin(random) != 0;
        const Rect clip{place(random), place(random), place(random), place(random)};
        Rect box{40, 30, 0, 0};
        for (int32_t py = 0; py < 30; ++py) {
            for (int32_t px = 0; px < 40; ++px) {
                const bool inClip = !clipped || (px >= clip.left && px < clip.right &&
                                                 py >= clip.top && py < clip.bottom);
                const bool inFrame =
                    px >= x && px < x + frame.frameWidth && py >= y && py < y + frame.frameHeight;
                if (!inClip || !inFrame) continue;
                box = Rect{std::min(box.left, px), std::min(box.top, py),
                           std::max(box.right, px + 1), std::max(box.bottom, py + 1)};
            }
        }
        const auto area = at(x, y, clipped ? std::optional<Rect>(clip) : std::nullopt);
        if (box.isEmpty()) {
            ASSERT_TRUE(area.isEmpty()) << "trial " << trial;
            continue;
        }
        ASSERT_EQ(area.target, box) << "trial " << trial;
        ASSERT_EQ(area.source, (Rect{box.left - x, box.top - y, box.right - x, box.bottom - y}))
            << "trial " << trial;
    }
}

}  // namespace
