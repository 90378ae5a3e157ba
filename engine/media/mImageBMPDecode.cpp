#include <algorithm>
#include <cstring>

#include "engine/core/InPlaceReader.h"
#include "engine/media/mImageBMP.h"
#include "engine/platform/Memory.h"

// Row reading. Uncompressed rows are read in the order the file stores them, each from the
// byte that holds its first visible column; rows the data does not reach are left as they
// were. Run-length data is decoded from its first row on, and draws the whole visible part:
// pixels it passes over (deltas, early line and picture ends, data that ends) are colour 0.

namespace {

constexpr uint8_t endOfLine = 0;
constexpr uint8_t endOfBitmap = 1;
constexpr uint8_t delta = 2;

}  // namespace

uint8_t* mImageBMP::destinationRow(int32_t row) const {
    const SurfaceInfo& surface = *destination->info;
    return surface.topRow + static_cast<std::ptrdiff_t>(row) * surface.rowStep;
}

void mImageBMP::drawRows(const VisibleArea& area) {
    const Rect& shown = area.source;
    const SurfaceInfo& surface = *destination->info;
    const bool direct =
        surface.bitsPerPixel == bitsPerPixel && surface.planes == 1 && bitsPerPixel % 8 == 0;
    const PixelConversion conversion(*destination, {bitsPerPixel, 1, rowBytes}, masks);
    if (!direct && !conversion.convertible()) return;
    std::unique_ptr<uint8_t[]> line;
    if (!direct) {
        line = platform::Memory::allocate(static_cast<std::size_t>(rowBytes));
        if (!line) {
            reportError(idImageBMP, errOutOfMemory, nullptr);
            return;
        }
    }
    const int64_t firstByte = int64_t{shown.left} * bitsPerPixel / 8;
    const int64_t visibleBytes = (int64_t{shown.right} * bitsPerPixel + 7) / 8 - firstByte;
    const int32_t rows = shown.height();
    // The first visible row in file order.
    const int32_t firstStored = topDown ? shown.top : height - shown.bottom;
    const int64_t firstAt = int64_t{pixelOffset} + int64_t{firstStored} * rowBytes + firstByte;
    if (firstAt > fileSize || seek(static_cast<int32_t>(firstAt), 0) < 0) return;
    InPlaceReader in(*this);
    for (int32_t k = 0; k < rows; ++k) {
        const int32_t stored = firstStored + k;
        in.skipTo(int64_t{pixelOffset} + int64_t{stored} * rowBytes + firstByte);
        const int32_t picture = pictureRow(stored);
        uint8_t* row = destinationRow(area.target.top + picture - shown.top);
        if (direct) {
            if (!in.copy(row + int64_t{area.target.left} * bitsPerPixel / 8, visibleBytes)) break;
            continue;
        }
        if (!in.copy(line.get() + firstByte, visibleBytes)) break;
        conversion.convert(line.get(), shown.left, shown.right, row, area.target.left);
    }
    in.syncPosition();
}

void mImageBMP::drawRunLength(const VisibleArea& area) {
    const Rect& shown = area.source;
    const PixelConversion conversion(*destination, {8, 1, width}, masks);
    auto pixels = platform::Memory::allocate(static_cast<std::size_t>(width));
    if (!pixels) {
        reportError(idImageBMP, errOutOfMemory, nullptr);
        return;
    }
    if (pixelOffset > fileSize || seek(pixelOffset, 0) < 0) return;
    uint8_t* row = pixels.get();
    const bool fourBit = compression == runLength4;
    int32_t stored = 0;
    int64_t x = 0;
    auto put = [&](uint8_t index) {
        if (x < width) row[x] = index;
        ++x;
    };
    // Rows still to come that show.
    auto visibleAhead = [&] {
        return topDown ? stored < shown.bottom : height - 1 - stored >= shown.top;
    };
    auto finishRow = [&] {
        const int32_t picture = pictureRow(stored);
        if (picture >= shown.top && picture < shown.bottom) {
            conversion.convert(row, shown.left, shown.right,
                               destinationRow(area.target.top + picture - shown.top),
                               area.target.left);
        }
        std::memset(row, 0, static_cast<std::size_t>(width));
        ++stored;
        x = 0;
    };

    InPlaceReader in(*this);
    while (stored < height && visibleAhead()) {
        const uint8_t first = in.u8();
        const uint8_t second = in.u8();
        if (in.failed()) break;
        if (first > 0) {
            for (int32_t k = 0; k < first && x < width; ++k)
                put(fourBit ? static_cast<uint8_t>(k % 2 ? second & 0x0f : second >> 4) : second);
            continue;
        }
        if (second == endOfLine) {
            finishRow();
        } else if (second == endOfBitmap) {
            break;
        } else if (second == delta) {
            const uint8_t right = in.u8();
            const uint8_t down = in.u8();
            if (in.failed()) break;
            for (int32_t k = 0; k < down && stored < height; ++k) {
                const int64_t column = x;
                finishRow();
                x = column;
            }
            x += right;
        } else {
            // Literal pixels, padded to a whole number of 16-bit words.
            const int32_t bytes = fourBit ? (second + 1) / 2 : second;
            const uint8_t* literal = in.take(bytes);
            if (!literal) break;
            for (int32_t k = 0; k < second; ++k)
                put(fourBit
                        ? static_cast<uint8_t>(k % 2 ? literal[k / 2] & 0x0f : literal[k / 2] >> 4)
                        : literal[k]);
            if (bytes % 2) in.take(1);
        }
    }
    while (stored < height && visibleAhead())
        finishRow();
    in.syncPosition();
}
