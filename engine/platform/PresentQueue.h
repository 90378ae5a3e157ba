#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/platform/Palette.h"
#include "engine/platform/RgbSurface.h"
#include "engine/platform/ScreenPicture.h"

namespace platform {

// What a screen still has to show of a window: the areas written into the window's surface
// since the last push. Areas may be added from another thread. After a change of size, or when
// the system palette changed since the last push (every pixel shown may then look different),
// the whole picture is due.
class PresentQueue {
  public:
    PresentQueue(int32_t width, int32_t height);

    // A new size; the whole picture becomes due.
    void resize(int32_t width, int32_t height);
    void add(std::span<const Rect> areas);

    // The areas due, clipped to the picture; empty when nothing was.
    std::vector<Rect> take();
    // Takes the areas due and converts each from `surface` into `screen` (0x00RRGGBB), each
    // pixel as a scale × scale block; returns them, clipped to what the screen holds.
    std::vector<Rect> convert(const RgbSurface& surface, const ScreenPicture& screen,
                              int32_t scale);

    int32_t width() const { return pictureWidth; }
    int32_t height() const { return pictureHeight; }

  private:
    bool systemPaletteChanged();

    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    std::array<PaletteEntry, 256> shownPalette{};
    std::mutex lock;
    std::vector<Rect> pending;
    bool everything = true;
    std::vector<uint32_t> row;  // one converted row, for scaled screens
};

}  // namespace platform
