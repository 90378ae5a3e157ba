#include "engine/platform/Window.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/platform/Display.h"
#include "engine/platform/Palette.h"

using platform::Display;
using platform::Window;

namespace {

using Rects = std::vector<Rect>;

// Remembers what every released context wrote.
class RecordingWindow : public Window {
  public:
    using Window::Window;
    std::vector<Rects> releases;

  protected:
    void released(const Rects& written) override { releases.push_back(written); }
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { Display::emulatePaletteDisplay(false); }
    void TearDown() override {
        Display::refuseContexts(false);
        Display::emulatePaletteDisplay(false);
    }
};

TEST_F(WindowTest, ContextsAreCountedReleasedOnceAndRefusedOnRequest) {
    RecordingWindow window(8, 6);
    EXPECT_EQ(window.clientRect(), (Rect{0, 0, 8, 6}));
    {
        Window::Context dc = window.getDC();
        ASSERT_TRUE(dc);
        Window::Context moved = std::move(dc);
        EXPECT_FALSE(dc);
        moved->frameRect({0, 0, 2, 2}, {0, 0, 255, 0});
    }
    ASSERT_EQ(window.releases.size(), 1u);
    EXPECT_EQ(window.releases[0].size(), 2u);  // top and bottom rows of a 2 × 2 frame
    EXPECT_EQ(window.contextsTaken(), 1u);

    Display::refuseContexts(true);
    EXPECT_FALSE(window.getDC());
    EXPECT_FALSE(window.beginPaint());
    EXPECT_EQ(window.contextsTaken(), 1u);
    EXPECT_EQ(window.releases.size(), 1u);
}

TEST_F(WindowTest, PaintAreaIsTheClippedUnionOfInvalidatedAreasUntilPainted) {
    Window window(40, 30);
    EXPECT_FALSE(window.needsPaint());
    Rect a{5, 5, 10, 10}, b{-4, 20, 8, 50}, empty{3, 3, 3, 9};
    window.invalidateRect(&a);
    window.invalidateRect(&b);
    window.invalidateRect(&empty);
    { EXPECT_TRUE(window.getDC()); }
    EXPECT_TRUE(window.needsPaint());
    {
        Window::Context paint = window.beginPaint();
        EXPECT_EQ(paint.paintArea(), (Rect{0, 5, 10, 30}));
    }
    EXPECT_FALSE(window.needsPaint());
    window.invalidateRect(nullptr);
    EXPECT_EQ(window.beginPaint().paintArea(), (Rect{0, 0, 40, 30}));
}

TEST_F(WindowTest, FramesAreOnePixelInsideTheClippedRectangle) {
    Window window(10, 8);
    window.surface().frameRect({2, 1, 6, 5}, {0, 0, 255, 0});
    std::vector<uint32_t> pixels = window.surface().readPixels();
    int framed = 0;
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 6 && y >= 1 && y < 5;
            bool edge = inside && (x == 2 || x == 5 || y == 1 || y == 4);
            EXPECT_EQ(pixels[y * 10 + x], edge ? 0xFF0000u : 0u) << x << "," << y;
            framed += edge;
        }
    EXPECT_EQ(framed, 12);
    EXPECT_EQ(window.surface().pixelsWritten(), 12u);

    // A line, and a frame reaching past the surface, stay inside it.
    window.surface().frameRect({0, 7, 10, 8}, {255, 255, 255, 0});
    window.surface().frameRect({8, 6, 20, 20}, {255, 255, 255, 0});
    window.surface().frameRect({20, 20, 30, 30}, {255, 255, 255, 0});
    EXPECT_EQ(window.surface().pixel(9, 7), 0xFFFFFFu);
    EXPECT_EQ(window.surface().pixel(8, 6), 0xFFFFFFu);
    EXPECT_EQ(window.surface().pixelsWritten(), 12u + 10u + 2u + 2u);
}

TEST_F(WindowTest, ResizingGivesABlankSurfaceInNeedOfPaint) {
    Window window(10, 8);
    window.surface().frameRect({0, 0, 10, 8}, {255, 255, 255, 0});
    window.resizeClient(4, 3);
    EXPECT_EQ(window.clientRect(), (Rect{0, 0, 4, 3}));
    EXPECT_EQ(window.surface().readPixels(), std::vector<uint32_t>(12, 0));
    EXPECT_EQ(window.beginPaint().paintArea(), (Rect{0, 0, 4, 3}));
}

TEST_F(WindowTest, AForgottenPaletteIsNoLongerSelected) {
    Window window(4, 4);
    std::vector<platform::PaletteEntry> entries(256);
    auto kept = platform::Palette::create(entries);
    auto dropped = platform::Palette::create(entries);
    window.surface().selectPalette(kept.get(), false);
    window.forgetPalette(*dropped);
    EXPECT_EQ(window.surface().selectedPalette(), kept.get());
    window.forgetPalette(*kept);
    EXPECT_EQ(window.surface().selectedPalette(), nullptr);
}

}  // namespace
