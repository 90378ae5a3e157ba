#include "engine/platform/Display.h"

#include <gtest/gtest.h>

#include <array>

#include "engine/graphics/DefaultColours.h"
#include "engine/platform/DeviceContext.h"
#include "engine/platform/MemoryContext.h"
#include "engine/platform/Palette.h"

using platform::Display;
using platform::Palette;
using platform::PaletteEntry;

namespace {

class PaletteDisplay : public testing::Test {
  protected:
    void SetUp() override { Display::emulatePaletteDisplay(true); }
    void TearDown() override { Display::emulatePaletteDisplay(false); }
};

std::array<PaletteEntry, 256> systemPalette() {
    std::array<PaletteEntry, 256> entries{};
    Display::systemPaletteEntries(0, entries);
    return entries;
}

TEST(TrueColourDisplay, HasNoPaletteAndNoStaticColours) {
    EXPECT_FALSE(Display::isPaletteDisplay());
    EXPECT_EQ(Display::deviceCaps(Display::rasterCaps) & Display::rcPalette, 0);
    EXPECT_NE(Display::deviceCaps(Display::rasterCaps) & Display::rcStretchDib, 0);
    EXPECT_EQ(Display::deviceCaps(Display::bitsPixel), 32);
    EXPECT_EQ(Display::systemPaletteUse(), Display::sysPalNoStatic);
    EXPECT_EQ(Display::setSystemPaletteUse(Display::sysPalStatic), Display::sysPalError);

    std::array<PaletteEntry, 4> out{};
    out.fill({7, 7, 7, 7});
    EXPECT_EQ(Display::systemPaletteEntries(0, out), 0u);
    EXPECT_EQ(out[0], (PaletteEntry{7, 7, 7, 7}));
}

TEST_F(PaletteDisplay, HasTwentyStandardStaticColours) {
    EXPECT_TRUE(Display::isPaletteDisplay());
    EXPECT_NE(Display::deviceCaps(Display::rasterCaps) & Display::rcPalette, 0);
    EXPECT_EQ(Display::deviceCaps(Display::numColors), 20);
    EXPECT_EQ(Display::deviceCaps(Display::sizePalette), 256);
    EXPECT_EQ(Display::systemPaletteUse(), Display::sysPalStatic);

    auto system = systemPalette();
    for (int i : {0, 1, 5, 9, 246, 250, 255}) {
        SCOPED_TRACE(i);
        const auto& expected = DefaultColours::table[i];
        EXPECT_EQ(system[i], (PaletteEntry{expected.red, expected.green, expected.blue, 0}));
    }
    std::array<PaletteEntry, 8> tail{};
    EXPECT_EQ(Display::systemPaletteEntries(250, tail), 6u);
    EXPECT_EQ(tail[5], (PaletteEntry{255, 255, 255, 0}));
}

TEST_F(PaletteDisplay, NoStaticUseKeepsOnlyBlackAndWhite) {
    EXPECT_EQ(Display::setSystemPaletteUse(Display::sysPalNoStatic), Display::sysPalStatic);
    EXPECT_EQ(Display::systemPaletteUse(), Display::sysPalNoStatic);
    EXPECT_EQ(Display::deviceCaps(Display::numColors), 2);

    std::array<PaletteEntry, 256> wanted{};
    wanted.fill({10, 20, 30, Palette::noCollapse});
    auto palette = Palette::create(wanted);
    Display::realize(*palette, false);
    auto system = systemPalette();
    EXPECT_EQ(system[0], (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(system[1], (PaletteEntry{10, 20, 30, 0}));
    EXPECT_EQ(system[254], (PaletteEntry{10, 20, 30, 0}));
    EXPECT_EQ(system[255], (PaletteEntry{255, 255, 255, 0}));
}

TEST_F(PaletteDisplay, ForegroundRealisingTakesTheFreeSlots) {
    std::array<PaletteEntry, 256> wanted{};
    for (int i = 0; i < 256; ++i)
        wanted[i] = {static_cast<uint8_t>(i), 1, 2, Palette::reserved};
    auto palette = Palette::create(wanted);
    auto screen = Display::getDC();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->selectPalette(palette.get(), false), nullptr);
    EXPECT_EQ(screen->realizePalette(), 236u);
    EXPECT_EQ(screen->realizePalette(), 0u);  // already there

    auto system = systemPalette();
    EXPECT_EQ(system[10], (PaletteEntry{10, 1, 2, 0}));
    EXPECT_EQ(system[245], (PaletteEntry{245, 1, 2, 0}));
    // The static colours stay.
    EXPECT_EQ(system[9], (PaletteEntry{164, 200, 240, 0}));
    EXPECT_EQ(system[246], (PaletteEntry{255, 251, 240, 0}));
    EXPECT_EQ(screen->selectPalette(nullptr, false), palette.get());
}

TEST_F(PaletteDisplay, BackgroundAndMemoryContextsLeaveTheSystemPaletteAlone) {
    auto before = systemPalette();
    std::array<PaletteEntry, 16> wanted{};
    wanted.fill({1, 2, 3, 0});
    auto palette = Palette::create(wanted);

    auto screen = Display::getDC();
    screen->selectPalette(palette.get(), true);
    EXPECT_EQ(screen->realizePalette(), 0u);
    auto memory = platform::MemoryContext::create(screen.get());
    memory->selectPalette(palette.get(), false);
    EXPECT_EQ(memory->realizePalette(), 0u);
    EXPECT_EQ(systemPalette(), before);
    screen->selectPalette(nullptr, false);
}

TEST_F(PaletteDisplay, AnimationChangesReservedEntriesAndTheSystemPalette) {
    std::array<PaletteEntry, 256> wanted{};
    wanted[20] = {1, 1, 1, Palette::reserved};
    wanted[21] = {2, 2, 2, 0};
    auto palette = Palette::create(wanted);
    Display::realize(*palette, false);

    std::array<PaletteEntry, 2> next = {{{100, 110, 120, 0}, {200, 210, 220, 0}}};
    EXPECT_EQ(palette->animate(20, next), 1u);
    EXPECT_EQ(palette->entry(20), (PaletteEntry{100, 110, 120, Palette::reserved}));
    EXPECT_EQ(palette->entry(21), (PaletteEntry{2, 2, 2, 0}));
    auto system = systemPalette();
    EXPECT_EQ(system[20], (PaletteEntry{100, 110, 120, 0}));
    EXPECT_EQ(system[21], (PaletteEntry{2, 2, 2, 0}));

    // Past the end of the palette nothing is touched.
    EXPECT_EQ(palette->animate(255, next), 0u);
    EXPECT_EQ(palette->animate(300, next), 0u);
}

TEST_F(PaletteDisplay, OnlyTheForegroundPaletteAnimatesTheScreen) {
    std::array<PaletteEntry, 256> wanted{};
    wanted.fill({5, 5, 5, Palette::reserved});
    auto first = Palette::create(wanted);
    auto second = Palette::create(wanted);
    Display::realize(*first, false);
    Display::realize(*second, false);
    std::array<PaletteEntry, 1> next = {{{90, 90, 90, 0}}};
    EXPECT_EQ(first->animate(30, next), 1u);
    EXPECT_EQ(systemPalette()[30], (PaletteEntry{5, 5, 5, 0}));

    // A destroyed palette is no longer the display's.
    second.reset();
    EXPECT_EQ(first->animate(30, next), 1u);
    EXPECT_EQ(systemPalette()[30], (PaletteEntry{5, 5, 5, 0}));
}

TEST(Palette, HoldsOneToTwoHundredFiftySixEntries) {
    std::array<PaletteEntry, 257> entries{};
    entries[3] = {1, 2, 3, Palette::noCollapse};
    EXPECT_EQ(Palette::create(std::span(entries).first(0)), nullptr);
    EXPECT_EQ(Palette::create(entries), nullptr);
    auto palette = Palette::create(std::span(entries).first(16));
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->size(), 16u);

    std::array<PaletteEntry, 8> out{};
    EXPECT_EQ(palette->entries(2, out), 8u);
    EXPECT_EQ(out[1], entries[3]);
    EXPECT_EQ(palette->entries(12, out), 4u);
    EXPECT_EQ(palette->entries(16, out), 0u);
    EXPECT_EQ(palette->entry(99), PaletteEntry{});
}

TEST(Display, RefusedContextsCannotBeHad) {
    Display::refuseContexts(true);
    EXPECT_EQ(Display::getDC(), nullptr);
    EXPECT_EQ(platform::MemoryContext::create(nullptr), nullptr);
    Display::refuseContexts(false);
    auto screen = Display::getDC();
    ASSERT_NE(screen, nullptr);
    EXPECT_NE(platform::MemoryContext::create(screen.get()), nullptr);
}

}  // namespace
