#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/platform/Palette.h"
#include "engine/platform/RgbSurface.h"

namespace platform {

// What a screen backend still has to show: the areas written into a window's surface since
// the last push, converted on the screen's thread into a shadow picture of 0x00RRGGBB pixels
// (rows from the top) that the backend copies to the screen. Areas may be added from another
// thread. When the system palette changed since the last push, every pixel shown may look
// different, and the whole picture is converted.
class PresentQueue {
  public:
    PresentQueue(int32_t width, int32_t height);

    // A new size; the whole picture becomes pending.
    void resize(int32_t width, int32_t height);
    void add(std::span<const Rect> areas);

    // Converts every pending area from `surface` into the shadow and returns the areas
    // converted, clipped to the picture; empty when nothing was pending.
    std::vector<Rect> convert(const RgbSurface& surface);

    std::span<uint32_t> shadow() { return pixels; }
    int32_t width() const { return shadowWidth; }
    int32_t height() const { return shadowHeight; }

  private:
    bool systemPaletteChanged();

    int32_t shadowWidth = 0;
    int32_t shadowHeight = 0;
    std::vector<uint32_t> pixels;
    std::array<PaletteEntry, 256> shownPalette{};
    std::mutex lock;
    std::vector<Rect> pending;
    bool everything = true;
};

}  // namespace platform
