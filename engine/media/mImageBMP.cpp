#include "engine/media/mImageBMP.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

#include "engine/base/LittleEndian.h"
#include "engine/platform/Memory.h"

namespace {

constexpr int32_t paletteBytes = 256 * 4;
constexpr int32_t maskBytes = 12;

bool knownHeaderSize(uint32_t size) {
    return size == 40 || size == 108 || size == 124;
}

bool knownDepth(int32_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

}  // namespace

mImageBMP::~mImageBMP() {
    palette = nullptr;
}

bool mImageBMP::refuse() {
    format = 0;
    reportError(idImageBMP, errFileType, nullptr);
    return false;
}

int32_t mImageBMP::openImage() {
    const int32_t start = seek(0, 1);
    std::array<uint8_t, fileHeaderSize + infoHeaderSize> header{};
    if (start < 0 || read(header.data(), fileHeaderSize) != fileHeaderSize ||
        littleEndian::load16(header.data()) != magic) {
        return refuse();
    }
    uint8_t* info = header.data() + fileHeaderSize;
    const uint32_t headerSize =
        read(info, infoHeaderSize) == infoHeaderSize ? littleEndian::load32(info) : 0;
    if (!knownHeaderSize(headerSize)) return refuse();
    const int32_t infoStart = start + fileHeaderSize;

    const auto storedWidth = static_cast<int32_t>(littleEndian::load32(info + 4));
    const auto storedHeight = static_cast<int32_t>(littleEndian::load32(info + 8));
    const int32_t bits = littleEndian::load16(info + 14);
    compression = littleEndian::load32(info + 16);
    const bool runLength =
        (compression == runLength8 && bits == 8) || (compression == runLength4 && bits == 4);
    const bool fields = compression == bitFields && (bits == 16 || bits == 32);
    const int64_t stride = ((int64_t{storedWidth} * bits + 7) / 8 + 3) & ~int64_t{3};
    if (storedWidth <= 0 || storedHeight == 0 ||
        storedHeight == std::numeric_limits<int32_t>::min() || !knownDepth(bits) ||
        (compression != uncompressed && !runLength && !fields) ||
        stride * std::abs(int64_t{storedHeight}) > std::numeric_limits<int32_t>::max()) {
        return refuse();
    }
    // Rows stored top row first draw upright all the same.
    topDown = storedHeight < 0;
    currentFrame = 0;
    frameTime = 0;
    frameWidth = width = storedWidth;
    frameHeight = height = topDown ? -storedHeight : storedHeight;
    bitsPerPixel = bits;
    planes = 1;
    changed = Rect{0, 0, width, height};
    rowBytes = static_cast<int32_t>(stride);
    const auto imageSize = static_cast<int32_t>(littleEndian::load32(info + 20));
    frameBytes = imageSize != 0 ? imageSize : rowBytes * height;

    if (fields) {
        // The masks follow a 40-byte header; larger headers hold them in the same place.
        std::array<uint8_t, maskBytes> words{};
        seek(infoStart + infoHeaderSize, 0);
        read(words.data(), maskBytes);
        masks = {littleEndian::load32(words.data()), littleEndian::load32(words.data() + 4),
                 littleEndian::load32(words.data() + 8)};
    } else if (bits == 16) {
        masks = {0x7c00, 0x03e0, 0x001f};
    } else {
        masks = {0xff0000, 0x00ff00, 0x0000ff};
    }
    const int64_t tableStart =
        int64_t{infoStart} + headerSize + (fields && headerSize == 40 ? maskBytes : 0);
    if (bits <= 8 && !readColourTable(tableStart, littleEndian::load32(info + 32))) {
        format = 0;
        return 0;
    }
    frameCount = 1;
    format = formatBmp;
    kind = 0;
    dataSize = static_cast<int32_t>(littleEndian::load32(header.data() + 2) * 4);
    pixelOffset = static_cast<int32_t>(
        std::min<int64_t>(int64_t{start} + littleEndian::load32(header.data() + 10),
                          std::numeric_limits<int32_t>::max()));
    return 1;
}

// Colours used above 256 would not fit the palette: the first 256 are read.
bool mImageBMP::readColourTable(int64_t at, uint32_t used) {
    const int32_t entries =
        used == 0 ? 1 << bitsPerPixel : static_cast<int32_t>(std::min<uint32_t>(used, 256));
    if (!paletteBlock) {
        paletteBlock = platform::Memory::allocate(paletteBytes);
        if (!paletteBlock) {
            reportError(idImageBMP, errOutOfMemory, nullptr);
            return false;
        }
    }
    palette = reinterpret_cast<RgbQuad*>(paletteBlock.get());
    if (at <= fileSize && seek(static_cast<int32_t>(at), 0) >= 0) read(palette, entries * 4);
    paletteChanged = 1;
    return true;
}

int32_t mImageBMP::readFrame(int32_t x, int32_t y, const Rect* clip) {
    if (format != formatBmp && !openImage()) return -1;
    if (!destination) {
        reportError(idImageBMP, errBitmap, nullptr);
        return -1;
    }
    const VisibleArea area = visibleArea(x, y, clip);
    if (area.isEmpty()) return 0;
    if (compression == runLength8 || compression == runLength4) {
        drawRunLength(area);
    } else {
        drawRows(area);
    }
    return 0;
}

int32_t mImageBMP::seekFrame(int32_t, int32_t) {
    if (isOpen) seek(pixelOffset, 0);
    return 0;
}

int32_t mImageBMP::WriteHeader() {
    reportError(idImageBMP, errNotImplemented, nullptr);
    return 0;
}

int32_t mImageBMP::WriteFrame(int32_t, int32_t, int32_t) {
    reportError(idImageBMP, errNotImplemented, nullptr);
    return 0;
}

int32_t mImageBMP::updateRemap() {
    return report(severityError, idImageBMP, errNotImplemented, nullptr);
}

int32_t mImageBMP::setTransparent(int32_t) {
    return report(severityError, idImageBMP, errNotImplemented, nullptr);
}

uint32_t mImageBMP::setTransparentColour(uint32_t) {
    return static_cast<uint32_t>(report(severityError, idImageBMP, errNotImplemented, nullptr));
}

int32_t mImageBMP::setRemap(int32_t) {
    return report(severityError, idImageBMP, errNotImplemented, nullptr);
}
