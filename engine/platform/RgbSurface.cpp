#include "engine/platform/RgbSurface.h"

#include <algorithm>

#include "engine/platform/Display.h"

namespace platform {

namespace {

// to[k] = values[from[k]] for `count` pixels; four at a time, as the loop is the whole cost of
// showing what changed on a true-colour screen.
void lookUp(uint32_t* to, const uint8_t* from, std::size_t count,
            const std::array<uint32_t, 256>& values) {
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        uint32_t a = values[from[k]];
        uint32_t b = values[from[k + 1]];
        uint32_t c = values[from[k + 2]];
        uint32_t d = values[from[k + 3]];
        to[k] = a;
        to[k + 1] = b;
        to[k + 2] = c;
        to[k + 3] = d;
    }
    for (; k < count; ++k)
        to[k] = values[from[k]];
}

}  // namespace

RgbSurface::RgbSurface(int32_t width, int32_t height)
    : surfaceWidth(std::max(width, 0)),
      surfaceHeight(std::max(height, 0)),
      pitch(static_cast<std::size_t>(surfaceWidth)) {}

uint32_t RgbSurface::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= surfaceWidth || y >= surfaceHeight) return 0;
    uint32_t value;
    {
        std::lock_guard guard(lock);
        value = unwritten() ? 0 : at(x, y);
    }
    Display::resolve(std::span(&value, 1));
    return value;
}

std::vector<uint32_t> RgbSurface::copyAll() const {
    if (own && stored.empty())
        return std::vector<uint32_t>(
            static_cast<std::size_t>(surfaceWidth) * static_cast<std::size_t>(surfaceHeight), 0);
    if (own) return stored;
    std::vector<uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(surfaceWidth) *
                   static_cast<std::size_t>(surfaceHeight));
    for (int32_t y = 0; y < surfaceHeight; ++y)
        for (int32_t x = 0; x < surfaceWidth; ++x)
            pixels.push_back(at(x, y));
    return pixels;
}

std::vector<uint32_t> RgbSurface::readPixels() const {
    std::vector<uint32_t> pixels;
    {
        std::lock_guard guard(lock);
        pixels = copyAll();
    }
    Display::resolve(pixels);
    return pixels;
}

bool RgbSurface::readPixels(const Rect& area, std::span<uint32_t> out, std::size_t outPitch) const {
    Rect clipped{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, surfaceWidth),
                 std::min(area.bottom, surfaceHeight)};
    if (clipped.isEmpty()) return true;
    auto rowWidth = static_cast<std::size_t>(clipped.width());
    auto rows = static_cast<std::size_t>(clipped.height());
    if (outPitch < rowWidth || out.size() < (rows - 1) * outPitch + rowWidth) return false;
    {
        std::lock_guard guard(lock);
        for (std::size_t row = 0; row < rows; ++row) {
            uint32_t* to = out.data() + row * outPitch;
            if (unwritten()) {
                std::fill_n(to, rowWidth, 0);
                continue;
            }
            auto y = clipped.top + static_cast<int32_t>(row);
            if (storeScale == 1) {
                std::copy_n(&at(clipped.left, y), rowWidth, to);
                continue;
            }
            for (int32_t x = clipped.left; x < clipped.right; ++x)
                *to++ = at(x, y);
        }
    }
    for (std::size_t row = 0; row < rows; ++row)
        Display::resolve(out.subspan(row * outPitch, rowWidth));
    return true;
}

void RgbSurface::allocate() {
    stored.assign(static_cast<std::size_t>(surfaceWidth) * static_cast<std::size_t>(surfaceHeight),
                  0);
    store = stored.data();
}

void RgbSurface::place(std::span<const uint32_t> pixels) {
    auto rowWidth = static_cast<std::size_t>(surfaceWidth);
    for (int32_t y = 0; y < surfaceHeight; ++y)
        putScaledRow(&at(0, y), pitch,
                     pixels.subspan(static_cast<std::size_t>(y) * rowWidth, rowWidth), storeScale);
}

void RgbSurface::keepPixelsIn(const ScreenPicture& screen, int32_t scale) {
    std::lock_guard guard(lock);
    bool drawnBefore = !own || !stored.empty();
    std::vector<uint32_t> drawn = drawnBefore ? copyAll() : std::vector<uint32_t>{};
    own = screen.pixels == nullptr;
    stored = {};
    if (own) {
        pitch = static_cast<std::size_t>(surfaceWidth);
        storeScale = 1;
        store = nullptr;
        if (drawnBefore) allocate();
    } else {
        store = screen.pixels;
        pitch = screen.pitch;
        storeScale = std::max(scale, 1);
    }
    if (drawnBefore) {
        place(drawn);
        return;
    }
    // Nothing drawn yet reads as black: so must the screen's part.
    auto rows = static_cast<std::size_t>(surfaceHeight) * static_cast<std::size_t>(storeScale);
    auto rowWidth = static_cast<std::size_t>(surfaceWidth) * static_cast<std::size_t>(storeScale);
    for (std::size_t y = 0; !own && y < rows; ++y)
        std::fill_n(store + y * pitch, rowWidth, 0);
}

void RgbSurface::writePixels(const Rect& area, std::span<const uint32_t> values) {
    std::lock_guard guard(lock);
    if (own && stored.empty()) allocate();
    auto rowWidth = static_cast<std::size_t>(area.width());
    for (int32_t y = area.top; y < area.bottom; ++y) {
        putScaledRow(&at(area.left, y), pitch, values.first(rowWidth), storeScale);
        values = values.subspan(rowWidth);
    }
}

bool RgbSurface::storeIndexed(const Rect& area, const uint8_t* first, std::ptrdiff_t step,
                              const std::array<uint32_t, 256>& values) {
    std::lock_guard guard(lock);
    if (own && stored.empty()) allocate();
    auto rowWidth = static_cast<std::size_t>(area.width());
    const uint8_t* from = first;
    for (int32_t y = area.top; y < area.bottom; ++y, from += step) {
        if (storeScale == 1) {
            lookUp(&at(area.left, y), from, rowWidth, values);
            continue;
        }
        blockRow.resize(rowWidth);
        lookUp(blockRow.data(), from, rowWidth, values);
        putScaledRow(&at(area.left, y), pitch, blockRow, storeScale);
    }
    return true;
}

}  // namespace platform
