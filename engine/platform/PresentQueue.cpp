#include "engine/platform/PresentQueue.h"

#include <algorithm>
#include <utility>

#include "engine/platform/Display.h"

namespace platform {

PresentQueue::PresentQueue(int32_t width, int32_t height) {
    resize(width, height);
}

void PresentQueue::resize(int32_t width, int32_t height) {
    std::lock_guard guard(lock);
    pictureWidth = std::max(width, 0);
    pictureHeight = std::max(height, 0);
    pending.clear();
    everything = true;
}

void PresentQueue::add(std::span<const Rect> areas) {
    std::lock_guard guard(lock);
    pending.insert(pending.end(), areas.begin(), areas.end());
}

std::vector<Rect> PresentQueue::take() {
    std::vector<Rect> areas;
    bool whole;
    Rect picture;
    {
        std::lock_guard guard(lock);
        areas = std::exchange(pending, {});
        whole = std::exchange(everything, false);
        picture = {0, 0, pictureWidth, pictureHeight};
    }
    if (systemPaletteChanged()) whole = true;
    if (whole) areas.assign(1, picture);
    std::vector<Rect> due;
    for (const Rect& area : areas) {
        Rect clipped{std::max(area.left, picture.left), std::max(area.top, picture.top),
                     std::min(area.right, picture.right), std::min(area.bottom, picture.bottom)};
        if (!clipped.isEmpty()) due.push_back(clipped);
    }
    return due;
}

std::vector<Rect> PresentQueue::convert(const RgbSurface& surface, const ScreenPicture& screen,
                                        int32_t scale) {
    scale = std::max(scale, 1);
    Rect held{0, 0, std::min(surface.width(), screen.width / scale),
              std::min(surface.height(), screen.height / scale)};
    std::vector<Rect> converted;
    for (const Rect& area : take()) {
        Rect clipped{area.left, area.top, std::min(area.right, held.right),
                     std::min(area.bottom, held.bottom)};
        if (clipped.isEmpty()) continue;
        auto block = static_cast<std::size_t>(scale);
        std::size_t start = static_cast<std::size_t>(clipped.top) * block * screen.pitch +
                            static_cast<std::size_t>(clipped.left) * block;
        std::size_t size = static_cast<std::size_t>(screen.height) * screen.pitch - start;
        if (scale == 1) {
            surface.readPixels(clipped, std::span(screen.pixels + start, size), screen.pitch);
        } else {
            auto rowWidth = static_cast<std::size_t>(clipped.width());
            row.resize(rowWidth);
            for (int32_t y = clipped.top; y < clipped.bottom; ++y) {
                surface.readPixels({clipped.left, y, clipped.right, y + 1}, row, rowWidth);
                putScaledRow(screen.pixels + start +
                                 static_cast<std::size_t>(y - clipped.top) * block * screen.pitch,
                             screen.pitch, row, scale);
            }
        }
        converted.push_back(clipped);
    }
    return converted;
}

bool PresentQueue::systemPaletteChanged() {
    std::array<PaletteEntry, 256> current = shownPalette;
    Display::systemPaletteEntries(0, current);
    return std::exchange(shownPalette, current) != current;
}

}  // namespace platform
