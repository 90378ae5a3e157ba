#include "engine/platform/PresentQueue.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/platform/Display.h"
#include "engine/platform/WindowSurface.h"

using platform::Display;
using platform::PresentQueue;
using platform::WindowSurface;

namespace {

using Rects = std::vector<Rect>;

class PresentQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { Display::emulatePaletteDisplay(false); }
    void TearDown() override { Display::emulatePaletteDisplay(false); }

    // Converts into `shown`, a screen of the queue's size at scale 1.
    Rects convert(PresentQueue& queue, const WindowSurface& surface) {
        shown.resize(static_cast<std::size_t>(queue.width()) *
                     static_cast<std::size_t>(queue.height()));
        platform::ScreenPicture screen{shown.data(), static_cast<std::size_t>(queue.width()),
                                       queue.width(), queue.height()};
        return queue.convert(surface, screen, 1);
    }
    std::vector<uint32_t> shown;

    // Fills `area` of the surface with one colour through its frames.
    static void fill(WindowSurface& surface, const Rect& area, RgbQuad colour) {
        for (int32_t y = area.top; y < area.bottom; ++y)
            surface.frameRect({area.left, y, area.right, y + 1}, colour);
    }
};

TEST_F(PresentQueueTest, AtFirstTheWholePictureIsConverted) {
    WindowSurface surface(6, 4);
    fill(surface, {0, 0, 6, 4}, {1, 2, 3, 0});
    PresentQueue queue(6, 4);
    EXPECT_EQ(convert(queue, surface), (Rects{{0, 0, 6, 4}}));
    EXPECT_EQ(std::vector<uint32_t>(shown.begin(), shown.end()),
              std::vector<uint32_t>(24, 0x030201));
    EXPECT_TRUE(convert(queue, surface).empty());
}

TEST_F(PresentQueueTest, OnlyTheAreasAddedAreConverted) {
    WindowSurface surface(8, 6);
    PresentQueue queue(8, 6);
    convert(queue, surface);
    fill(surface, {0, 0, 8, 6}, {0, 0, 200, 0});  // everything changes on the surface...
    Rect flushed[] = {{1, 1, 3, 2}, {6, 4, 12, 9}};
    queue.add(flushed);  // ...but only these were flushed
    EXPECT_EQ(convert(queue, surface), (Rects{{1, 1, 3, 2}, {6, 4, 8, 6}}));
    int converted = 0;
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 8; ++x) {
            bool pushed = (y == 1 && x >= 1 && x < 3) || (y >= 4 && x >= 6);
            EXPECT_EQ(shown[y * 8 + x], pushed ? 0xC80000u : 0u) << x << "," << y;
            converted += pushed;
        }
    EXPECT_EQ(converted, 6);
}

TEST_F(PresentQueueTest, AChangedSystemPaletteConvertsEverything) {
    Display::emulatePaletteDisplay(true);
    WindowSurface surface(5, 5);
    std::vector<platform::PaletteEntry> entries(256, {0, 0, 0, platform::Palette::reserved});
    entries[50] = {10, 20, 30, platform::Palette::reserved};
    auto palette = platform::Palette::create(entries);
    surface.selectPalette(palette.get(), false);
    surface.realizePalette();
    PresentQueue queue(5, 5);
    fill(surface, {0, 0, 5, 5}, {30, 20, 10, 0});
    convert(queue, surface);
    EXPECT_EQ(shown[12], 0x0A141Eu);

    std::vector<platform::PaletteEntry> brighter{{100, 110, 120, 0}};
    palette->animate(50, brighter);
    EXPECT_EQ(convert(queue, surface), (Rects{{0, 0, 5, 5}}));
    EXPECT_EQ(shown[12], 0x646E78u);
    EXPECT_TRUE(convert(queue, surface).empty());
}

TEST_F(PresentQueueTest, AreasAreReadAtAPitchAndRefusedWhenTheOutputIsShort) {
    WindowSurface surface(4, 4);
    fill(surface, {1, 1, 3, 3}, {9, 8, 7, 0});
    std::vector<uint32_t> out(7, 1);
    // Rows of 2 at a pitch of 5, clipped from an area reaching outside.
    EXPECT_TRUE(surface.readPixels({1, 2, 3, 9}, out, 5));
    EXPECT_EQ(out, (std::vector<uint32_t>{0x070809, 0x070809, 1, 1, 1, 0, 0}));
    EXPECT_FALSE(surface.readPixels({0, 0, 4, 4}, out, 4));
    EXPECT_FALSE(surface.readPixels({0, 0, 4, 1}, out, 3));
}

TEST_F(PresentQueueTest, ResizingMakesEverythingPendingAgain) {
    WindowSurface surface(3, 3);
    PresentQueue queue(3, 3);
    convert(queue, surface);
    queue.resize(2, 4);
    EXPECT_EQ(queue.width(), 2);
    EXPECT_EQ(queue.height(), 4);
    // The surface is still 3 × 3: only the common part is converted.
    EXPECT_EQ(convert(queue, surface), (Rects{{0, 0, 2, 3}}));
}

}  // namespace
