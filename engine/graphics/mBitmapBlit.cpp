#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "engine/base/ColourDistance.h"
#include "engine/graphics/mBitmap.h"
#include "engine/platform/Memory.h"

namespace {

// Eight pixels are scanned as one 64-bit word; a byte-wise test on the whole word needs no
// particular byte order, because every word is loaded and stored the same way.
constexpr uint64_t lowBits = 0x0101010101010101;
constexpr uint64_t lowSevenBits = 0x7F7F7F7F7F7F7F7F;
constexpr uint64_t highBits = 0x8080808080808080;
constexpr std::size_t wordPixels = sizeof(uint64_t);

// A remap table always has an entry for every byte value, whatever the depth of its bitmap,
// so that no pixel byte can index past it.
constexpr std::size_t remapEntries = 256;

uint64_t loadWord(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

void storeWord(uint8_t* p, uint64_t word) {
    std::memcpy(p, &word, sizeof word);
}

// High bit set in exactly those bytes of `word` that are zero. Unlike the usual "has a zero
// byte" trick no borrow crosses a byte, so the mask is exact for every byte.
uint64_t zeroBytes(uint64_t word) {
    return ~(((word & lowSevenBits) + lowSevenBits) | word | lowSevenBits);
}

// 0xFF in the bytes flagged by zeroBytes, 0 elsewhere.
uint64_t byteMask(uint64_t flags) {
    return (flags >> 7) * 0xFF;
}

// Writes the bytes of `pixels` whose source byte was not the key; `keyFlags` marks the keys.
void placeWord(uint8_t* target, uint64_t pixels, uint64_t keyFlags) {
    if (keyFlags == highBits) return;
    if (keyFlags == 0) {
        storeWord(target, pixels);
        return;
    }
    const uint64_t keep = byteMask(keyFlags);
    storeWord(target, (loadWord(target) & keep) | (pixels & ~keep));
}

// Eight translated pixels; byte-wise loads keep the work to two loads per pixel.
uint64_t remapWord(const uint8_t* source, const uint8_t* table) {
    std::array<uint8_t, wordPixels> mapped{};
    for (std::size_t i = 0; i < wordPixels; ++i)
        mapped[i] = table[source[i]];
    return loadWord(mapped.data());
}

// The rows of a copy: `rowCopy(destination, source, width)` for each row of the rectangle.
template <typename RowCopy>
void eachRow(const SurfaceInfo& from, SurfaceInfo& to, const Rect& rect, int32_t sourceX,
             int32_t sourceY, RowCopy rowCopy) {
    if (rect.isEmpty()) return;
    assert(rect.left >= 0 && rect.top >= 0 && rect.right <= to.width && rect.bottom <= to.height);
    assert(sourceX >= 0 && sourceY >= 0 && int64_t{sourceX} + rect.width() <= from.width &&
           int64_t{sourceY} + rect.height() <= from.height);
    const auto width = static_cast<std::size_t>(rect.width());
    for (int32_t row = 0; row < rect.height(); ++row) {
        const uint8_t* source =
            from.topRow + std::ptrdiff_t{sourceY + row} * from.rowStep + sourceX;
        uint8_t* target = to.topRow + std::ptrdiff_t{rect.top + row} * to.rowStep + rect.left;
        rowCopy(target, source, width);
    }
}

void transparentRow(uint8_t* target, const uint8_t* source, std::size_t width, uint8_t key) {
    const uint64_t keys = key * lowBits;
    std::size_t x = 0;
    // Two words per test: sprites are mostly long runs of key or of picture.
    for (; x + 2 * wordPixels <= width; x += 2 * wordPixels) {
        const uint64_t first = loadWord(source + x);
        const uint64_t second = loadWord(source + x + wordPixels);
        const uint64_t firstKeys = zeroBytes(first ^ keys);
        const uint64_t secondKeys = zeroBytes(second ^ keys);
        if ((firstKeys | secondKeys) == 0) {
            std::memcpy(target + x, source + x, 2 * wordPixels);
        } else if ((firstKeys & secondKeys) != highBits) {
            placeWord(target + x, first, firstKeys);
            placeWord(target + x + wordPixels, second, secondKeys);
        }
    }
    for (; x + wordPixels <= width; x += wordPixels) {
        const uint64_t pixels = loadWord(source + x);
        placeWord(target + x, pixels, zeroBytes(pixels ^ keys));
    }
    for (; x < width; ++x) {
        if (source[x] != key) target[x] = source[x];
    }
}

void remappedRow(uint8_t* target, const uint8_t* source, std::size_t width, const uint8_t* table) {
    std::size_t x = 0;
    for (; x + wordPixels <= width; x += wordPixels) {
        storeWord(target + x, remapWord(source + x, table));
    }
    for (; x < width; ++x)
        target[x] = table[source[x]];
}

void transparentRemappedRow(uint8_t* target, const uint8_t* source, std::size_t width, uint8_t key,
                            const uint8_t* table) {
    const uint64_t keys = key * lowBits;
    std::size_t x = 0;
    for (; x + wordPixels <= width; x += wordPixels) {
        const uint64_t keyFlags = zeroBytes(loadWord(source + x) ^ keys);
        if (keyFlags != highBits) placeWord(target + x, remapWord(source + x, table), keyFlags);
    }
    for (; x < width; ++x) {
        if (source[x] != key) target[x] = table[source[x]];
    }
}

// The nearest entries an earlier build found, by colour: palette animation mostly moves
// colours to other entries, and a colour searched before need not be searched again.
class SearchedColours {
  public:
    void add(const RgbQuad& colour, uint8_t nearest) {
        const uint32_t key = keyOf(colour);
        std::size_t slot = slotOf(key);
        while (keys[slot] != 0 && keys[slot] != key)
            slot = (slot + 1) % slots;
        keys[slot] = key;
        values[slot] = nearest;
    }
    // The nearest entry found for `colour`, or -1.
    int32_t find(const RgbQuad& colour) const {
        const uint32_t key = keyOf(colour);
        for (std::size_t slot = slotOf(key); keys[slot] != 0; slot = (slot + 1) % slots)
            if (keys[slot] == key) return values[slot];
        return -1;
    }

  private:
    // Twice the most colours a table holds, so that a probe always ends at an empty slot.
    static constexpr std::size_t slots = 512;
    static uint32_t keyOf(const RgbQuad& colour) {
        return 1u << 24 | uint32_t{colour.red} << 16 | uint32_t{colour.green} << 8 | colour.blue;
    }
    static std::size_t slotOf(uint32_t key) { return (key * 2654435761u) >> 23; }
    std::array<uint32_t, slots> keys{};  // 0 for an empty slot
    std::array<uint8_t, slots> values{};
};

// Brings the source's remap table up to date for `destination`; true when the copy must
// translate. Without a table (never built, or its memory could not be had) pixels go raw.
bool remapInUse(mBitmap& source, mBitmap& destination) {
    if (source.remapTarget != &destination ||
        source.remapSerial != static_cast<uint32_t>(destination.info->paletteSerial)) {
        source.buildRemap(&destination);
    }
    return source.remapNeeded != 0 && source.remapTable != nullptr;
}

bool hasColourTable(const SurfaceInfo& surface) {
    return surface.bitsPerPixel >= 1 && surface.bitsPerPixel <= 8 && surface.colorTable != nullptr;
}

// Entries of the colour table; a shallower bitmap may hold no room for more.
std::size_t colourCount(const SurfaceInfo& surface) {
    return std::size_t{1} << surface.bitsPerPixel;
}

// The copies move one byte per pixel; narrower pixels would run them past the rows.
bool bytePixels(const SurfaceInfo& surface) {
    return surface.bitsPerPixel >= 8;
}

}  // namespace

void mBitmap::copyOpaque(mBitmap& destination, const Rect& rect, int32_t sourceX,
                         int32_t sourceY) const {
    eachRow(*info, *destination.info, rect, sourceX, sourceY,
            [](uint8_t* target, const uint8_t* source, std::size_t width) {
                std::memmove(target, source, width);
            });
}

void mBitmap::copyTransparent(mBitmap& destination, const Rect& rect, int32_t sourceX,
                              int32_t sourceY) const {
    const auto key = static_cast<uint8_t>(transparentIndex);
    eachRow(*info, *destination.info, rect, sourceX, sourceY,
            [key](uint8_t* target, const uint8_t* source, std::size_t width) {
                transparentRow(target, source, width, key);
            });
}

void mBitmap::copyRemapped(mBitmap& destination, const Rect& rect, int32_t sourceX,
                           int32_t sourceY) {
    if (!remapInUse(*this, destination)) {
        copyOpaque(destination, rect, sourceX, sourceY);
        return;
    }
    const uint8_t* table = remapTable;
    eachRow(*info, *destination.info, rect, sourceX, sourceY,
            [table](uint8_t* target, const uint8_t* source, std::size_t width) {
                remappedRow(target, source, width, table);
            });
}

void mBitmap::copyTransparentRemapped(mBitmap& destination, const Rect& rect, int32_t sourceX,
                                      int32_t sourceY) {
    if (!remapInUse(*this, destination)) {
        copyTransparent(destination, rect, sourceX, sourceY);
        return;
    }
    const uint8_t* table = remapTable;
    const auto key = static_cast<uint8_t>(transparentIndex);
    eachRow(*info, *destination.info, rect, sourceX, sourceY,
            [table, key](uint8_t* target, const uint8_t* source, std::size_t width) {
                transparentRemappedRow(target, source, width, key, table);
            });
}

void mBitmap::copyByDrawMode(mBitmap& destination, const Rect& rect, int32_t sourceX,
                             int32_t sourceY) {
    switch (drawMode) {
        case 0:
            copyOpaque(destination, rect, sourceX, sourceY);
            break;
        case drawTransparent:
            copyTransparent(destination, rect, sourceX, sourceY);
            break;
        case drawRemap:
            copyRemapped(destination, rect, sourceX, sourceY);
            break;
        case drawTransparent | drawRemap:
            copyTransparentRemapped(destination, rect, sourceX, sourceY);
            break;
        default:
            break;
    }
}

int32_t mBitmap::buildRemap(mBitmap* destination) {
    if (destination == nullptr) {
        // Forget the destination too, so that no copy trusts a table that is gone.
        remapHandle.reset();
        remapTable = nullptr;
        remapBasis.reset();
        remapNeeded = 0;
        remapTarget = nullptr;
        return 0;
    }
    const SurfaceInfo& from = *info;
    const SurfaceInfo& to = *destination->info;
    if (!hasColourTable(from) || !hasColourTable(to)) return 0;
    const bool built = remapTable != nullptr && remapBasis;
    if (remapTable == nullptr) {
        remapHandle = platform::Memory::allocate(remapEntries);
        if (!remapHandle) {
            reportError(idBitmap, errOutOfMemory, nullptr);
            return 0;
        }
        remapTable = remapHandle.get();
    }
    if (!remapBasis) remapBasis = std::make_unique<RemapBasis>();
    RemapBasis& basis = *remapBasis;
    const std::span<uint8_t, remapEntries> table(remapTable, remapEntries);
    const std::span<const RgbQuad> sourceColours(from.colorTable, colourCount(from));
    const std::span<const RgbQuad> destinationColours(to.colorTable, colourCount(to));
    if (!built || !refreshRemap(*destination, sourceColours, destinationColours, basis, table)) {
        for (std::size_t i = 0; i < remapEntries; ++i) {
            auto entry = static_cast<uint8_t>(i);
            if (i < sourceColours.size() && (i >= destinationColours.size() ||
                                             !sourceColours[i].sameColour(destinationColours[i])))
                entry = static_cast<uint8_t>(destination->nearestColor(sourceColours[i]));
            table[i] = entry;
        }
    }
    std::copy(sourceColours.begin(), sourceColours.end(), basis.source.begin());
    std::copy(destinationColours.begin(), destinationColours.end(), basis.destination.begin());
    basis.sourceColours = sourceColours.size();
    basis.destinationColours = destinationColours.size();
    std::copy(table.begin(), table.end(), basis.table.begin());

    bool identity = true;
    for (std::size_t i = 0; i < remapEntries; ++i)
        identity = identity && table[i] == i;
    remapNeeded = identity ? 0 : 1;
    remapTarget = destination;
    remapSerial = static_cast<uint32_t>(to.paletteSerial);
    return remapNeeded;
}

// Brings the table built from `basis` up to date when few destination colours changed
// (palette animation on either side), giving each entry exactly what a full build would;
// false (table untouched) when a full build is due. An entry whose colour is still at the same
// index maps to itself. Else its colour's nearest entry as the basis knows it (its own entry's,
// or another's of the same colour) stays nearest unless a changed destination entry is nearer;
// where that nearest entry changed, or the basis does not know the colour, it is searched anew.
bool mBitmap::refreshRemap(const mBitmap& destination, std::span<const RgbQuad> sourceColours,
                           std::span<const RgbQuad> destinationColours, const RemapBasis& basis,
                           std::span<uint8_t, 256> table) const {
    if (basis.sourceColours != sourceColours.size() ||
        basis.destinationColours != destinationColours.size() ||
        !std::equal(table.begin(), table.end(), basis.table.begin()))
        return false;
    std::array<bool, remapEntries> changed{};
    std::array<uint8_t, remapEntries> changes{};
    std::size_t changeCount = 0;
    for (std::size_t j = 0; j < destinationColours.size(); ++j) {
        if (destinationColours[j].sameColour(basis.destination[j])) continue;
        changed[j] = true;
        changes[changeCount++] = static_cast<uint8_t>(j);
    }
    // Past half the colours a full search costs no more.
    if (changeCount * 2 > destinationColours.size()) return false;
    std::array<bool, remapEntries> sourceChanged{};
    bool anySourceChanged = false;
    for (std::size_t i = 0; i < sourceColours.size(); ++i) {
        sourceChanged[i] = !sourceColours[i].sameColour(basis.source[i]);
        anySourceChanged = anySourceChanged || sourceChanged[i];
    }
    SearchedColours searched;
    for (std::size_t k = 0; anySourceChanged && k < sourceColours.size(); ++k) {
        const bool sameIndex =
            k < destinationColours.size() && basis.source[k].sameColour(basis.destination[k]);
        if (!sameIndex) searched.add(basis.source[k], table[k]);
    }
    // nearestColor's choice as one number: the first entry within a distance of 1, else the
    // first of the least distance.
    auto rank = [](uint32_t distance, std::size_t entry) {
        return (distance <= 1 ? uint64_t{0} : uint64_t{distance}) << 8 | entry;
    };
    for (std::size_t i = 0; i < sourceColours.size(); ++i) {
        const RgbQuad colour = sourceColours[i];
        if (i < destinationColours.size() && colour.sameColour(destinationColours[i])) {
            table[i] = static_cast<uint8_t>(i);
            continue;
        }
        int32_t known = sourceChanged[i] ? searched.find(colour) : table[i];
        // Unchanged on its side but no longer at its own index: the basis mapped it to itself.
        if (!sourceChanged[i] && i < destinationColours.size() && changed[i]) known = -1;
        if (known < 0 || changed[static_cast<std::size_t>(known)]) {
            table[i] = static_cast<uint8_t>(destination.nearestColor(colour));
            continue;
        }
        const auto nearest = static_cast<std::size_t>(known);
        uint64_t best =
            rank(platform::colourDistance(colour, destinationColours[nearest]), nearest);
        for (std::size_t k = 0; k < changeCount; ++k) {
            uint8_t j = changes[k];
            best = std::min(best, rank(platform::colourDistance(colour, destinationColours[j]), j));
        }
        table[i] = static_cast<uint8_t>(best & 0xff);
    }
    return true;
}

void mBitmap::blit(mBitmap& destination, const Rect& rect, int32_t sourceX, int32_t sourceY) {
    const SurfaceInfo& from = *info;
    const SurfaceInfo& to = *destination.info;
    if (!bytePixels(from) || !bytePixels(to)) return;

    Rect clipped = rect;
    clipped.left = std::max(clipped.left, 0);
    clipped.top = std::max(clipped.top, 0);
    clipped.right = std::min(clipped.right, to.width);
    clipped.bottom = std::min(clipped.bottom, to.height);
    if (clipped.isEmpty()) return;

    // A negative source position is raised to 0 while the destination rectangle stays put.
    const int32_t sx = std::max(sourceX, 0);
    const int32_t sy = std::max(sourceY, 0);
    // Sums in 64 bits: a source position near the 32-bit limit must not wrap into range.
    if (int64_t{clipped.width()} + sx > from.width) {
        if (sx > from.width) return;
        clipped.right = clipped.left + (from.width - sx);
    }
    if (int64_t{clipped.height()} + sy > from.height) {
        if (sy > from.height) return;
        clipped.bottom = clipped.top + (from.height - sy);
    }
    if (clipped.isEmpty()) return;
    copyByDrawMode(destination, clipped, sx, sy);
}

void mBitmap::fillRects(uint8_t colorIndex, const Rect* rects, int32_t count) {
    const SurfaceInfo& own = *info;
    if (rects == nullptr || count <= 0 || !bytePixels(own)) return;
    for (const Rect& given : std::span(rects, static_cast<std::size_t>(count))) {
        // Kept inside the bitmap, so that a stray rectangle cannot write past the pixels.
        const Rect rect{std::max(given.left, 0), std::max(given.top, 0),
                        std::min(given.right, own.width), std::min(given.bottom, own.height)};
        if (rect.isEmpty()) continue;
        const int32_t firstRow = own.topDown != 0 ? rect.top : own.height - rect.bottom;
        const auto width = static_cast<std::size_t>(rect.width());
        for (int32_t row = 0; row < rect.height(); ++row) {
            uint8_t* start = own.bits + std::ptrdiff_t{firstRow + row} * own.stride + rect.left;
            std::memset(start, colorIndex, width);
        }
    }
}
