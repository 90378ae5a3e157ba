#include "engine/platform/PresentQueue.h"

#include <algorithm>
#include <utility>

#include "engine/platform/Display.h"

namespace platform {

PresentQueue::PresentQueue(int32_t width, int32_t height) {
    resize(width, height);
}

void PresentQueue::resize(int32_t width, int32_t height) {
    shadowWidth = std::max(width, 0);
    shadowHeight = std::max(height, 0);
    pixels.assign(static_cast<std::size_t>(shadowWidth) * static_cast<std::size_t>(shadowHeight),
                  0);
    std::lock_guard guard(lock);
    pending.clear();
    everything = true;
}

void PresentQueue::add(std::span<const Rect> areas) {
    std::lock_guard guard(lock);
    pending.insert(pending.end(), areas.begin(), areas.end());
}

std::vector<Rect> PresentQueue::convert(const RgbSurface& surface) {
    std::vector<Rect> areas;
    bool whole;
    {
        std::lock_guard guard(lock);
        areas = std::exchange(pending, {});
        whole = std::exchange(everything, false);
    }
    if (systemPaletteChanged()) whole = true;
    Rect picture{0, 0, std::min(shadowWidth, surface.width()),
                 std::min(shadowHeight, surface.height())};
    if (whole) areas.assign(1, picture);

    std::vector<Rect> converted;
    for (const Rect& area : areas) {
        Rect clipped{std::max(area.left, picture.left), std::max(area.top, picture.top),
                     std::min(area.right, picture.right), std::min(area.bottom, picture.bottom)};
        if (clipped.isEmpty()) continue;
        std::size_t start =
            static_cast<std::size_t>(clipped.top) * static_cast<std::size_t>(shadowWidth) +
            static_cast<std::size_t>(clipped.left);
        surface.readPixels(clipped, std::span(pixels).subspan(start),
                           static_cast<std::size_t>(shadowWidth));
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
