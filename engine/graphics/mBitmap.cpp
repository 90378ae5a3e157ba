#include "engine/graphics/mBitmap.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "engine/graphics/DefaultColours.h"
#include "engine/platform/Display.h"
#include "engine/platform/Memory.h"
#include "engine/platform/MemoryContext.h"
#include "engine/platform/Section.h"

namespace {

constexpr int64_t headerSize = sizeof(BitmapInfoHeader);

bool validDepth(int32_t bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

// Size and depth a bitmap can describe: rows, pixels and the whole block countable in 32 bits.
bool validShape(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (!validDepth(bitsPerPixel) || width <= 0 || height == 0) return false;
    if (height == std::numeric_limits<int32_t>::min()) return false;
    int64_t bytes = platform::Section::strideFor(width, bitsPerPixel) * std::abs(height);
    return bytes + headerSize + 1024 <= std::numeric_limits<int32_t>::max();
}

int32_t colourCount(int32_t bitsPerPixel) {
    return bitsPerPixel <= 8 ? 1 << bitsPerPixel : 0;
}

}  // namespace

mBitmap::mBitmap() {
    resetState();
}

mBitmap::mBitmap(int32_t width, int32_t height, int32_t bitsPerPixel) {
    resetState();
    createMemory(width, height, bitsPerPixel);
}

mBitmap::mBitmap(int32_t width, int32_t height) {
    resetState();
    createSection(width, height, 8);
}

mBitmap::mBitmap(const mBitmap& other) : mObject() {
    resetState();
    copyFrom(other);
}

mBitmap& mBitmap::operator=(const mBitmap& other) {
    if (this != &other) copyFrom(other);
    return *this;
}

void mBitmap::copyFrom(const mBitmap& other) {
    const SurfaceInfo& from = *other.info;
    // The copy keeps the row order too, so that its memory matches the original's.
    int32_t height = from.topDown ? -from.height : from.height;
    int32_t created = other.memoryDC ? createSection(from.width, height, from.bitsPerPixel)
                                     : createMemory(from.width, height, from.bitsPerPixel);
    if (created) {
        if (from.colorTable) setColors(from.colorTable, 0, 256);
        if (from.bitsPerPixel == 8) {
            other.copyOpaque(*this, Rect{0, 0, from.width, from.height}, 0, 0);
        } else {
            for (int32_t y = 0; y < from.height; ++y)
                std::copy_n(from.topRow + int64_t{y} * from.rowStep, from.stride,
                            surface.topRow + int64_t{y} * surface.rowStep);
        }
    }
    transparentIndex = other.transparentIndex;
    drawMode = other.drawMode;
}

mBitmap::~mBitmap() {
    if (useCount != 0) {
        reportWarning(idBitmap, errStillInUse, nullptr);
        useCount = 0;
    }
    release();
}

void mBitmap::resetState() {
    info = &surface;
    surface = SurfaceInfo{};
    surface.bits = placeholderPixels.data();
    surface.topRow = placeholderPixels.data();
    remapTable = nullptr;
    remapNeeded = 0;
    remapSerial = 0;
    remapTarget = nullptr;
}

void mBitmap::placeTopRow() {
    surface.topRow = surface.topDown ? surface.bits
                                     : surface.bits + int64_t{surface.height - 1} * surface.stride;
}

std::array<RgbQuad, 256> mBitmap::currentColours() const {
    std::array<RgbQuad, 256> colours{};
    int32_t count = surface.colorTable ? colourCount(surface.bitsPerPixel) : 0;
    if (count < 256) {
        // A palette resource may bring fewer colours: the built-in ones fill the rest.
        DefaultColours::copyTo(colours.data());
        loadDefaultColours(colours.data());
    }
    std::copy_n(surface.colorTable, count, colours.begin());
    return colours;
}

void mBitmap::release() {
    memoryHandle.reset();
    memorySize = 0;
    remapHandle.reset();
    remapBasis.reset();
    if (memoryDC) {
        memoryDC->selectSection(previousBitmap);
        previousBitmap = nullptr;
        memoryDC.reset();
    }
    section.reset();
    header = nullptr;
    bitmapInfo = nullptr;
    resetState();
}

int32_t mBitmap::createMemory(int32_t width, int32_t height, int32_t bitsPerPixel) {
    int32_t colours = validDepth(bitsPerPixel) ? colourCount(bitsPerPixel) : 0;
    std::array<RgbQuad, 256> kept = currentColours();
    release();
    if (!validShape(width, height, bitsPerPixel)) {
        reportError(idBitmap, errBitmap, nullptr);
        return 0;
    }

    bool topDown = height < 0;
    int32_t rows = std::abs(height);
    auto stride = static_cast<int32_t>(platform::Section::strideFor(width, bitsPerPixel));
    auto size = static_cast<std::size_t>(int64_t{stride} * rows + colours * 4 + headerSize);
    auto block = platform::Memory::allocate(size);
    if (!block) {
        reportError(idBitmap, errOutOfMemory, nullptr);
        return 0;
    }
    memoryHandle = std::move(block);
    memorySize = size;

    surface.width = width;
    surface.height = rows;
    surface.bitsPerPixel = bitsPerPixel;
    surface.planes = 1;
    surface.stride = stride;
    surface.topDown = topDown ? 1 : 0;
    surface.rowStep = topDown ? stride : -stride;
    uint8_t* start = memoryHandle.get();
    surface.colorTable = colours ? reinterpret_cast<RgbQuad*>(start + headerSize) : nullptr;
    surface.bits = start + headerSize + colours * 4;
    placeTopRow();

    header = reinterpret_cast<BitmapInfoHeader*>(start);
    *header = BitmapInfoHeader{};
    header->width = width;
    // A top-down block says so in its header, so that painting it keeps the picture upright.
    header->height = topDown ? -rows : rows;
    header->bitCount = static_cast<uint16_t>(bitsPerPixel);
    header->clrUsed = static_cast<uint32_t>(colours);
    bitmapInfo = header;

    std::copy_n(kept.begin(), colours, surface.colorTable);
    return 1;
}

int32_t mBitmap::createSection(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (bitsPerPixel == 0) bitsPerPixel = 8;
    std::array<RgbQuad, 256> prepared = currentColours();
    release();
    if (bitsPerPixel > 8 || !validShape(width, height, bitsPerPixel)) {
        reportError(idBitmap, errBitmap, nullptr);
        return 0;
    }

    auto table = platform::Memory::allocate(sizeof prepared);
    if (!table) {
        reportError(idBitmap, errOutOfMemory, nullptr);
        return 0;
    }
    auto screen = platform::Display::getDC();
    auto context = screen ? platform::MemoryContext::create(screen.get()) : nullptr;
    screen.reset();
    if (!context) {
        reportError(idBitmap, errNoDC, nullptr);
        return 0;
    }
    int32_t rows = std::abs(height);
    auto pixels = platform::Section::create(width, rows, bitsPerPixel, prepared);
    if (!pixels) {
        // Nothing of the section is kept: the bitmap stays the empty placeholder.
        reportError(idBitmap, errOutOfMemory, nullptr);
        return 0;
    }

    memoryHandle = std::move(table);
    memorySize = sizeof prepared;
    memoryDC = std::move(context);
    section = std::move(pixels);
    previousBitmap = memoryDC->selectSection(section.get());

    surface.width = width;
    surface.height = rows;
    surface.bitsPerPixel = bitsPerPixel;
    surface.planes = 1;
    surface.stride = section->stride();
    surface.topDown = 0;
    surface.rowStep = -surface.stride;
    surface.bits = section->bits();
    placeTopRow();
    surface.colorTable = reinterpret_cast<RgbQuad*>(memoryHandle.get());
    std::copy(prepared.begin(), prepared.end(), surface.colorTable);
    return 1;
}

int32_t mBitmap::attachPixels(BitmapInfoHeader* attachedHeader, uint8_t* pixels) {
    release();
    if (!attachedHeader || !pixels) return 0;
    int32_t depth = attachedHeader->bitCount;
    if (!validShape(attachedHeader->width, attachedHeader->height, depth)) return 0;

    header = attachedHeader;
    bitmapInfo = attachedHeader;
    surface.width = attachedHeader->width;
    surface.height = std::abs(attachedHeader->height);
    surface.planes = attachedHeader->planes;
    surface.bitsPerPixel = depth;
    surface.stride = static_cast<int32_t>(platform::Section::strideFor(surface.width, depth));
    surface.topDown = attachedHeader->height < 0 ? 1 : 0;
    surface.rowStep = surface.topDown ? surface.stride : -surface.stride;
    surface.colorTable =
        colourCount(depth)
            ? reinterpret_cast<RgbQuad*>(reinterpret_cast<uint8_t*>(attachedHeader) + headerSize)
            : nullptr;
    surface.bits = pixels;
    placeTopRow();
    return 1;
}

void mBitmap::setColors(const RgbQuad* entries, int32_t start, int32_t count) {
    if (!entries || !surface.colorTable) return;
    int32_t colours = colourCount(surface.bitsPerPixel);
    int64_t first = std::max<int64_t>(start, 0);
    int64_t end = std::min<int64_t>(int64_t{start} + count, colours);
    for (int64_t i = first; i < end; ++i)
        surface.colorTable[i] = entries[i - start];
    if (memoryDC) memoryDC->setDIBColorTable(0, static_cast<uint32_t>(colours), surface.colorTable);
    remapTarget = nullptr;
    ++surface.paletteSerial;
}

void mBitmap::setTransparentIndex(uint32_t index) {
    transparentIndex = index;
    drawMode |= drawTransparent;
}

void mBitmap::setTransparent(bool on) {
    drawMode = on ? drawMode | drawTransparent : drawMode & ~drawTransparent;
}

void mBitmap::setRemap(bool on) {
    drawMode = on ? drawMode | drawRemap : drawMode & ~drawRemap;
}

void mBitmap::setTopDown(bool wanted) {
    // A section's rows are always bottom-up for the platform; turning them would paint the
    // picture upside down.
    if (wanted == (surface.topDown != 0) || section) return;
    auto stride = static_cast<std::size_t>(surface.stride);
    // Swapped through a buffer a piece at a time: swapping byte by byte took 5 ms for a
    // 1920x1080 frame.
    std::array<uint8_t, 1024> spare;
    for (int32_t i = 0; i < surface.height / 2; ++i) {
        uint8_t* upper = surface.bits + static_cast<std::size_t>(i) * stride;
        uint8_t* lower = surface.bits + static_cast<std::size_t>(surface.height - 1 - i) * stride;
        for (std::size_t done = 0; done < stride; done += spare.size()) {
            std::size_t piece = std::min(spare.size(), stride - done);
            std::memcpy(spare.data(), upper + done, piece);
            std::memcpy(upper + done, lower + done, piece);
            std::memcpy(lower + done, spare.data(), piece);
        }
    }
    surface.topDown = wanted ? 1 : 0;
    surface.rowStep = -surface.rowStep;
    placeTopRow();
    if (header) header->height = wanted ? -surface.height : surface.height;
}

void mBitmap::draw(platform::DeviceContext& dc, const Rect& rect, int32_t sourceX,
                   int32_t sourceY) const {
    int64_t width = int64_t{rect.right} - rect.left;
    int64_t height = int64_t{rect.bottom} - rect.top;
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return;
    auto w = static_cast<int32_t>(width);
    auto h = static_cast<int32_t>(height);
    if (memoryDC)
        dc.bitBlt(rect.left, rect.top, w, h, *memoryDC, sourceX, sourceY);
    else
        dc.stretchDIBits(rect.left, rect.top, w, h, sourceX, sourceY, w, h, surface.bits,
                         bitmapInfo);
}
