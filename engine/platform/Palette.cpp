#include "engine/platform/Palette.h"

#include "engine/platform/Display.h"

namespace platform {

std::unique_ptr<Palette> Palette::create(std::span<const PaletteEntry> entries) {
    if (entries.empty() || entries.size() > maxEntries) return nullptr;
    return std::make_unique<Palette>(Key{}, entries);
}

Palette::Palette(Key, std::span<const PaletteEntry> entries)
    : colours(entries.begin(), entries.end()) {}

Palette::~Palette() {
    Display::forget(*this);
}

uint32_t Palette::size() const {
    return static_cast<uint32_t>(colours.size());
}

PaletteEntry Palette::entry(uint32_t index) const {
    return Display::entry(*this, index);
}

uint32_t Palette::entries(uint32_t start, std::span<PaletteEntry> out) const {
    return Display::entries(*this, start, out);
}

uint32_t Palette::animate(uint32_t start, std::span<const PaletteEntry> replacement) {
    return Display::animate(*this, start, replacement);
}

}  // namespace platform
