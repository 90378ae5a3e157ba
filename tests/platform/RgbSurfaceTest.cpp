#include "engine/platform/RgbSurface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "engine/platform/Display.h"
#include "engine/platform/MemoryContext.h"
#include "engine/platform/Palette.h"
#include "engine/platform/Section.h"

using platform::Display;
using platform::Palette;
using platform::PaletteEntry;
using platform::RgbSurface;

namespace {

// An 8-bit device-independent bitmap held in test memory; pixel (x, y) has value v(x, y).
struct Dib {
    BitmapInfoHeader header;
    std::array<RgbQuad, 256> colours;
    std::vector<uint8_t> pixels;

    Dib(int32_t width, int32_t height, uint16_t depth = 8) : header(), colours() {
        header.width = width;
        header.height = height;
        header.bitCount = depth;
        for (int i = 0; i < 256; ++i)
            colours[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 3, 0};
        pixels.assign(
            static_cast<std::size_t>(platform::Section::strideFor(width, depth) * std::abs(height)),
            0);
    }
    int32_t rows() const { return std::abs(header.height); }
    uint8_t* row(int32_t y) {
        int32_t memoryRow = header.height < 0 ? y : rows() - 1 - y;
        return pixels.data() + memoryRow * platform::Section::strideFor(header.width, 8);
    }
    void fillPattern() {
        for (int32_t y = 0; y < rows(); ++y)
            for (int32_t x = 0; x < header.width; ++x)
                row(y)[x] = static_cast<uint8_t>(y * 16 + x);
    }
};
static_assert(offsetof(Dib, colours) == 40);

uint32_t rgbOf(const RgbQuad& colour) {
    return static_cast<uint32_t>(colour.red) << 16 | colour.green << 8 | colour.blue;
}

TEST(RgbSurface, StretchDIBitsConvertsThroughTheColourTable) {
    for (int32_t sign : {1, -1}) {
        SCOPED_TRACE(sign);
        Dib dib(6, 5 * sign);
        dib.fillPattern();
        RgbSurface surface(10, 8);
        // Rows 1..3 and columns 2..5 of the picture, counted from its top-left corner.
        EXPECT_EQ(surface.stretchDIBits(4, 2, 4, 3, 2, 1, 4, 3, dib.pixels.data(), &dib.header), 3);
        for (int32_t y = 0; y < 8; ++y) {
            for (int32_t x = 0; x < 10; ++x) {
                bool inside = x >= 4 && x < 8 && y >= 2 && y < 5;
                uint32_t expected = inside ? rgbOf(dib.colours[(y - 1) * 16 + (x - 2)]) : 0;
                ASSERT_EQ(surface.pixel(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(RgbSurface, CopiesStayInsideTargetAndSource) {
    Dib dib(4, 4);
    dib.fillPattern();
    RgbSurface surface(5, 5);
    // Hanging over every edge of the surface and of the picture.
    EXPECT_EQ(surface.stretchDIBits(-2, -1, 20, 20, -1, 0, 20, 20, dib.pixels.data(), &dib.header),
              20);
    auto pixels = surface.readPixels();
    ASSERT_EQ(pixels.size(), 25u);
    // Destination (-2 + k) shows source column k - 1 where that exists.
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            int32_t sourceX = x + 2 - 1;
            int32_t sourceY = y + 1;
            bool inside = sourceX < 4 && sourceY < 4;
            uint32_t expected = inside ? rgbOf(dib.colours[sourceY * 16 + sourceX]) : 0;
            EXPECT_EQ(pixels[y * 5 + x], expected) << x << "," << y;
        }
    }
    EXPECT_EQ(surface.pixel(5, 0), 0u);
    EXPECT_EQ(surface.pixel(-1, 0), 0u);
}

TEST(RgbSurface, ScalesAndRefusesWhatItCannotRead) {
    Dib dib(2, 2);
    dib.fillPattern();
    RgbSurface surface(4, 4);
    EXPECT_EQ(surface.stretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, dib.pixels.data(), &dib.header), 4);
    EXPECT_EQ(surface.pixel(1, 1), rgbOf(dib.colours[0]));
    EXPECT_EQ(surface.pixel(3, 0), rgbOf(dib.colours[1]));
    EXPECT_EQ(surface.pixel(2, 3), rgbOf(dib.colours[17]));

    EXPECT_EQ(surface.stretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, nullptr, &dib.header), 0);
    EXPECT_EQ(surface.stretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, dib.pixels.data(), nullptr), 0);
    EXPECT_EQ(surface.stretchDIBits(0, 0, 0, 4, 0, 0, 2, 2, dib.pixels.data(), &dib.header), 0);
    dib.header.bitCount = 24;
    EXPECT_EQ(surface.stretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, dib.pixels.data(), &dib.header), 0);
}

TEST(RgbSurface, ReadsFourBitPixelsAndShortColourTables) {
    Dib dib(3, -1, 4);
    dib.header.clrUsed = 3;
    dib.colours[3] = {50, 50, 50, 0};  // beyond the table: never used
    dib.pixels[0] = 0x21;
    dib.pixels[1] = 0x30;
    RgbSurface surface(3, 1);
    surface.stretchDIBits(0, 0, 3, 1, 0, 0, 3, 1, dib.pixels.data(), &dib.header);
    EXPECT_EQ(surface.pixel(0, 0), rgbOf(dib.colours[2]));
    EXPECT_EQ(surface.pixel(1, 0), rgbOf(dib.colours[1]));
    EXPECT_EQ(surface.pixel(2, 0), 0u);
}

TEST(RgbSurface, BitBltCopiesFromASelectedSection) {
    std::array<RgbQuad, 256> colours{};
    colours[9] = {1, 2, 3, 0};
    colours[4] = {4, 5, 6, 0};
    auto section = platform::Section::create(3, 2, 8, colours);
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->stride(), 4);
    // Bottom-up: the displayed top row is the last in memory.
    section->bits()[4 + 1] = 9;
    section->bits()[0 + 2] = 4;

