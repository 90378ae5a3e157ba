#include "engine/media/mImagePCX.h"

#include <algorithm>
#include <array>
#include <limits>

#include "engine/base/LittleEndian.h"
#include "engine/core/InPlaceReader.h"
#include "engine/media/PixelConversion.h"
#include "engine/platform/Memory.h"

namespace {

constexpr uint8_t manufacturer = 10;
constexpr uint8_t runLengthEncoding = 1;
constexpr int32_t paletteBytes = 256 * 4;

int32_t saturated(int64_t value) {
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

}  // namespace

mImagePCX::mImagePCX() = default;

mImagePCX::~mImagePCX() {
    palette = nullptr;
}

int32_t mImagePCX::openImage() {
    if (!openPicture()) return 0;
    if (pageMode) return 1;
    readTailPalette(int64_t{fileSize} - paletteTail);
    return 1;
}

int32_t mImagePCX::openPicture() {
    std::array<uint8_t, headerSize> header{};
    const int32_t got = read(header.data(), headerSize);
    pixelOffset = position;
    const int32_t xmin = littleEndian::load16(header.data() + 4);
    const int32_t ymin = littleEndian::load16(header.data() + 6);
    const int32_t pictureWidth = littleEndian::load16(header.data() + 8) - xmin + 1;
    const int32_t pictureHeight = littleEndian::load16(header.data() + 10) - ymin + 1;
    const int32_t planeCount = header[65];
    const int32_t planeBytes = littleEndian::load16(header.data() + 66);
    // A header that describes no picture is no PCX picture either.
    if (got != headerSize || header[0] != manufacturer || header[2] != runLengthEncoding ||
        pictureWidth <= 0 || pictureHeight <= 0 || planeCount == 0 || planeBytes == 0) {
        format = 0;
        reportError(idImagePCX, errFileType, nullptr);
        return 0;
    }
    currentFrame = 0;
    frameTime = 0;
    frameWidth = width = pictureWidth;
    frameHeight = height = pictureHeight;
    bitsPerPixel = header[3];
    planes = planeCount;
    changed = Rect{0, 0, width, height};
    bytesPerLine = planeBytes;
    frameBytes = saturated(int64_t{height} * bytesPerLine);
    lineBytes = planes * bytesPerLine;
    dataSize = saturated(int64_t{height} * lineBytes);
    frameCount = 1;
    format = formatPcx;
    kind = 0;

    if (!paletteBlock) {
        paletteBlock = platform::Memory::allocate(paletteBytes);
        if (!paletteBlock) {
            format = 0;
            reportError(idImagePCX, errOutOfMemory, nullptr);
            return 0;
        }
    }
    palette = reinterpret_cast<RgbQuad*>(paletteBlock.get());
    for (int32_t entry = 0; entry < 16; ++entry) {
        const uint8_t* rgb = header.data() + 16 + entry * 3;
        palette[entry] = RgbQuad{rgb[2], rgb[1], rgb[0], 0};
    }
    paletteChanged = 1;
    return 1;
}

void mImagePCX::readTailPalette(int64_t at) {
    if (bitsPerPixel * planes > 8) {
        palette = nullptr;
        paletteChanged = 0;
        return;
    }
    if (at < pixelOffset || at + paletteTail > fileSize || seek(static_cast<int32_t>(at), 0) < 0) {
        return;
    }
    InPlaceReader in(*this);
    if (in.u8() != paletteMarker) return;
    if (const uint8_t* rgb = in.take(paletteTail - 1)) {
        for (int32_t entry = 0; entry < 256; ++entry, rgb += 3)
            palette[entry] = RgbQuad{rgb[2], rgb[1], rgb[0], 0};
    }
}

int32_t mImagePCX::readFrame(int32_t x, int32_t y, const Rect* clip) {
    if (format != formatPcx && !openImage()) return -1;
    return drawPicture(x, y, clip);
}

int32_t mImagePCX::seekFrame(int32_t, int32_t) {
    if (isOpen) seek(pixelOffset, 0);
    return 0;
}

int32_t mImagePCX::WriteHeader() {
    reportError(idImagePCX, errNotImplemented, nullptr);
    return 0;
}

int32_t mImagePCX::WriteFrame(int32_t, int32_t, int32_t) {
    reportError(idImagePCX, errNotImplemented, nullptr);
    return 0;
}

int32_t mImagePCX::updateRemap() {
    return report(severityError, idImagePCX, errNotImplemented, nullptr);
}

int32_t mImagePCX::setTransparent(int32_t) {
    return report(severityError, idImagePCX, errNotImplemented, nullptr);
}

uint32_t mImagePCX::setTransparentColour(uint32_t) {
    return static_cast<uint32_t>(report(severityError, idImagePCX, errNotImplemented, nullptr));
}

int32_t mImagePCX::setRemap(int32_t) {
    return report(severityError, idImagePCX, errNotImplemented, nullptr);
}
