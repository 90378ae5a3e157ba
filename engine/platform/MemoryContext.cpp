#include "engine/platform/MemoryContext.h"

#include <algorithm>

#include "engine/base/ColourDistance.h"
#include "engine/base/PackedPixels.h"
#include "engine/platform/Display.h"
#include "engine/platform/Section.h"

namespace platform {

std::unique_ptr<MemoryContext> MemoryContext::create(const DeviceContext*) {
    if (Display::contextsRefused()) return nullptr;
    return std::make_unique<MemoryContext>(Key{});
}

Section* MemoryContext::selectSection(Section* selected) {
    Section* previous = section;
    section = selected;
    return previous;
}

uint32_t MemoryContext::setDIBColorTable(uint32_t start, uint32_t count, const RgbQuad* colours) {
    if (!section || !colours) return 0;
    return section->setColorTable(start, std::span(colours, count));
}

int32_t MemoryContext::width() const {
    return section ? section->width() : 0;
}

int32_t MemoryContext::height() const {
    return section ? section->height() : 0;
}

// Each source colour becomes the nearest entry of the section's own table.
void MemoryContext::translate(std::span<const RgbQuad, 256> colours,
                              std::array<uint32_t, 256>& values) const {
    if (!section) return;
    uint32_t count = 1u << section->bitsPerPixel();
    const auto& table = section->colours();
    for (std::size_t i = 0; i < colours.size(); ++i) {
        uint32_t best = 0;
        uint32_t bestDistance = UINT32_MAX;
        for (uint32_t entry = 0; entry < count && bestDistance != 0; ++entry) {
            uint32_t distance = colourDistance(colours[i], table[entry]);
            if (distance < bestDistance) {
                best = entry;
                bestDistance = distance;
            }
        }
        values[i] = best;
    }
}

void MemoryContext::writePixels(const Rect& area, std::span<const uint32_t> values) {
    if (!section) return;
    auto next = values.begin();
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint8_t* row = section->bits() + int64_t{section->height() - 1 - y} * section->stride();
        for (int32_t x = area.left; x < area.right; ++x)
            writePackedPixel(row, x, section->bitsPerPixel(), static_cast<uint8_t>(*next++));
    }
}

}  // namespace platform
