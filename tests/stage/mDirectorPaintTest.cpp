#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "engine/platform/Display.h"
#include "engine/platform/Palette.h"
#include "engine/platform/ReportSink.h"
#include "engine/platform/Window.h"
#include "tests/stage/StageTestSupport.h"

using platform::Display;
using platform::Window;
using stagetest::dirtyOf;

namespace {

using Rects = std::vector<Rect>;
using Colours = std::array<RgbQuad, 256>;

// Distinct colours: any two entries lie more than 1 apart, so nearest matches are exact.
Colours testColours(uint8_t shift = 0) {
    Colours colours{};
    for (int i = 0; i < 256; ++i) {
        auto v = static_cast<uint8_t>(i + shift);
        colours[i] = {static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v * 7), v, 0};
    }
    return colours;
}

uint32_t rgb(const RgbQuad& c) {
    return static_cast<uint32_t>(c.red) << 16 | static_cast<uint32_t>(c.green) << 8 | c.blue;
}

uint32_t rgb(const platform::PaletteEntry& c) {
    return static_cast<uint32_t>(c.red) << 16 | static_cast<uint32_t>(c.green) << 8 | c.blue;
}

class DirectorPaint : public stagetest::StageTest {
  protected:
    static constexpr int32_t width = 64;
    static constexpr int32_t height = 48;

    // A solid renderer of colour entry `index`, added to the stage.
    mRenderSolid& solid(mDirector& stage, const Rect& area, int32_t z, int index) {
        auto& made = solids.emplace_back(std::make_unique<mRenderSolid>(area));
        made->z = z;
        made->setColourQuad(&colours[index]);
        stage.add(*made);
        return *made;
    }

    // What the window should show: each solid painted back to front over the background.
    std::vector<uint32_t> expectedPicture(const mDirector& stage) const {
        std::vector<uint32_t> picture(width * height);
        for (mRenderer* renderer : stagetest::ringOf(stage)) {
            auto* filled = dynamic_cast<mRenderSolid*>(renderer);
            for (int32_t y = std::max(filled->bounds.top, 0);
                 y < std::min(filled->bounds.bottom, height); ++y)
                for (int32_t x = std::max(filled->bounds.left, 0);
                     x < std::min(filled->bounds.right, width); ++x)
                    picture[y * width + x] = rgb(colours[filled->colourIndex]);
        }
        return picture;
    }

    static void move(mDirector& stage, mRenderer& renderer, const Rect& to) {
        stage.invalidate(&renderer.bounds, 1, 0);
        renderer.bounds = to;
        renderer.hitRect = to;
        stage.invalidate(&renderer.bounds, 1, 0);
    }

    Window window{width, height};
    Colours colours = testColours();
    std::vector<std::unique_ptr<mRenderSolid>> solids;
};

TEST_F(DirectorPaint, SolidRenderersComposeAndFlushToTheExpectedPicture) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    stage.background->setColourQuad(&colours[5]);
    solid(stage, {4, 4, 30, 20}, 1, 40);
    solid(stage, {20, 10, 50, 40}, 2, 99);
    solid(stage, {0, 0, 10, 10}, -1, 200);  // behind the background
    solid(stage, {56, 40, 90, 90}, 3, 17);  // partly outside the stage
    stage.step();
    EXPECT_EQ(window.surface().readPixels(), expectedPicture(stage));
    EXPECT_EQ(window.surface().pixel(0, 0), rgb(colours[5]));
    EXPECT_EQ(window.surface().pixel(25, 15), rgb(colours[99]));
    EXPECT_EQ(window.surface().pixel(63, 47), rgb(colours[17]));
    EXPECT_EQ(stage.dirtyCount, 1);
}

