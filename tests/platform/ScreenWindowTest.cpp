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
        int32_t width = window.clientRect().width() * scale;
        int32_t height = window.clientRect().height() * scale;
        ASSERT_GE(picture.width, width);
        ASSERT_GE(picture.height, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
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

TEST_F(ScreenWindowTest, OnATrueColourDisplayTheSurfaceDrawsIntoTheScreenItHasBeenGiven) {
    std::vector<uint32_t> memory(10 * 7, 0xABCDEF);  // wider than the picture: a pitch of 10
    ScreenWindow window(4, 3, 2, {memory.data(), 10, 10, 7});
    EXPECT_TRUE(window.drawsOnScreen());
    EXPECT_EQ(memory[0], 0u);         // nothing drawn reads as black
    EXPECT_EQ(memory[8], 0xABCDEFu);  // outside the picture
    fill(window, {1, 1, 2, 2}, {1, 2, 3, 0});
    EXPECT_EQ(memory[2 * 10 + 2], 0x030201u);  // on the screen before any present
    EXPECT_EQ(memory[3 * 10 + 3], 0x030201u);
    window.present();
    EXPECT_EQ(window.present(), Rects{});
    expectScreenShowsSurface(window);

    Display::emulatePaletteDisplay(true);
    window.resizeClient(4, 3);
    EXPECT_FALSE(window.drawsOnScreen());  // slots are no colours
}

TEST_F(ScreenWindowTest, TheOverlayCoversTheSceneOnTheScreenOnly) {
    ScreenWindow window(6, 4, 1);
    int32_t boxWidth = 3;
    window.setOverlay([&](std::span<uint32_t> pixels, int32_t width, int32_t) {
        for (int32_t x = 0; x < boxWidth; ++x)
            pixels[static_cast<std::size_t>(x)] = 0xFFFFFF;
        EXPECT_LE(width, ScreenWindow::overlayWidth);
        return Rect{0, 0, boxWidth, 1};
    });
    EXPECT_FALSE(window.drawsOnScreen());
    fill(window, {0, 0, 6, 4}, {0, 0, 9, 0});
    window.present();
    EXPECT_EQ(window.screen().pixels[2], 0xFFFFFFu);
    EXPECT_EQ(window.surface().pixel(2, 0), 0x090000u);
    boxWidth = 1;
    window.present();  // what the overlay no longer covers shows the scene again
    EXPECT_EQ(window.screen().pixels[0], 0xFFFFFFu);
    EXPECT_EQ(window.screen().pixels[2], 0x090000u);
}

}  // namespace
