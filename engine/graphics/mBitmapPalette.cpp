#include <algorithm>
#include <span>
#include <vector>

#include "engine/base/ColourDistance.h"
#include "engine/base/LittleEndian.h"
#include "engine/core/mFile.h"
#include "engine/graphics/DefaultColours.h"
#include "engine/graphics/mBitmap.h"
#include "engine/platform/DeviceContext.h"
#include "engine/platform/Display.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Module.h"
#include "engine/platform/Palette.h"

using platform::Display;
using platform::Palette;
using platform::PaletteEntry;

namespace {

// Room for the 256 entries of a logical palette, for the length of one call.
struct PaletteBlock {
    std::unique_ptr<uint8_t[]> memory = platform::Memory::allocate(256 * sizeof(PaletteEntry));
    std::span<PaletteEntry, 256> entries() {
        return std::span<PaletteEntry, 256>(reinterpret_cast<PaletteEntry*>(memory.get()), 256);
    }
};

PaletteEntry entryOf(const RgbQuad& colour, uint8_t flags) {
    return {colour.red, colour.green, colour.blue, flags};
}

// The colours of a "PAL " form's "data" chunk (a version, a count and red, green, blue, flags
// entries) into `out`; false when the resource holds no such chunk.
bool loadPaletteResource(std::span<const uint8_t> resource, RgbQuad* out) {
    std::vector<uint8_t> block(resource.begin(), resource.end());
    mFile file;
    file.openMemory(block.data(), static_cast<int32_t>(block.size()));
    bool found = file.descendRiff(mFile::fourCC("PAL ")) && file.findChunk(mFile::fourCC("data"));
    if (found) {
        int64_t available = std::min<int64_t>(file.chunkSize, file.dataEnd - file.cursor);
        found = available >= 4;
        if (found) {
            const uint8_t* data = file.cursor;
            int64_t count =
                std::min<int64_t>({littleEndian::load16(data + 2), 256, (available - 4) / 4});
            for (int64_t i = 0; i < count; ++i) {
                const uint8_t* entry = data + 4 + 4 * i;
                out[i] = {entry[2], entry[1], entry[0], 0};
            }
        }
    }
    file.close();
    return found;
}

}  // namespace

std::unique_ptr<Palette> mBitmap::createPalette() const {
    if (info->bitsPerPixel > 8 || !info->colorTable) return nullptr;
    PaletteBlock block;
    if (!block.memory) return nullptr;
    auto count = static_cast<std::size_t>(1) << info->bitsPerPixel;
    auto entries = block.entries().first(count);
    for (std::size_t i = 0; i < count; ++i)
        entries[i] = entryOf(info->colorTable[i], 0);
    return Palette::create(entries);
}

std::unique_ptr<Palette> mBitmap::createIdentityPalette(bool remapPixels) {
    if (info->bitsPerPixel > 8 || !info->colorTable) return nullptr;
    PaletteBlock block;
    auto screen = Display::getDC();
    if (!block.memory || !screen) return nullptr;
    auto result = block.entries();

    // Empty the system palette of other programs' colours by realising it as it stands.
    Display::systemPaletteEntries(0, result);
    for (PaletteEntry& entry : result)
        entry.flags = Palette::noCollapse;
    if (auto flush = Palette::create(result)) {
        const Palette* previous = screen->selectPalette(flush.get(), false);
        screen->realizePalette();
        screen->selectPalette(previous, false);
    }

    int32_t count = 1 << info->bitsPerPixel;
    const RgbQuad* colours = info->colorTable;
    bool statics = Display::systemPaletteUse() != Display::sysPalNoStatic &&
                   (Display::deviceCaps(Display::rasterCaps) & Display::rcPalette);
    if (statics) {
        int32_t n = std::clamp(Display::deviceCaps(Display::numColors), 0, 256) / 2;
        for (int32_t i = 0; i < 256; ++i) {
            bool fixed = i < n || i >= 256 - n;
            result[i].flags = fixed ? 0 : Palette::reserved;
            if (!fixed && i < count - n) result[i] = entryOf(colours[i], Palette::reserved);
        }
    } else {
        for (int32_t i = 0; i < 256; ++i)
            result[i] = i < count ? entryOf(colours[i], Palette::reserved)
                                  : PaletteEntry{result[i].red, result[i].green, result[i].blue,
                                                 Palette::reserved};
        result[0] = {0, 0, 0, 0};
        result[255] = {255, 255, 255, 0};
    }
    screen.reset();

    std::array<RgbQuad, 256> table{};
    std::transform(result.begin(), result.end(), table.begin(), [](const PaletteEntry& entry) {
        return RgbQuad{entry.blue, entry.green, entry.red, 0};
    });
    if (remapPixels)
        setColorsRemap(table.data(), 0, 256);
    else
        setColors(table.data(), 0, 256);
    return Palette::create(result);
}

int32_t mBitmap::nearestColor(RgbQuad rgb) const {
    if (info->bitsPerPixel > 8 || !info->colorTable) return 0;
    uint32_t bestDistance = UINT32_MAX;
    int32_t result = -1;
    for (int32_t i = 0; i < 1 << info->bitsPerPixel; ++i) {
        uint32_t distance = platform::colourDistance(rgb, info->colorTable[i]);
        if (distance < bestDistance) {
            result = i;
            bestDistance = distance;
            if (distance <= 1) return i;
        }
    }
    return result;
}

void mBitmap::setColorsRemap(const RgbQuad* entries, int32_t start, int32_t count) {
    if (info->bitsPerPixel > 8 || !info->colorTable) return;
    int32_t colours = 1 << info->bitsPerPixel;
    std::array<RgbQuad, 256> old{};
    std::copy_n(info->colorTable, colours, old.begin());
    setColors(entries, start, count);

    std::array<uint8_t, 256> map{};
    bool identity = true;
    for (int32_t i = 0; i < colours; ++i) {
        bool same = info->colorTable[i].sameColour(old[i]);
        map[i] = static_cast<uint8_t>(same ? i : nearestColor(old[i]));
        identity = identity && map[i] == i;
    }
    if (identity) return;

    // Every byte of the pixel memory, padding included; smaller pixels field by field.
    int32_t depth = info->bitsPerPixel;
    auto fieldMask = static_cast<uint8_t>(colours - 1);
    uint8_t* end = info->bits + int64_t{info->stride} * info->height;
    for (uint8_t* pixel = info->bits; pixel < end; ++pixel) {
        if (depth == 8) {
            *pixel = map[*pixel];
            continue;
        }
        uint8_t mapped = 0;
        for (int32_t shift = 8 - depth; shift >= 0; shift -= depth)
            mapped = static_cast<uint8_t>(mapped | map[*pixel >> shift & fieldMask] << shift);
        *pixel = mapped;
    }
    uint32_t key = transparentIndex & 0xff;
    if (key < static_cast<uint32_t>(colours))
        transparentIndex = (transparentIndex & ~0xffu) | map[key];
}

int32_t mBitmap::loadDefaultColours(RgbQuad* out) {
    if (mObject::stringModule) {
        auto resource = mObject::stringModule->findResource("PALETTE", "default");
        if (!resource.empty() && loadPaletteResource(resource, out)) return 0;
    }
    DefaultColours::copyTo(out);
    return 0;
}
