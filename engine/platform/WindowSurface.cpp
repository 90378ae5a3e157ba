#include "engine/platform/WindowSurface.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform {

WindowSurface::WindowSurface(int32_t width, int32_t height) : RgbSurface(width, height) {}

void WindowSurface::frameRect(const Rect& rect, RgbQuad colour) {
    Rect frame{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, width()),
               std::min(rect.bottom, height())};
    if (frame.isEmpty()) return;
    std::array<RgbQuad, 256> colours;
    colours.fill(colour);
    std::array<uint32_t, 256> values{};
    translate(colours, values);

    auto line = [&](const Rect& part) {
        if (part.isEmpty()) return;
        std::vector<uint32_t> pixels(
            static_cast<std::size_t>(part.width()) * static_cast<std::size_t>(part.height()),
            values[0]);
        writePixels(part, pixels);
        written(part);
    };
    line({frame.left, frame.top, frame.right, frame.top + 1});
    if (frame.height() > 1) line({frame.left, frame.bottom - 1, frame.right, frame.bottom});
    line({frame.left, frame.top + 1, frame.left + 1, frame.bottom - 1});
    if (frame.width() > 1) line({frame.right - 1, frame.top + 1, frame.right, frame.bottom - 1});
}

std::vector<Rect> WindowSurface::takeWrittenAreas() {
    std::lock_guard guard(areasLock);
    return std::exchange(areas, {});
}

void WindowSurface::written(const Rect& area) {
    pixelCount += static_cast<uint64_t>(area.width()) * static_cast<uint64_t>(area.height());
    std::lock_guard guard(areasLock);
    areas.push_back(area);
}

}  // namespace platform