TEST_F(DirectorPaint, MovingOneRendererWritesOnlyTheDirtyRectangles) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    stage.background->setColourQuad(&colours[5]);
    solid(stage, {4, 4, 30, 20}, 1, 40);
    mRenderSolid& mover = solid(stage, {20, 12, 32, 24}, 2, 99);
    stage.step();

    // Apart: two 12 × 12 areas.
    std::vector<uint32_t> before = window.surface().readPixels();
    uint64_t written = window.surface().pixelsWritten();
    move(stage, mover, {40, 12, 52, 24});
    stage.step();
    EXPECT_EQ(window.surface().pixelsWritten() - written, 288u);
    std::vector<uint32_t> after = window.surface().readPixels();
    EXPECT_EQ(after, expectedPicture(stage));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            bool dirty = y >= 12 && y < 24 && ((x >= 20 && x < 32) || (x >= 40 && x < 52));
            if (!dirty) {
                ASSERT_EQ(after[y * width + x], before[y * width + x]) << x << "," << y;
            }
        }

    // Overlapping: the old and new areas are split so that no pixel is written twice.
    written = window.surface().pixelsWritten();
    move(stage, mover, {44, 16, 56, 28});
    stage.step();
    EXPECT_EQ(window.surface().pixelsWritten() - written, 144u + 144u - 64u);
    EXPECT_EQ(window.surface().readPixels(), expectedPicture(stage));

    // Nothing dirty: no context, nothing written.
    written = window.surface().pixelsWritten();
    uint32_t contexts = window.contextsTaken();
    stage.step();
    EXPECT_EQ(window.contextsTaken(), contexts);
    EXPECT_EQ(window.surface().pixelsWritten(), written);
}

TEST_F(DirectorPaint, OutlinesFlushedRectanglesInWhiteWhenAsked) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    stage.background->setColourQuad(&colours[5]);
    stage.step();
    stage.stageFlags |= mDirector::outlineFlushed;
    uint64_t written = window.surface().pixelsWritten();
    Rect area{8, 8, 16, 16};
    stage.invalidate(&area, 1, 0);
    stage.step();
    EXPECT_EQ(window.surface().pixelsWritten() - written, 64u + 28u);
    EXPECT_EQ(window.surface().pixel(8, 8), 0xFFFFFFu);
    EXPECT_EQ(window.surface().pixel(15, 12), 0xFFFFFFu);
    EXPECT_EQ(window.surface().pixel(12, 15), 0xFFFFFFu);
    EXPECT_EQ(window.surface().pixel(9, 9), rgb(colours[5]));
    EXPECT_EQ(window.surface().pixel(16, 12), rgb(colours[5]));
}

TEST_F(DirectorPaint, TheEnvironmentSwitchesTheOutlinesOn) {
    ::setenv("LUMIVALE_STAGE_FRAMES", "1", 1);
    mDirector outlined(window, 50);
    ::setenv("LUMIVALE_STAGE_FRAMES", "0", 1);
    mDirector plain(window, 50);
    ::unsetenv("LUMIVALE_STAGE_FRAMES");
    EXPECT_EQ(outlined.stageFlags, mDirector::outlineFlushed | mDirector::notifyPalette);
    EXPECT_EQ(plain.stageFlags, mDirector::notifyPalette);
}

TEST_F(DirectorPaint, FlushWithoutAContextEmptiesTheListAndLeavesTheWindow) {
    mDirector stage(window, 50);
    Display::refuseContexts(true);
    stage.step();
    Display::refuseContexts(false);
    EXPECT_EQ(stage.dirtyCount, 1);
    EXPECT_EQ(window.surface().pixelsWritten(), 0u);
}

TEST_F(DirectorPaint, PaintCopiesTheInvalidAreaWithoutComposing) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    stage.flush();
    uint64_t written = window.surface().pixelsWritten();
    Rect whole{0, 0, width, height};
    stage.fillRects(70, &whole, 1);
    Rect area{10, 10, 20, 12};
    window.invalidateRect(&area);
    EXPECT_EQ(stage.handleMessage(window, Window::wmPaint, 0, 0), 1);
    EXPECT_EQ(stage.messageResult, 0);
    EXPECT_EQ(window.surface().pixelsWritten() - written, 20u);
    EXPECT_EQ(window.surface().pixel(10, 10), rgb(colours[70]));
    EXPECT_EQ(window.surface().pixel(9, 10), rgb(colours[0]));
    EXPECT_FALSE(window.needsPaint());
    // Nothing to paint writes nothing.
    stage.paint();
    EXPECT_EQ(window.surface().pixelsWritten() - written, 20u);
}

