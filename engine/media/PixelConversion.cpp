#include "engine/media/PixelConversion.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/base/LittleEndian.h"
#include "engine/platform/Memory.h"

namespace {

constexpr int32_t tableSize = 4096;

bool isIndexDepth(int32_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

uint32_t loadPixel(const uint8_t* bytes, int32_t count) {
    uint32_t value = 0;
    for (int32_t k = count - 1; k >= 0; --k)
        value = value << 8 | bytes[k];
    return value;
}

}  // namespace

uint32_t PixelConversion::Component::top4(uint32_t pixel) const {
    if (mask == 0) return 0;
    uint32_t value = (pixel & mask) >> std::countr_zero(mask);
    if (levels > 0) return value * 15 / static_cast<uint32_t>(levels);
    return value >> shift;
}

PixelConversion::PixelConversion(const mBitmap& destination, Layout lineLayout, Masks masks)
    : layout(lineLayout), destinationDepth(destination.info->bitsPerPixel) {
    const int32_t bits = layout.bitsPerPixel;
    const int32_t planes = layout.planes;
    const int32_t planeBytes = std::max(layout.planeBytes, 0);
    if (destination.info->planes != 1 ||
        (destinationDepth != 1 && destinationDepth != 4 && destinationDepth != 8) || planes < 1) {
        return;
    }
    if (bits == 8 && (planes == 3 || planes == 4)) {
        mode = Mode::planarColour;
        storedPixels = planeBytes;
    } else if (isIndexDepth(bits) && (bits * planes <= 8 || bits == 8)) {
        mode = Mode::indexes;
        storedPixels = static_cast<int32_t>(int64_t{planeBytes} * 8 / bits);
    } else if (planes == 1 && (bits == 16 || bits == 24 || bits == 32) &&
               (masks.red | masks.green | masks.blue) != 0) {
        mode = Mode::packedColour;
        bytesPerPixel = bits / 8;
        storedPixels = planeBytes / bytesPerPixel;
        for (auto [component, mask] : {std::pair{&red, masks.red}, std::pair{&green, masks.green},
                                       std::pair{&blue, masks.blue}}) {
            component->mask = mask;
            int width = std::popcount(mask);
            if (width >= 4) {
                component->shift = width - 4;
            } else if (width > 0) {
                component->levels = (1 << width) - 1;
            }
        }
    }
    if ((mode == Mode::planarColour || mode == Mode::packedColour) && !buildTable(destination)) {
        mode = Mode::none;
    }
}

bool PixelConversion::buildTable(const mBitmap& destination) {
    table = platform::Memory::allocate(tableSize);
    if (!table) return false;
    for (int32_t colour = 0; colour < tableSize; ++colour) {
        RgbQuad rgb;
        rgb.red = static_cast<uint8_t>((colour >> 8) << 4);
        rgb.green = static_cast<uint8_t>((colour >> 4 & 0x0f) << 4);
        rgb.blue = static_cast<uint8_t>((colour & 0x0f) << 4);
        table[colour] = static_cast<uint8_t>(std::max(destination.nearestColor(rgb), 0));
    }
    black = table[0];
    return true;
}

uint8_t PixelConversion::indexAt(const uint8_t* line, int32_t pixel) const {
    const int32_t planeBytes = layout.planeBytes;
    switch (mode) {
        case Mode::indexes: {
            const int32_t bits = layout.bitsPerPixel;
            if (bits == 8) return line[pixel];
            const int64_t bit = int64_t{pixel} * bits;
            const int shift = static_cast<int>(8 - bits - bit % 8);
            const auto fieldMask = static_cast<uint32_t>((1 << bits) - 1);
            uint32_t index = 0;
            for (int32_t plane = 0; plane < layout.planes; ++plane) {
                uint8_t byte = line[int64_t{plane} * planeBytes + bit / 8];
                index |= (static_cast<uint32_t>(byte >> shift) & fieldMask) << (plane * bits);
            }
            return static_cast<uint8_t>(index);
        }
        case Mode::planarColour: {
            uint32_t r = line[pixel];
            uint32_t g = line[planeBytes + pixel];
            uint32_t b = line[2 * int64_t{planeBytes} + pixel];
            return table[(r & 0xf0) << 4 | (g & 0xf0) | b >> 4];
        }
        case Mode::packedColour: {
            uint32_t value = loadPixel(line + int64_t{pixel} * bytesPerPixel, bytesPerPixel);
            return table[red.top4(value) << 8 | green.top4(value) << 4 | blue.top4(value)];
        }
        case Mode::none:
            break;
    }
    return 0;
}

void PixelConversion::convert(const uint8_t* line, int32_t first, int32_t end, uint8_t* row,
                              int32_t column) const {
    if (mode == Mode::none || first >= end) return;
    const int32_t stored = std::clamp(storedPixels, first, end);
    if (destinationDepth == 8) {
        uint8_t* out = row + column;
        if (mode == Mode::indexes && layout.bitsPerPixel == 8) {
            std::memcpy(out, line + first, static_cast<std::size_t>(stored - first));
        } else if (mode == Mode::packedColour && bytesPerPixel == 3 && red.mask == 0xff0000 &&
                   green.mask == 0xff00 && blue.mask == 0xff) {
            // The common 24-bit layout: blue, green, red bytes.
            for (int32_t pixel = first; pixel < stored; ++pixel) {
                const uint8_t* bgr = line + int64_t{pixel} * 3;
                out[pixel - first] = table[(bgr[2] & 0xf0u) << 4 | (bgr[1] & 0xf0u) | bgr[0] >> 4];
            }
        } else {
            for (int32_t pixel = first; pixel < stored; ++pixel)
                out[pixel - first] = indexAt(line, pixel);
        }
        std::memset(out + (stored - first), black, static_cast<std::size_t>(end - stored));
        return;
    }
    for (int32_t pixel = first; pixel < end; ++pixel) {
        uint8_t index = pixel < stored ? indexAt(line, pixel) : black;
        store(row, column + pixel - first, destinationDepth, index);
    }
}

void PixelConversion::store(uint8_t* row, int32_t column, int32_t depth, uint8_t index) {
    if (depth == 8) {
        row[column] = index;
        return;
    }
    const int32_t perByte = 8 / depth;
    const int shift = 8 - depth * (column % perByte + 1);
    const auto fieldMask = static_cast<uint8_t>(((1 << depth) - 1) << shift);
    uint8_t& byte = row[column / perByte];
    byte = static_cast<uint8_t>((byte & ~fieldMask) | ((index << shift) & fieldMask));
}
