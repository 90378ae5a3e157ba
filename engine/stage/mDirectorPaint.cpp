#include <algorithm>
#include <span>

#include "engine/platform/Display.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Palette.h"
#include "engine/platform/Window.h"
#include "engine/stage/mDirector.h"

namespace {

constexpr RgbQuad white{255, 255, 255, 0};

}  // namespace

void mDirector::flush() {
    if (dirtyCount <= 1) return;
    if (auto dc = window->getDC()) {
        if (palette) {
            dc->selectPalette(palette.get(), false);
            dc->realizePalette();
        }
        Rect picture{0, 0, info->width, info->height};
        Rect area;
        for (const DirtyEntry* entry = dirtyTable[0].next; entry != &dirtyTable[0];
             entry = entry->next) {
            // The widening to multiples of 4 may pass the right edge; copy the picture only.
            if (!intersect(area, picture, {entry->left, entry->top, entry->right, entry->bottom}))
                continue;
            draw(*dc, area, area.left, area.top);
            if (stageFlags & outlineFlushed) dc->frameRect(area, white);
        }
    }
    resetDirtyList();
}

void mDirector::paint() {
    auto dc = window->beginPaint();
    if (!dc) return;
    if (palette) {
        dc->selectPalette(palette.get(), false);
        dc->realizePalette();
    }
    Rect area;
    if (intersect(area, {0, 0, info->width, info->height}, dc.paintArea()))
        draw(*dc, area, area.left, area.top);
}

int32_t mDirector::handleMessage(platform::Window& target, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) {
    using platform::Window;
    switch (message) {
        case Window::wmSize:
            resize(static_cast<int32_t>(lParam & 0xFFFF),
                   static_cast<int32_t>((lParam >> 16) & 0xFFFF));
            messageResult = 0;
            return 1;
        case Window::wmPaint:
            paint();
            messageResult = 0;
            return 1;
        case Window::wmEraseBackground:
            messageResult = 0;
            return 1;
        case Window::wmPaletteChanged:
            // Our own realisation changed the system palette: nothing to answer.
            if (wParam == reinterpret_cast<uintptr_t>(&target)) return 0;
            [[fallthrough]];
        case Window::wmQueryNewPalette: {
            if (!palette) return 0;
            uint32_t changed = 0;
            if (auto dc = window->getDC()) {
                dc->selectPalette(palette.get(), false);
                changed = dc->realizePalette();
            }
            if (changed != 0) target.invalidateRect(nullptr);
            messageResult = static_cast<int32_t>(changed);
            return 1;
        }
        default:
            return 0;
    }
}

int32_t mDirector::resize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    if (memoryDC && width == info->width && height == info->height) return 1;
    // Pending rectangles may lie outside a smaller buffer, and the whole stage is marked below.
    resetDirtyList();
    if (!createSection(width, height, 0)) return 0;
    background->bounds = {0, 0, width, height};
    Rect whole{0, 0, width, height};
    invalidate(&whole, 1, 0);
    compose();
    return 1;
}

void mDirector::setPalette(const RgbQuad* colours, int32_t firstIndex, int32_t count) {
    if (!colours || !info->colorTable || info->bitsPerPixel > 8) return;
    int32_t n = 1 << info->bitsPerPixel;
    if (firstIndex < 0 || firstIndex >= n) return;
    auto lastIndex =
        static_cast<int32_t>(std::min<int64_t>(int64_t{firstIndex} + count - 1, n - 1));

    if (!palette) {
        setColors(colours, firstIndex, count);
        createPalette();
        return;
    }
    animatePalette(colours, firstIndex, lastIndex);
}

void mDirector::createPalette() {
    palette = createIdentityPalette(false);
    if (!palette) return;
    if (auto dc = window->getDC()) {
        previousPalette = dc->selectPalette(palette.get(), false);
        dc->realizePalette();
    }
    if (stageFlags & notifyPalette) notifyRenderers();
}

void mDirector::animatePalette(const RgbQuad* colours, int32_t firstIndex, int32_t lastIndex) {
    const RgbQuad* table = info->colorTable;
    bool unchanged = true;
    for (int32_t i = firstIndex; i <= lastIndex && unchanged; ++i)
        unchanged = colours[i - firstIndex].sameColour(table[i]);
    if (unchanged) return;

    using platform::Display;
    auto dc = window->getDC();
    int32_t n = 1 << info->bitsPerPixel;
    int32_t statics = 0;
    if (Display::deviceCaps(Display::rasterCaps) & Display::rcPalette)
        statics = std::clamp(Display::deviceCaps(Display::numColors), 0, n);
    int32_t half = statics / 2;

    // The display's static colours at both ends stay as they are.
    if (firstIndex < half) {
        colours += half - firstIndex;
        firstIndex = half;
    }
    lastIndex = std::min(lastIndex, n - half - 1);
    int32_t count = lastIndex - firstIndex + 1;
    if (count <= 0) return;

    setColors(colours, firstIndex, count);
    if (stageFlags & notifyPalette) {
        notifyRenderers();
    } else {
        Rect whole{0, 0, info->width, info->height};
        invalidate(&whole, 1, 0);
    }
    if (dc) dc->selectPalette(palette.get(), false);

    auto block = platform::Memory::allocate(256 * sizeof(platform::PaletteEntry));
    if (!block) return;
    auto* entries = reinterpret_cast<platform::PaletteEntry*>(block.get());
    for (int32_t i = firstIndex; i <= lastIndex; ++i)
        entries[i] = {table[i].red, table[i].green, table[i].blue, platform::Palette::reserved};
    palette->animate(static_cast<uint32_t>(firstIndex),
                     std::span(entries + firstIndex, static_cast<std::size_t>(count)));
}

void mDirector::notifyRenderers() {
    if (!first) return;
    mRenderer* renderer = first;
    do {
        renderer->paletteChanged();
        renderer = renderer->next;
    } while (first && renderer != first);
}
