#include "engine/platform/DeviceContext.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/base/PackedPixels.h"
#include "engine/platform/Display.h"
#include "engine/platform/Palette.h"
#include "engine/platform/Section.h"

namespace platform {

// The pixels a copy reads: displayed row y lies at memory row y (top-down) or height − 1 − y.
struct DeviceContext::Source {
    const uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 8;
    int64_t stride = 0;
    bool topDown = false;
    std::array<RgbQuad, 256> colours{};

    const uint8_t* row(int32_t y) const {
        int64_t memoryRow = topDown ? y : height - 1 - y;
        return bits + memoryRow * stride;
    }
};

DeviceContext::~DeviceContext() = default;

const Palette* DeviceContext::selectPalette(const Palette* selected, bool inBackground) {
    const Palette* previous = palette;
    palette = selected;
    background = inBackground;
    return previous;
}

uint32_t DeviceContext::realizePalette() {
    if (!palette || !isDisplay()) return 0;
    return Display::realize(*palette, background);
}

bool DeviceContext::bitBlt(int32_t x, int32_t y, int32_t blockWidth, int32_t blockHeight,
                           const DeviceContext& source, int32_t sourceX, int32_t sourceY) {
    const Section* section = source.selectedSection();
    if (!section) return false;
    Source pixels;
    pixels.bits = section->bits();
    pixels.width = section->width();
    pixels.height = section->height();
    pixels.bitsPerPixel = section->bitsPerPixel();
    pixels.stride = section->stride();
    pixels.colours = section->colours();
    transfer(pixels, x, y, blockWidth, blockHeight, sourceX, sourceY, blockWidth, blockHeight);
    return true;
}

int32_t DeviceContext::stretchDIBits(int32_t x, int32_t y, int32_t blockWidth, int32_t blockHeight,
                                     int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                                     int32_t sourceHeight, const void* bits,
                                     const BitmapInfoHeader* info) {
    if (!bits || !info || info->size < sizeof(BitmapInfoHeader) || info->compression != 0) return 0;
    int32_t depth = info->bitCount;
    if (depth != 1 && depth != 4 && depth != 8) return 0;
    if (info->width <= 0 || info->height == 0 || info->height == INT32_MIN) return 0;

    Source pixels;
    pixels.bits = static_cast<const uint8_t*>(bits);
    pixels.width = info->width;
    pixels.topDown = info->height < 0;
    pixels.height = pixels.topDown ? -info->height : info->height;
    pixels.bitsPerPixel = depth;
    pixels.stride = Section::strideFor(pixels.width, depth);
    uint32_t colourCount = 1u << depth;
    if (info->clrUsed != 0 && info->clrUsed < colourCount) colourCount = info->clrUsed;
    std::memcpy(pixels.colours.data(), reinterpret_cast<const uint8_t*>(info) + info->size,
                colourCount * sizeof(RgbQuad));
    return transfer(pixels, x, y, blockWidth, blockHeight, sourceX, sourceY, sourceWidth,
                    sourceHeight);
}

int32_t DeviceContext::transfer(const Source& source, int32_t x, int32_t y, int32_t blockWidth,
                                int32_t blockHeight, int32_t sourceX, int32_t sourceY,
                                int32_t sourceWidth, int32_t sourceHeight) {
    if (blockWidth <= 0 || blockHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return 0;

    // Source column or row of each destination one, scaled; only those inside both the
    // target and the source picture are written.
    auto sourceColumn = [&](int64_t column) {
        return sourceX + (column - x) * sourceWidth / blockWidth;
    };
    auto sourceRow = [&](int64_t row) { return sourceY + (row - y) * sourceHeight / blockHeight; };
    int64_t left = std::max<int64_t>(x, 0);
    int64_t right = std::min<int64_t>(int64_t{x} + blockWidth, width());
    int64_t top = std::max<int64_t>(y, 0);
    int64_t bottom = std::min<int64_t>(int64_t{y} + blockHeight, height());
    while (left < right && sourceColumn(left) < 0)
        ++left;
    while (left < right && sourceColumn(right - 1) >= source.width)
        --right;
    while (top < bottom && sourceRow(top) < 0)
        ++top;
    while (top < bottom && sourceRow(bottom - 1) >= source.height)
        --bottom;
    if (left >= right || top >= bottom) return blockHeight;

    std::array<uint32_t, 256> values{};
    translate(source.colours, values);
    const Rect stored{static_cast<int32_t>(left), static_cast<int32_t>(top),
                      static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
    if (source.bitsPerPixel == 8 && sourceWidth == blockWidth && sourceHeight == blockHeight) {
        // Unscaled 8-bit rows follow each other in the source's memory.
        const uint8_t* first =
            source.row(static_cast<int32_t>(sourceRow(top))) + sourceColumn(left);
        std::ptrdiff_t step = source.topDown ? source.stride : -source.stride;
        if (storeIndexed(stored, first, step, values)) {
            written(stored);
            return blockHeight;
        }
    }
    std::vector<int32_t> columns;
    columns.reserve(static_cast<std::size_t>(right - left));
    for (int64_t column = left; column < right; ++column)
        columns.push_back(static_cast<int32_t>(sourceColumn(column)));
    // Written in bands of rows, so that a copy of the whole picture needs no second picture.
    const std::size_t rowWidth = columns.size();
    const int64_t bandRows = std::max<int64_t>(1, static_cast<int64_t>(bandPixels / rowWidth));
    const bool plain = source.bitsPerPixel == 8 && sourceWidth == blockWidth;
    std::vector<uint32_t> band(rowWidth *
                               static_cast<std::size_t>(std::min(bandRows, bottom - top)));
    for (int64_t bandTop = top; bandTop < bottom; bandTop += bandRows) {
        int64_t bandBottom = std::min(bandTop + bandRows, bottom);
        uint32_t* to = band.data();
        for (int64_t row = bandTop; row < bandBottom; ++row) {
            const uint8_t* pixels = source.row(static_cast<int32_t>(sourceRow(row)));
            if (plain) {
                // Unscaled 8-bit rows: the columns follow each other.
                const uint8_t* from = pixels + columns.front();
                for (std::size_t k = 0; k < rowWidth; ++k)
                    *to++ = values[from[k]];
                continue;
            }
            for (int32_t column : columns)
                *to++ = values[readPackedPixel(pixels, column, source.bitsPerPixel)];
        }
        Rect part{static_cast<int32_t>(left), static_cast<int32_t>(bandTop),
                  static_cast<int32_t>(right), static_cast<int32_t>(bandBottom)};
        writePixels(part, std::span(band.data(),
                                    rowWidth * static_cast<std::size_t>(bandBottom - bandTop)));
    }
    written(stored);
    return blockHeight;
}

void DeviceContext::translate(std::span<const RgbQuad, 256> colours,
                              std::array<uint32_t, 256>& values) const {
    Display::surfaceValues(palette, colours, values);
}

void DeviceContext::writePixels(const Rect&, std::span<const uint32_t>) {}

bool DeviceContext::storeIndexed(const Rect&, const uint8_t*, std::ptrdiff_t,
                                 const std::array<uint32_t, 256>&) {
    return false;
}

void DeviceContext::written(const Rect&) {}

}  // namespace platform