    auto memory = platform::MemoryContext::create(nullptr);
    RgbSurface surface(3, 2);
    EXPECT_FALSE(surface.bitBlt(0, 0, 3, 2, *memory, 0, 0));
    EXPECT_EQ(memory->selectSection(section.get()), nullptr);
    EXPECT_TRUE(surface.bitBlt(0, 0, 3, 2, *memory, 0, 0));
    EXPECT_EQ(surface.pixel(1, 0), 0x030201u);
    EXPECT_EQ(surface.pixel(2, 1), 0x060504u);

    std::array<RgbQuad, 1> changed = {{{7, 8, 9, 0}}};
    EXPECT_EQ(memory->setDIBColorTable(9, 1, changed.data()), 1u);
    EXPECT_EQ(memory->setDIBColorTable(256, 1, changed.data()), 0u);
    EXPECT_TRUE(surface.bitBlt(0, 0, 3, 2, *memory, 0, 0));
    EXPECT_EQ(surface.pixel(1, 0), 0x090807u);
    EXPECT_EQ(memory->selectSection(nullptr), section.get());
}

TEST(MemoryContext, StoresTheNearestColoursOfItsSection) {
    std::array<RgbQuad, 256> colours{};
    colours.fill({255, 255, 255, 0});
    colours[1] = {0, 0, 200, 0};
    colours[2] = {0, 0, 100, 0};
    auto section = platform::Section::create(2, 2, 8, colours);
    auto memory = platform::MemoryContext::create(nullptr);
    memory->selectSection(section.get());

    Dib dib(2, 1);
    dib.colours[0] = {0, 0, 190, 0};
    dib.colours[1] = {0, 0, 90, 0};
    dib.pixels[0] = 0;
    dib.pixels[1] = 1;
    EXPECT_EQ(memory->stretchDIBits(0, 1, 2, 1, 0, 0, 2, 1, dib.pixels.data(), &dib.header), 1);
    // Displayed row 1 of a bottom-up section is memory row 0.
    EXPECT_EQ(section->bits()[0], 1);
    EXPECT_EQ(section->bits()[1], 2);
    EXPECT_EQ(section->bits()[4], 0);
}

class PaletteSurface : public testing::Test {
  protected:
    void SetUp() override { Display::emulatePaletteDisplay(true); }
    void TearDown() override { Display::emulatePaletteDisplay(false); }
};

TEST_F(PaletteSurface, AnimationRecoloursPixelsAlreadyShown) {
    Dib dib(2, 1);
    dib.colours[0] = {30, 20, 10, 0};
    dib.colours[1] = {0, 0, 0, 0};
    dib.pixels[0] = 0;
    dib.pixels[1] = 1;
    std::array<PaletteEntry, 256> entries{};
    entries.fill({255, 255, 255, 0});
    entries[0] = {0, 0, 0, 0};
    entries[40] = {10, 20, 30, Palette::reserved};
    auto palette = Palette::create(entries);

    RgbSurface surface(2, 1);
    surface.selectPalette(palette.get(), false);
    surface.realizePalette();
    surface.stretchDIBits(0, 0, 2, 1, 0, 0, 2, 1, dib.pixels.data(), &dib.header);
    EXPECT_EQ(surface.pixel(0, 0), 0x0a141eu);
    EXPECT_EQ(surface.pixel(1, 0), 0u);

    std::array<PaletteEntry, 1> next = {{{200, 100, 50, 0}}};
    palette->animate(40, next);
    EXPECT_EQ(surface.pixel(0, 0), 0xc86432u);
    EXPECT_EQ(surface.pixel(1, 0), 0u);
    surface.selectPalette(nullptr, false);
}

TEST_F(PaletteSurface, WithoutAPaletteOnlyStaticColoursShow) {
    Dib dib(2, 1);
    dib.colours[0] = {30, 20, 10, 0};
    dib.colours[1] = {10, 10, 250, 0};
    dib.pixels[1] = 1;
    RgbSurface surface(2, 1);
    surface.stretchDIBits(0, 0, 2, 1, 0, 0, 2, 1, dib.pixels.data(), &dib.header);
    EXPECT_EQ(surface.pixel(0, 0), 0u);
    EXPECT_EQ(surface.pixel(1, 0), 0xff0000u);
}

TEST_F(PaletteSurface, OneThreadDrawsWhileAnotherReads) {
    Dib dib(16, 16);
    dib.colours[0] = {0, 0, 100, 0};
    std::array<PaletteEntry, 256> entries{};
    entries.fill({100, 0, 0, Palette::reserved});
    std::fill_n(entries.begin(), 10, PaletteEntry{});
    auto palette = Palette::create(entries);
    RgbSurface surface(16, 16);
    surface.selectPalette(palette.get(), false);
    surface.realizePalette();

    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    std::thread reader([&] {
        while (!done.load()) {
            for (uint32_t pixel : surface.readPixels())
                if (pixel != 0 && pixel != 0x640000 && pixel != 0x006400) ++unexpected;
        }
    });
    std::array<PaletteEntry, 256> green{};
    green.fill({0, 100, 0, 0});
    for (int round = 0; round < 200; ++round) {
        surface.stretchDIBits(0, 0, 16, 16, 0, 0, 16, 16, dib.pixels.data(), &dib.header);
        palette->animate(0, round % 2 ? std::span(entries) : std::span(green));
    }
    done.store(true);
    reader.join();
    EXPECT_EQ(unexpected.load(), 0);
    surface.selectPalette(nullptr, false);
}

}  // namespace
