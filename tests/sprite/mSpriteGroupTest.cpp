// The sprite group on frames added from bitmaps made here: the entry list and its use counts,
// clipping, selecting frames, drawing, the switches that reach every frame bitmap, copies.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/platform/ReportSink.h"
#include "engine/sprite/mSpriteGroup.h"
#include "tests/sprite/SpriteGroupTestSupport.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/PictureReading.h"

using grouptest::KeptBitmap;
using grouptest::rampBitmap;
using grouptest::valueAt;
using platform::ReportSink;
using testing_support::firstDifference;
using testing_support::pixelAt;

namespace {

constexpr uint8_t untouched = 0xEE;

// Frames of sizes 10x6, 12x7, 14x8, 16x9 (frame k is 10 + 2k wide), each its own bitmap, with
// origin (k, -k), time 10 + k and changed rectangle (k, 0, k + 1, 1).
void addFourFrames(mSpriteGroup& group) {
    for (int32_t k = 0; k < 4; ++k) {
        const Rect changedArea{k, 0, k + 1, 1};
        group.addFrame(*rampBitmap(10 + 2 * k, 6 + k, k).release(), nullptr, k, -k,
                       static_cast<uint32_t>(10 + k), &changedArea);
    }
}

TEST(SpriteGroup, ANewGroupIsEmptyAndTaggedAsAGroup) {
    mSpriteGroup group;
    EXPECT_EQ(std::memcmp(&group.format, "BMAP", 4), 0);
    EXPECT_EQ(group.frameCount, 0);
    EXPECT_EQ(group.currentFrame, 0);
    EXPECT_EQ(group.kind, 1);
    EXPECT_EQ(group.transparent, 1);
    EXPECT_EQ(group.remap, 0);
    EXPECT_EQ(group.autoAdvance, 0);
    EXPECT_EQ(group.seekFrame(0, 0), -1);
    EXPECT_EQ(group.readFrame(0, 0, nullptr), -1);
    // With a destination there is still nothing to draw.
    mBitmap target = testing_support::filledBitmap(4, 4, untouched);
    group.attachBitmap(&target);
    EXPECT_EQ(group.readFrame(0, 0, nullptr), -1);
    EXPECT_EQ(pixelAt(target, 0, 0), untouched);
    group.attachBitmap(nullptr);
}

TEST(SpriteGroup, AddingAFrameMakesItCurrentAndGrowsTheSize) {
    mSpriteGroup group;
    addFourFrames(group);
    EXPECT_EQ(group.frameCount, 4);
    EXPECT_EQ(group.currentFrame, 3);
    EXPECT_EQ(group.width, 16);
    EXPECT_EQ(group.height, 9);
    EXPECT_EQ(group.frameWidth, 16);
    EXPECT_EQ(group.frameHeight, 9);
    EXPECT_EQ(group.originX, 3);
    EXPECT_EQ(group.originY, -3);
    EXPECT_EQ(group.frameTime, 13);
    EXPECT_EQ(group.bitsPerPixel, 8);
    EXPECT_NE(group.palette, nullptr);
    EXPECT_EQ(group.frameBytes, 0);
    // Each add steps forward by one, so the frame's own changed rectangle is in force.
    EXPECT_EQ(group.changed, (Rect{3, 0, 4, 1}));
    // A smaller frame does not shrink the size.
    group.addFrame(*rampBitmap(2, 2, 0).release(), nullptr, 0, 0, 0, nullptr);
    EXPECT_EQ(group.width, 16);
    EXPECT_EQ(group.height, 9);
    EXPECT_EQ(group.changed, (Rect{0, 0, 2, 2}));
}

TEST(SpriteGroup, RectanglesAreClippedAndEmptyOnesRefused) {
    KeptBitmap bitmap(10, 10, 0);
    ReportSink::Capture capture;
    mSpriteGroup group;
    const Rect beyond{-5, -5, 20, 20};
    group.addFrame(*bitmap, &beyond, 0, 0, 0, nullptr);
    ASSERT_EQ(group.frameCount, 1);
    EXPECT_EQ(group.frameWidth, 10);
    EXPECT_EQ(group.frameHeight, 10);
    EXPECT_EQ(bitmap.uses(), 1);

    const Rect outside{12, 0, 20, 10};
    group.addFrame(*bitmap, &outside, 0, 0, 0, nullptr);
    const Rect inverted{5, 5, 5, 8};
    group.addFrame(*bitmap, &inverted, 0, 0, 0, nullptr);
    // A changed rectangle is clipped against the frame, not the bitmap.
    const Rect part{2, 2, 6, 6};
    const Rect changedOutside{4, 0, 9, 4};
    group.addFrame(*bitmap, &part, 0, 0, 0, &changedOutside);
    EXPECT_EQ(group.frameCount, 1);
    EXPECT_EQ(bitmap.uses(), 1);
    auto reports = capture.reports();
    ASSERT_EQ(capture.count(), 3u);
    EXPECT_EQ(reports[0].caption, "mImageBitmap");
    EXPECT_EQ(reports[0].text, "Bad rectangle");

    const Rect changedWide{-3, 1, 9, 2};
    group.addFrame(*bitmap, &part, 0, 0, 0, &changedWide);
    EXPECT_EQ(group.frameCount, 2);
    EXPECT_EQ(group.changed, (Rect{0, 1, 4, 2}));
    EXPECT_EQ(bitmap.uses(), 2);
}

TEST(SpriteGroup, SeekingStopsAtEitherEndAndNeverWraps) {
    mSpriteGroup group;
    addFourFrames(group);
    EXPECT_EQ(group.seekFrame(1, 1), 3);
    EXPECT_EQ(group.currentFrame, 3);
    EXPECT_EQ(group.seekFrame(0, 0), 0);
    EXPECT_EQ(group.frameWidth, 10);
    EXPECT_EQ(group.seekFrame(-1, 1), 0);
    EXPECT_EQ(group.seekFrame(0, 2), 3);
    EXPECT_EQ(group.seekFrame(1, 2), 2);
    EXPECT_EQ(group.frameWidth, 14);
    EXPECT_EQ(group.originX, 2);
    EXPECT_EQ(group.frameTime, 12);
    EXPECT_EQ(group.seekFrame(100, 0), 3);
    EXPECT_EQ(group.seekFrame(-100, 1), 0);
    EXPECT_EQ(group.seekFrame(INT32_MAX, 1), 3);
    EXPECT_EQ(group.seekFrame(INT32_MIN, 0), 0);
    EXPECT_EQ(group.seekFrame(INT32_MIN, 2), 3);
}

TEST(SpriteGroup, OnlyAStepOfOneForwardKeepsTheChangedRectangle) {
    mSpriteGroup group;
    addFourFrames(group);
    group.seekFrame(0, 0);
    EXPECT_EQ(group.changed, (Rect{0, 0, 10, 6}));
    EXPECT_EQ(group.seekFrame(1, 1), 1);
    EXPECT_EQ(group.changed, (Rect{1, 0, 2, 1}));
    // An absolute seek to the next frame is a step of one too.
    EXPECT_EQ(group.seekFrame(2, 0), 2);
    EXPECT_EQ(group.changed, (Rect{2, 0, 3, 1}));
    EXPECT_EQ(group.seekFrame(0, 1), 2);
    EXPECT_EQ(group.changed, (Rect{0, 0, 14, 8}));
    group.seekFrame(0, 0);
    EXPECT_EQ(group.seekFrame(2, 1), 2);
    EXPECT_EQ(group.changed, (Rect{0, 0, 14, 8}));
    EXPECT_EQ(group.seekFrame(-1, 1), 1);
    EXPECT_EQ(group.changed, (Rect{0, 0, 12, 7}));
    // A step of one that cannot move leaves the whole frame changed.
    group.seekFrame(3, 0);
    EXPECT_EQ(group.seekFrame(1, 1), 3);
    EXPECT_EQ(group.changed, (Rect{0, 0, 16, 9}));
}

TEST(SpriteGroup, DrawingCopiesTheFramesRectangleClipped) {
    mBitmap target = testing_support::filledBitmap(20, 12, untouched);
    mSpriteGroup group;
    const Rect part{3, 2, 9, 6};  // 6 x 4 of a 10 x 8 bitmap
    group.addFrame(*rampBitmap(10, 8, 40).release(), &part, 0, 0, 0, nullptr);
    group.attachBitmap(&target);
    auto expected = [](int32_t left, int32_t top) {
        return [left, top](int32_t x, int32_t y) { return valueAt(40, x - left + 3, y - top + 2); };
    };

    EXPECT_EQ(group.readFrame(5, 4, nullptr), 0);
    EXPECT_EQ(firstDifference(target, Rect{5, 4, 11, 8}, expected(5, 4), untouched), "");

    // Hanging over the destination's top-left corner.
    target = testing_support::filledBitmap(20, 12, untouched);
    group.attachBitmap(&target);
    EXPECT_EQ(group.readFrame(-2, -1, nullptr), 0);
    EXPECT_EQ(firstDifference(target, Rect{0, 0, 4, 3}, expected(-2, -1), untouched), "");

    // A clip rectangle reaching past the destination is cut to it.
    target = testing_support::filledBitmap(20, 12, untouched);
    group.attachBitmap(&target);
    const Rect clip{7, 5, 40, 40};
    EXPECT_EQ(group.readFrame(16, 9, &clip), 0);
    EXPECT_EQ(firstDifference(target, Rect{16, 9, 20, 12}, expected(16, 9), untouched), "");

    const Rect inner{2, 3, 4, 5};
    target = testing_support::filledBitmap(20, 12, untouched);
    group.attachBitmap(&target);
    EXPECT_EQ(group.readFrame(1, 2, &inner), 0);
    EXPECT_EQ(firstDifference(target, inner, expected(1, 2), untouched), "");
    group.attachBitmap(nullptr);
}

TEST(SpriteGroup, TransparentFramesLeaveTheirKeyOut) {
    mBitmap target = testing_support::filledBitmap(10, 6, untouched);
    mSpriteGroup group;
    group.addFrame(*rampBitmap(10, 6, 0).release(), nullptr, 0, 0, 0, nullptr);
    group.attachBitmap(&target);
    const uint8_t key = valueAt(0, 4, 2);
    group.setTransparentColour(key);
    group.readFrame(0, 0, nullptr);
    auto expected = [key](int32_t x, int32_t y) {
        uint8_t value = valueAt(0, x, y);
        return value == key ? untouched : value;
    };
    EXPECT_EQ(firstDifference(target, Rect{0, 0, 10, 6}, expected, untouched), "");
    group.setTransparent(0);
    group.readFrame(0, 0, nullptr);
    EXPECT_EQ(pixelAt(target, 4, 2), key);
    group.attachBitmap(nullptr);
}

TEST(SpriteGroup, AutoAdvanceStepsOnAndWrapsToTheFirstFrame) {
    mBitmap target = testing_support::filledBitmap(20, 12, untouched);
    mSpriteGroup group;
    addFourFrames(group);
    group.attachBitmap(&target);
    group.setAutoAdvance(1);
    group.seekFrame(1, 0);
    EXPECT_EQ(group.readFrame(0, 0, nullptr), 2);
    EXPECT_EQ(group.readFrame(0, 0, nullptr), 3);
    EXPECT_EQ(group.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(group.currentFrame, 0);
    EXPECT_EQ(group.frameWidth, 10);
    // A clip that misses the frame draws nothing and does not advance.
    target = testing_support::filledBitmap(20, 12, untouched);
    group.attachBitmap(&target);
    const Rect elsewhere{15, 0, 20, 12};
    EXPECT_EQ(group.readFrame(0, 0, &elsewhere), 0);
    EXPECT_EQ(group.currentFrame, 0);
    EXPECT_EQ(firstDifference(
                  target, Rect{}, [](int32_t, int32_t) { return untouched; }, untouched),
              "");
    group.attachBitmap(nullptr);
}

TEST(SpriteGroup, CopiesShareTheFrameBitmapsByUseCount) {
    KeptBitmap first(8, 8, 0);
    KeptBitmap second(9, 9, 1);
    KeptBitmap third(10, 10, 2);
    mSpriteGroup group;
    const Rect part{1, 1, 5, 6};
    const Rect changedArea{0, 0, 2, 2};
    group.addFrame(*first, nullptr, 1, 2, 30, nullptr);
    group.addFrame(*second, &part, -3, 4, 40, &changedArea);
    group.addFrame(*third, nullptr, 5, 6, 50, nullptr);
    {
        mSpriteGroup copy(group);
        EXPECT_EQ(first.uses(), 2);
        EXPECT_EQ(second.uses(), 2);
        EXPECT_EQ(third.uses(), 2);
        EXPECT_EQ(copy.frameCount, 3);
        EXPECT_EQ(copy.currentFrame, 2);
        EXPECT_EQ(copy.seekFrame(1, 0), 1);
        EXPECT_EQ(copy.frameWidth, 4);
        EXPECT_EQ(copy.frameHeight, 5);
        EXPECT_EQ(copy.originX, -3);
        EXPECT_EQ(copy.frameTime, 40);
        EXPECT_EQ(copy.seekFrame(-1, 1), 0);
        EXPECT_EQ(copy.seekFrame(1, 1), 1);
        EXPECT_EQ(copy.changed, changedArea);
    }
    EXPECT_EQ(first.uses(), 1);
    EXPECT_EQ(second.uses(), 1);
    EXPECT_EQ(third.uses(), 1);

    mSpriteGroup other;
    KeptBitmap replaced(4, 4, 9);
    other.addFrame(*replaced, nullptr, 0, 0, 0, nullptr);
    other.addFrame(*replaced, nullptr, 0, 0, 0, nullptr);
    other = group;
    EXPECT_EQ(replaced.uses(), 0);
    EXPECT_EQ(other.frameCount, 3);
    EXPECT_EQ(first.uses(), 2);
    const mSpriteGroup& same = other;
    other = same;
    EXPECT_EQ(other.frameCount, 3);
    EXPECT_EQ(first.uses(), 2);
    EXPECT_EQ(other.seekFrame(0, 0), 0);
    EXPECT_EQ(other.originY, 2);
}

// The group deletes a bitmap with its last use; a sanitizer run sees a double delete or leak.
TEST(SpriteGroup, TheLastGroupHoldingABitmapDeletesIt) {
    auto group = std::make_unique<mSpriteGroup>();
    mBitmap& shared = *rampBitmap(4, 4, 0).release();
    group->addFrame(shared, nullptr, 0, 0, 0, nullptr);
    group->addFrame(shared, nullptr, 0, 0, 0, nullptr);
    mSpriteGroup copy(*group);
    EXPECT_EQ(shared.useCount, 4);
    group.reset();
    EXPECT_EQ(shared.useCount, 2);
}

TEST(SpriteGroup, DestroyingAGroupStillInUseWarnsOnce) {
    ReportSink::Capture capture;
    {
        mSpriteGroup group;
        group.addFrame(*rampBitmap(4, 4, 0).release(), nullptr, 0, 0, 0, nullptr);
        group.useCount = 2;
    }
    auto reports = capture.reports();
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(reports[0].caption, "mImageBitmap");
    EXPECT_EQ(reports[0].text, "Still in use");
    EXPECT_EQ(reports[0].icon, ReportSink::iconExclamation);
}

TEST(SpriteGroup, TheSwitchesReachEveryFrameBitmap) {
    KeptBitmap a(4, 4, 0);
    KeptBitmap b(4, 4, 1);
    KeptBitmap c(4, 4, 2);
    mSpriteGroup group;
    group.addFrame(*a, nullptr, 0, 0, 0, nullptr);
    group.addFrame(*a, nullptr, 0, 0, 0, nullptr);
    group.addFrame(*b, nullptr, 0, 0, 0, nullptr);
    EXPECT_EQ((*a).drawMode, mBitmap::drawTransparent);
    EXPECT_EQ(group.setTransparent(0), 0);
    EXPECT_EQ((*a).drawMode, 0u);
    EXPECT_EQ((*b).drawMode, 0u);
    EXPECT_EQ(group.setRemap(1), 1);
    EXPECT_EQ(group.paletteChanged, 0);
    EXPECT_EQ((*a).drawMode, mBitmap::drawRemap);
    EXPECT_EQ((*b).drawMode, mBitmap::drawRemap);
    // Frames added later follow the switches.
    group.addFrame(*c, nullptr, 0, 0, 0, nullptr);
    EXPECT_EQ((*c).drawMode, mBitmap::drawRemap);
    EXPECT_EQ(group.remap, 1);
    EXPECT_EQ(group.setRemap(0), 0);
    EXPECT_EQ(group.paletteChanged, 1);
    EXPECT_EQ((*c).drawMode, 0u);

    // The colour key goes to the current frame's bitmap only.
    group.seekFrame(2, 0);
    EXPECT_EQ(group.setTransparentColour(7), 7u);
    EXPECT_EQ(group.transparent, 1);
    EXPECT_EQ(group.transparentColour, 7u);
    EXPECT_EQ((*b).transparentIndex, 7u);
    EXPECT_EQ((*b).drawMode, mBitmap::drawTransparent);
    EXPECT_EQ((*a).transparentIndex, 0u);
    EXPECT_EQ((*a).drawMode, 0u);
    // Selecting a frame takes its bitmap's key and mode.
    group.seekFrame(0, 0);
    EXPECT_EQ(group.transparent, 0);
    EXPECT_EQ(group.transparentColour, 0u);
    group.seekFrame(2, 0);
    EXPECT_EQ(group.transparent, 1);
    EXPECT_EQ(group.transparentColour, 7u);
}

// The first bitmap of the walk is visited even when the last entry holds it too.
TEST(SpriteGroup, AGroupOfOneSharedBitmapStillReachesIt) {
    KeptBitmap only(4, 4, 0);
    mSpriteGroup group;
    for (int32_t k = 0; k < 3; ++k) {
        const Rect tile{k, 0, k + 1, 4};
        group.addFrame(*only, &tile, 0, 0, 0, nullptr);
    }
    group.setTransparent(0);
    EXPECT_EQ((*only).drawMode, 0u);
}

TEST(SpriteGroup, AdaptingColoursConvertsOrTranslatesEachFrame) {
    std::vector<RgbQuad> greys(256);
    for (int i = 0; i < 256; ++i) {
        auto v = static_cast<uint8_t>(i);
        greys[static_cast<std::size_t>(i)] = {v, v, v, 0};
    }
    std::vector<RgbQuad> reversed(greys.rbegin(), greys.rend());
    mBitmap target = testing_support::filledBitmap(4, 4, untouched);
    target.setColors(reversed.data(), 0, 256);
    KeptBitmap converted(4, 4, 0);
    KeptBitmap translated(4, 4, 0);
    (*converted).setColors(greys.data(), 0, 256);
    (*translated).setColors(greys.data(), 0, 256);

    mSpriteGroup group;
    EXPECT_EQ(group.updateRemap(), 0);  // nothing attached, no frames
    group.addFrame(*converted, nullptr, 0, 0, 0, nullptr);
    group.setRemap(1);
    group.addFrame(*translated, nullptr, 0, 0, 0, nullptr);
    (*converted).setRemap(false);
    group.attachBitmap(&target);
    EXPECT_NE(group.updateRemap(), 0);
    EXPECT_EQ(group.remapActive, (*translated).remapNeeded);
    // Pixel values were rewritten to the same grey in the reversed table.
    EXPECT_EQ(pixelAt(*converted, 1, 0), 255 - valueAt(0, 1, 0));
    EXPECT_EQ((*converted).info->colorTable[3].red, 252);
    // The translated frame keeps its pixels and draws through its table.
    EXPECT_EQ(pixelAt(*translated, 1, 0), valueAt(0, 1, 0));
    group.setTransparent(0);
    group.readFrame(0, 0, nullptr);
    EXPECT_EQ(pixelAt(target, 1, 0), 255 - valueAt(0, 1, 0));
    group.attachBitmap(nullptr);
}

TEST(SpriteGroup, WritingIsNotImplemented) {
    ReportSink::Capture capture;
    mSpriteGroup group;
    EXPECT_EQ(group.WriteHeader(), 0);
    EXPECT_EQ(group.WriteFrame(1, 2, 3), 0);
    auto reports = capture.reports();
    ASSERT_EQ(capture.count(), 2u);
    EXPECT_EQ(reports[0].caption, "mImageBitmap");
    EXPECT_EQ(reports[0].text, "Not implemented");
    EXPECT_EQ(group.openImage(), 1);
    EXPECT_EQ(group.paletteChanged, 1);
    group.setRemap(1);
    EXPECT_EQ(group.openImage(), 1);
    EXPECT_EQ(group.paletteChanged, 0);
}

}  // namespace
