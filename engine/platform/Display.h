#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/base/RgbQuad.h"
#include "engine/platform/Palette.h"

namespace platform {

class DeviceContext;

// The screen: its capabilities and, on a palette display, its system palette. By default a
// true-colour display (no palette, no static colours). A switch emulates a 256-colour palette
// display with the twenty standard static colours at 0..9 and 246..255, so that code written
// for palette displays runs its real paths. Process-wide and safe to use from the drawing
// thread while another thread reads surfaces.
class Display {
  public:
    // Capability indexes.
    static constexpr int32_t bitsPixel = 12;
    static constexpr int32_t numColors = 24;
    static constexpr int32_t rasterCaps = 38;
    static constexpr int32_t sizePalette = 104;
    static constexpr int32_t numReserved = 106;
    // Raster capability bits.
    static constexpr int32_t rcBitBlt = 0x0001;
    static constexpr int32_t rcDiBitmap = 0x0080;
    static constexpr int32_t rcPalette = 0x0100;
    static constexpr int32_t rcStretchDib = 0x2000;
    // System palette use.
    static constexpr uint32_t sysPalError = 0;
    static constexpr uint32_t sysPalStatic = 1;
    static constexpr uint32_t sysPalNoStatic = 2;

    // The twenty standard static colours, first ten then last ten.
    static const std::array<PaletteEntry, 20> standardStatics;

    // Chooses the kind of display; either way the system palette starts over with the static
    // colours in place and nothing realised.
    static void emulatePaletteDisplay(bool on);
    static bool isPaletteDisplay();

    // The screen's context; null while contexts are refused.
    static std::unique_ptr<DeviceContext> getDC();
    // Test double: while on, no context of any kind can be had.
    static void refuseContexts(bool on);
    static bool contextsRefused();

    static int32_t deviceCaps(int32_t index);

    static uint32_t systemPaletteUse();
    // Chooses between 20 and 2 static colours on a palette display; returns the previous use,
    // sysPalError on a true-colour display.
    static uint32_t setSystemPaletteUse(uint32_t use);

    // Copies system palette entries from `start` into `out`; returns the count, 0 on a
    // true-colour display (leaving `out` as it was).
    static uint32_t systemPaletteEntries(uint32_t start, std::span<PaletteEntry> out);

    // Maps `palette` onto the system palette. In the foreground each of its entries takes the
    // slot of its own index where that slot is not static, and the rest go to the nearest
    // static colour; in the background every entry goes to the nearest system colour. Returns
    // the slots changed.
    static uint32_t realize(const Palette& palette, bool background);

    // What a surface stores for each source colour: the colour itself (0xRRGGBB) on a
    // true-colour display, else the system slot through `palette` (or the static colours
    // when it is null) marked with slotFlag, so that animation shows on pixels already drawn.
    static constexpr uint32_t slotFlag = 0x01000000;
    static void surfaceValues(const Palette* palette, std::span<const RgbQuad, 256> colours,
                              std::array<uint32_t, 256>& values);

    // Turns stored surface values into 0xRRGGBB colours through the current system palette.
    static void resolve(std::span<uint32_t> values);

  private:
    friend class Palette;
    static void forget(const Palette& palette);
    static uint32_t animate(Palette& palette, uint32_t start,
                            std::span<const PaletteEntry> replacement);
    static PaletteEntry entry(const Palette& palette, uint32_t index);
    static uint32_t entries(const Palette& palette, uint32_t start, std::span<PaletteEntry> out);
};

}  // namespace platform