TEST_F(DirectorPaint, MessagesItDoesNotHandleAreLeftAlone) {
    mDirector stage(window, 50);
    stage.messageResult = 77;
    EXPECT_EQ(stage.handleMessage(window, 0x200, 0, 0), 0);
    EXPECT_EQ(stage.messageResult, 77);
    EXPECT_EQ(stage.handleMessage(window, Window::wmEraseBackground, 0, 0), 1);
    EXPECT_EQ(stage.messageResult, 0);
    stage.messageResult = 77;
    // The stage's own palette change.
    EXPECT_EQ(stage.handleMessage(window, Window::wmPaletteChanged,
                                  reinterpret_cast<uintptr_t>(&window), 0),
              0);
    EXPECT_EQ(stage.messageResult, 77);
    // On a true-colour display realising changes nothing.
    EXPECT_EQ(stage.handleMessage(window, Window::wmQueryNewPalette, 0, 0), 1);
    EXPECT_EQ(stage.messageResult, 0);
    EXPECT_FALSE(window.needsPaint());
}

TEST_F(DirectorPaint, SizeMessageResizesTheBackBufferAndTheBackground) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    stage.background->setColourQuad(&colours[5]);
    stage.step();
    window.resizeClient(32, 24);
    EXPECT_EQ(stage.handleMessage(window, Window::wmSize, 0, 24 << 16 | 32), 1);
    EXPECT_EQ(stage.info->width, 32);
    EXPECT_EQ(stage.info->height, 24);
    EXPECT_EQ(stage.background->bounds, (Rect{0, 0, 32, 24}));
    EXPECT_EQ(dirtyOf(stage), (Rects{{0, 0, 32, 24}}));
    // The colours survive the new back buffer.
    EXPECT_EQ(stage.info->colorTable[5], colours[5]);
    stage.step();
    EXPECT_EQ(window.surface().pixelsWritten(), 32u * 24u);
    EXPECT_EQ(window.surface().pixel(31, 23), rgb(colours[5]));
}

TEST_F(DirectorPaint, ResizeRefusesEmptySizesAndDropsRectanglesOutsideASmallerBuffer) {
    mDirector stage(window, 50);
    EXPECT_EQ(stage.resize(0, 10), 0);
    EXPECT_EQ(stage.resize(-5, 5), 0);
    EXPECT_EQ(stage.info->width, width);
    EXPECT_EQ(stage.resize(width, height), 1);

    Rect far{40, 30, 60, 44};
    stage.invalidate(&far, 1, 0);
    ASSERT_EQ(stage.resize(16, 16), 1);
    EXPECT_EQ(dirtyOf(stage), (Rects{{0, 0, 16, 16}}));
    stage.step();
}

TEST_F(DirectorPaint, AStageOverAnEmptyWindowWorksOnceResized) {
    platform::ReportSink::Capture capture;
    Window empty(0, 0);
    mDirector stage(empty, 50);
    EXPECT_EQ(stage.step(), 0u);
    empty.resizeClient(16, 8);
    stage.handleMessage(empty, Window::wmSize, 0, 8 << 16 | 16);
    stage.setPalette(colours.data(), 0, 256);
    stage.background->setColourQuad(&colours[9]);
    stage.step();
    EXPECT_EQ(empty.surface().pixel(15, 7), rgb(colours[9]));
}

TEST_F(DirectorPaint, SetPaletteWithTheCurrentColoursDoesNothing) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    stage.flush();
    int32_t serial = stage.info->paletteSerial;
    uint32_t contexts = window.contextsTaken();
    Colours same(colours);
    for (RgbQuad& c : same)
        c.reserved = 99;  // not compared
    stage.setPalette(same.data(), 0, 256);
    stage.setPalette(nullptr, 0, 256);
    stage.setPalette(colours.data(), 256, 1);
    stage.setPalette(colours.data(), -1, 10);
    EXPECT_EQ(stage.info->paletteSerial, serial);
    EXPECT_EQ(stage.dirtyCount, 1);
    EXPECT_EQ(window.contextsTaken(), contexts);
}

