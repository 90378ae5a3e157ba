#include "engine/platform/RgbSurface.h"

#include <algorithm>

#include "engine/platform/Display.h"

namespace platform {

RgbSurface::RgbSurface(int32_t width, int32_t height)
    : surfaceWidth(std::max(width, 0)),
      surfaceHeight(std::max(height, 0)),
      stored(static_cast<std::size_t>(surfaceWidth) * static_cast<std::size_t>(surfaceHeight)) {}

uint32_t RgbSurface::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= surfaceWidth || y >= surfaceHeight) return 0;
    uint32_t value;
    {
        std::lock_guard guard(lock);
        value = stored[static_cast<std::size_t>(y) * static_cast<std::size_t>(surfaceWidth) +
                       static_cast<std::size_t>(x)];
    }
    Display::resolve(std::span(&value, 1));
    return value;
}

std::vector<uint32_t> RgbSurface::readPixels() const {
    std::vector<uint32_t> pixels;
    {
        std::lock_guard guard(lock);
        pixels = stored;
    }
    Display::resolve(pixels);
    return pixels;
}

bool RgbSurface::readPixels(const Rect& area, std::span<uint32_t> out, std::size_t pitch) const {
    Rect clipped{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, surfaceWidth),
                 std::min(area.bottom, surfaceHeight)};
    if (clipped.isEmpty()) return true;
    auto rowWidth = static_cast<std::size_t>(clipped.width());
    auto rows = static_cast<std::size_t>(clipped.height());
    if (pitch < rowWidth || out.size() < (rows - 1) * pitch + rowWidth) return false;
    {
        std::lock_guard guard(lock);
        for (std::size_t row = 0; row < rows; ++row) {
            std::size_t offset = (static_cast<std::size_t>(clipped.top) + row) *
                                     static_cast<std::size_t>(surfaceWidth) +
                                 static_cast<std::size_t>(clipped.left);
            std::copy_n(stored.begin() + static_cast<std::ptrdiff_t>(offset), rowWidth,
                        out.begin() + static_cast<std::ptrdiff_t>(row * pitch));
        }
    }
    for (std::size_t row = 0; row < rows; ++row)
        Display::resolve(out.subspan(row * pitch, rowWidth));
    return true;
}

void RgbSurface::writePixels(const Rect& area, std::span<const uint32_t> values) {
    std::lock_guard guard(lock);
    auto next = values.begin();
    auto rowWidth = static_cast<std::size_t>(area.width());
    for (int32_t y = area.top; y < area.bottom; ++y) {
        std::size_t offset = static_cast<std::size_t>(y) * static_cast<std::size_t>(surfaceWidth) +
                             static_cast<std::size_t>(area.left);
        std::copy_n(next, rowWidth, stored.begin() + static_cast<std::ptrdiff_t>(offset));
        next += static_cast<std::ptrdiff_t>(rowWidth);
    }
}

}  // namespace platform
