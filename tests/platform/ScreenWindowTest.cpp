#include "engine/platform/ScreenWindow.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/platform/Display.h"
#include "engine/platform/Palette.h"

using platform::Display;
using platform::ScreenWindow;

namespace {

using Rects = std::vector<Rect>;

class ScreenWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { Display::emulatePaletteDisplay(false); }
    void TearDown() override { Display::emulatePaletteDisplay(false); }

    // Fills `area` with one colour through a context of the window, released at once.
    static void fill(ScreenWindow& window, const Rect& area, RgbQuad colour,
                     const platform::Palette* palette = nullptr) {
        auto dc = window.getDC();
        ASSERT_TRUE(dc);
        if (palette) {
            dc->selectPalette(palette, false);
            dc->realizePalette();
        }
        for (int32_t y = area.top; y < area.bottom; ++y)
            dc->frameRect({area.left, y, area.right, y + 1}, colour);
    }

    // Every screen pixel is the client pixel it shows, as the surface reads it.
    static void expectScreenShowsSurface(ScreenWindow& window) {
        auto picture = window.screen();
        int32_t scale = window.pixelScale();
        ASSERT_EQ(picture.width, window.clientRect().width() * scale);
        ASSERT_EQ(picture.height, window.clientRect().height() * scale);
        for (int32_t y = 0; y < picture.height; ++y)
            for (int32_t x = 0; x < picture.width; ++x)
                ASSERT_EQ(picture.pixels[static_cast<std::size_t>(y) * picture.pitch +
                                         static_cast<std::size_t>(x)],
                          window.surface().pixel(x / scale, y / scale))
                    << x << "," << y;
    }
};

TEST_F(ScreenWindowTest, WhatWasReleasedIsShownAndOnlyThat) {
    ScreenWindow window(8, 6, 1);
    EXPECT_EQ(window.present(), (Rects{{0, 0, 8, 6}}));
    fill(window, {1, 2, 4, 5}, {10, 20, 30, 0});
    EXPECT_EQ(window.present(), (Rects{{1, 2, 4, 3}, {1, 3, 4, 4}, {1, 4, 4, 5}}));
    expectScreenShowsSurface(window);
    EXPECT_EQ(window.screen().pixels[3 * 8 + 2], 0x1E140Au);
    EXPECT_TRUE(window.present().empty());
}

TEST_F(ScreenWindowTest, EachClientPixelCoversAScaledBlock) {
    ScreenWindow window(5, 4, 3);
    window.present();
    fill(window, {0, 0, 5, 4}, {0, 0, 0, 0});
    fill(window, {2, 1, 3, 2}, {255, 128, 1, 0});
    Rects shown = window.present();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), (Rect{6, 3, 9, 6}));
    expectScreenShowsSurface(window);
}

TEST_F(ScreenWindowTest, AResizeShowsTheNewPictureWhole) {
    ScreenWindow window(4, 4, 2);
    window.present();
    window.resizeClient(6, 3);
    fill(window, {5, 2, 6, 3}, {1, 2, 3, 0});
    EXPECT_EQ(window.present(), (Rects{{0, 0, 12, 6}}));
    expectScreenShowsSurface(window);
}

TEST_F(ScreenWindowTest, PaletteAnimationShowsOnEveryPixelAtTheNextPresent) {
    Display::emulatePaletteDisplay(true);
    std::vector<platform::PaletteEntry> entries(256, {0, 0, 0, platform::Palette::reserved});
    entries[50] = {10, 20, 30, platform::Palette::reserved};
    auto palette = platform::Palette::create(entries);
    ScreenWindow window(6, 5, 2);
    fill(window, {0, 0, 6, 5}, {30, 20, 10, 0}, palette.get());
    window.present();
    expectScreenShowsSurface(window);
    EXPECT_EQ(window.screen().pixels[0], 0x0A141Eu);

    std::vector<platform::PaletteEntry> brighter{{100, 110, 120, 0}};
    palette->animate(50, brighter);
    EXPECT_EQ(window.present(), (Rects{{0, 0, 12, 10}}));
    expectScreenShowsSurface(window);
    EXPECT_EQ(window.screen().pixels[0], 0x646E78u);
}

}  // namespace