TEST_F(DirectorPaint, WithoutStaticColoursTheRequestedRangeIsWrittenUpToTheEnd) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    Colours shifted = testColours(100);
    stage.setPalette(shifted.data(), 250, 10);
    for (int i = 0; i < 250; ++i)
        ASSERT_EQ(stage.info->colorTable[i], colours[i]) << i;
    for (int i = 250; i < 256; ++i)
        EXPECT_EQ(stage.info->colorTable[i], shifted[i - 250]) << i;
    EXPECT_EQ(rgb(stage.palette->entry(250)), rgb(shifted[0]));
    EXPECT_EQ(rgb(stage.palette->entry(249)), rgb(colours[249]));
}

TEST_F(DirectorPaint, WithoutNotificationThePaletteInvalidatesTheWholeStage) {
    mDirector stage(window, 50);
    stage.stageFlags &= ~mDirector::notifyPalette;
    stage.flush();
    stage.setPalette(colours.data(), 0, 256);
    EXPECT_EQ(dirtyOf(stage), (Rects{{0, 0, width, height}}));
}

class PaletteDisplayStage : public DirectorPaint {
  protected:
    void SetUp() override {
        DirectorPaint::SetUp();
        Display::emulatePaletteDisplay(true);
    }
};

TEST_F(PaletteDisplayStage, TheStaticColoursAreKept) {
    mDirector stage(window, 50);
    // The first palette already lines its ends up with the display's static colours.
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(rgb(stage.info->colorTable[i]), rgb(Display::standardStatics[i])) << i;
        EXPECT_EQ(rgb(stage.info->colorTable[246 + i]), rgb(Display::standardStatics[10 + i]));
    }
    stage.setPalette(colours.data(), 0, 256);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(rgb(stage.info->colorTable[i]), rgb(Display::standardStatics[i])) << i;
        EXPECT_EQ(rgb(stage.info->colorTable[246 + i]), rgb(Display::standardStatics[10 + i]));
        EXPECT_EQ(stage.palette->entry(i).flags, 0);
    }
    for (int i = 10; i < 246; ++i) {
        ASSERT_EQ(stage.info->colorTable[i], colours[i]) << i;
        ASSERT_EQ(rgb(stage.palette->entry(i)), rgb(colours[i])) << i;
    }
    // A range entirely among the upper statics changes nothing.
    int32_t serial = stage.info->paletteSerial;
    Colours shifted = testColours(3);
    stage.setPalette(shifted.data(), 250, 6);
    EXPECT_EQ(stage.info->paletteSerial, serial);
}

TEST_F(PaletteDisplayStage, AnimationRecoloursPixelsAlreadyOnTheWindow) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    stage.background->setColourQuad(&colours[40]);
    solid(stage, {8, 8, 16, 16}, 1, 200);
    stage.step();
    EXPECT_EQ(window.surface().pixel(0, 0), rgb(colours[40]));
    EXPECT_EQ(window.surface().pixel(8, 8), rgb(colours[200]));
    uint64_t written = window.surface().pixelsWritten();

    Colours shifted = testColours(60);
    stage.setPalette(shifted.data(), 0, 256);
    EXPECT_EQ(window.surface().pixelsWritten(), written);
    EXPECT_EQ(window.surface().pixel(0, 0), rgb(shifted[40]));
    EXPECT_EQ(window.surface().pixel(8, 8), rgb(shifted[200]));
}

TEST_F(PaletteDisplayStage, QueryNewPaletteRealisesAgainAndAsksForAPaint) {
    mDirector stage(window, 50);
    stage.setPalette(colours.data(), 0, 256);
    stage.step();
    EXPECT_EQ(stage.handleMessage(window, Window::wmQueryNewPalette, 0, 0), 1);
    EXPECT_EQ(stage.messageResult, 0);
    EXPECT_FALSE(window.needsPaint());

    // Another window takes the system palette.
    std::vector<platform::PaletteEntry> others(256, {1, 2, 3, platform::Palette::reserved});
    auto intruder = platform::Palette::create(others);
    Display::realize(*intruder, false);
    Window otherWindow(4, 4);
    EXPECT_EQ(stage.handleMessage(window, Window::wmPaletteChanged,
                                  reinterpret_cast<uintptr_t>(&otherWindow), 0),
              1);
    EXPECT_EQ(stage.messageResult, 236);
    EXPECT_TRUE(window.needsPaint());
}

}  // namespace
