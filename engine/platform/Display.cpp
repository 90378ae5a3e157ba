#include "engine/platform/Display.h"

#include <algorithm>
#include <mutex>

#include "engine/base/ColourDistance.h"
#include "engine/platform/DeviceContext.h"

namespace platform {

const std::array<PaletteEntry, 20> Display::standardStatics = {{
    {0, 0, 0, 0},       {191, 0, 0, 0},     {0, 191, 0, 0},     {191, 191, 0, 0},
    {0, 0, 191, 0},     {191, 0, 191, 0},   {0, 191, 191, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {164, 200, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

namespace {

struct State {
    std::mutex lock;
    bool paletteDisplay = false;
    bool refused = false;
    uint32_t use = Display::sysPalStatic;
    std::array<PaletteEntry, 256> system{};
    const Palette* foreground = nullptr;

    // Static colours at each end of the system palette.
    uint32_t staticsPerEnd() const { return use == Display::sysPalStatic ? 10 : 1; }
    bool isStatic(uint32_t slot) const {
        return slot < staticsPerEnd() || slot >= 256 - staticsPerEnd();
    }

    void placeStatics() {
        if (use == Display::sysPalStatic) {
            std::copy_n(Display::standardStatics.begin(), 10, system.begin());
            std::copy_n(Display::standardStatics.begin() + 10, 10, system.begin() + 246);
        } else {
            system[0] = {0, 0, 0, 0};
            system[255] = {255, 255, 255, 0};
        }
    }

    // Nearest slot to `colour`, the lowest of equally near ones; only static slots if asked.
    template <class Colour>
    uint8_t nearestSlot(const Colour& colour, bool staticsOnly) const {
        uint32_t best = 0;
        uint32_t bestDistance = UINT32_MAX;
        for (uint32_t slot = 0; slot < 256; ++slot) {
            if (staticsOnly && !isStatic(slot)) continue;
            uint32_t distance = colourDistance(colour, system[slot]);
            if (distance < bestDistance) {
                best = slot;
                bestDistance = distance;
            }
        }
        return static_cast<uint8_t>(best);
    }
};

State& state() {
    static State instance;
    return instance;
}

template <class Colour>
uint32_t nearestEntry(const std::vector<PaletteEntry>& entries, const Colour& colour) {
    uint32_t best = 0;
    uint32_t bestDistance = UINT32_MAX;
    for (uint32_t i = 0; i < entries.size(); ++i) {
        uint32_t distance = colourDistance(colour, entries[i]);
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

uint32_t packed(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 | blue;
}

}  // namespace

void Display::emulatePaletteDisplay(bool on) {
    State& s = state();
    std::lock_guard guard(s.lock);
    s.paletteDisplay = on;
    s.use = sysPalStatic;
    s.system.fill({});
    s.placeStatics();
    s.foreground = nullptr;
}

bool Display::isPaletteDisplay() {
    State& s = state();
    std::lock_guard guard(s.lock);
    return s.paletteDisplay;
}

std::unique_ptr<DeviceContext> Display::getDC() {
    if (contextsRefused()) return nullptr;
    return std::make_unique<DeviceContext>();
}

void Display::refuseContexts(bool on) {
    State& s = state();
    std::lock_guard guard(s.lock);
    s.refused = on;
}

bool Display::contextsRefused() {
    State& s = state();
    std::lock_guard guard(s.lock);
    return s.refused;
}

int32_t Display::deviceCaps(int32_t index) {
    State& s = state();
    std::lock_guard guard(s.lock);
    auto statics = static_cast<int32_t>(2 * s.staticsPerEnd());
    switch (index) {
        case bitsPixel:
            return s.paletteDisplay ? 8 : 32;
        case numColors:
            return s.paletteDisplay ? statics : -1;
        case rasterCaps:
            return rcBitBlt | rcDiBitmap | rcStretchDib | (s.paletteDisplay ? rcPalette : 0);
        case sizePalette:
            return s.paletteDisplay ? 256 : 0;
        case numReserved:
            return s.paletteDisplay ? statics : 0;
        default:
            return 0;
    }
}

uint32_t Display::systemPaletteUse() {
    State& s = state();
    std::lock_guard guard(s.lock);
    return s.paletteDisplay ? s.use : sysPalNoStatic;
}

uint32_t Display::setSystemPaletteUse(uint32_t use) {
    State& s = state();
    std::lock_guard guard(s.lock);
    if (!s.paletteDisplay || (use != sysPalStatic && use != sysPalNoStatic)) return sysPalError;
    uint32_t previous = s.use;
    s.use = use;
    s.placeStatics();
    return previous;
}

uint32_t Display::systemPaletteEntries(uint32_t start, std::span<PaletteEntry> out) {
    State& s = state();
    std::lock_guard guard(s.lock);
    if (!s.paletteDisplay || start >= s.system.size()) return 0;
    std::size_t count = std::min(out.size(), s.system.size() - start);
    std::copy_n(s.system.begin() + start, count, out.begin());
    return static_cast<uint32_t>(count);
}

uint32_t Display::realize(const Palette& palette, bool background) {
    State& s = state();
    std::lock_guard guard(s.lock);
    const Palette& mapped = palette;
    mapped.realised = true;
    if (!s.paletteDisplay) {
        for (uint32_t i = 0; i < mapped.systemSlot.size(); ++i)
            mapped.systemSlot[i] = static_cast<uint8_t>(i);
        return 0;
    }
    if (background) {
        for (uint32_t i = 0; i < palette.colours.size(); ++i)
            mapped.systemSlot[i] = s.nearestSlot(palette.colours[i], false);
        return 0;
    }
    uint32_t changed = 0;
    for (uint32_t i = 0; i < palette.colours.size(); ++i) {
        const PaletteEntry& colour = palette.colours[i];
        if (s.isStatic(i)) {
            mapped.systemSlot[i] = s.nearestSlot(colour, true);
            continue;
        }
        PaletteEntry wanted{colour.red, colour.green, colour.blue, 0};
        if (s.system[i] != wanted) {
            s.system[i] = wanted;
            ++changed;
        }
        mapped.systemSlot[i] = static_cast<uint8_t>(i);
    }
    s.foreground = &palette;
    return changed;
}

void Display::surfaceValues(const Palette* palette, std::span<const RgbQuad, 256> colours,
                            std::array<uint32_t, 256>& values) {
    State& s = state();
    std::lock_guard guard(s.lock);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const RgbQuad& colour = colours[i];
        if (!s.paletteDisplay) {
            values[i] = packed(colour.red, colour.green, colour.blue);
            continue;
        }
        uint8_t slot;
        if (palette && palette->realised)
            slot = palette->systemSlot[nearestEntry(palette->colours, colour)];
        else
            slot = s.nearestSlot(colour, palette == nullptr);
        values[i] = slotFlag | slot;
    }
}

void Display::resolve(std::span<uint32_t> values) {
    State& s = state();
    std::lock_guard guard(s.lock);
    for (uint32_t& value : values) {
        if (value & slotFlag) {
            const PaletteEntry& entry = s.system[value & 0xff];
            value = packed(entry.red, entry.green, entry.blue);
        } else {
            value &= 0xffffff;
        }
    }
}

void Display::forget(const Palette& palette) {
    State& s = state();
    std::lock_guard guard(s.lock);
    if (s.foreground == &palette) s.foreground = nullptr;
}

uint32_t Display::animate(Palette& palette, uint32_t start,
                          std::span<const PaletteEntry> replacement) {
    State& s = state();
    std::lock_guard guard(s.lock);
    uint32_t changed = 0;
    for (std::size_t k = 0; k < replacement.size(); ++k) {
        std::size_t index = start + k;
        if (index >= palette.colours.size()) break;
        PaletteEntry& entry = palette.colours[index];
        if (!(entry.flags & Palette::reserved)) continue;
        entry.red = replacement[k].red;
        entry.green = replacement[k].green;
        entry.blue = replacement[k].blue;
        ++changed;
        uint8_t slot = palette.systemSlot[index];
        if (s.paletteDisplay && s.foreground == &palette && !s.isStatic(slot))
            s.system[slot] = {entry.red, entry.green, entry.blue, 0};
    }
    return changed;
}

PaletteEntry Display::entry(const Palette& palette, uint32_t index) {
    State& s = state();
    std::lock_guard guard(s.lock);
    return index < palette.colours.size() ? palette.colours[index] : PaletteEntry{};
}

uint32_t Display::entries(const Palette& palette, uint32_t start, std::span<PaletteEntry> out) {
    State& s = state();
    std::lock_guard guard(s.lock);
    if (start >= palette.colours.size()) return 0;
    std::size_t count = std::min(out.size(), palette.colours.size() - start);
    std::copy_n(palette.colours.begin() + start, count, out.begin());
    return static_cast<uint32_t>(count);
}

}  // namespace platform
