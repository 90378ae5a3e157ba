#include "engine/media/mImageDCX.h"

#include <algorithm>

#include "engine/base/LittleEndian.h"

mImageDCX::mImageDCX() {
    pageMode = 1;
}

uint32_t mImageDCX::pageOffset(int32_t page) const {
    return littleEndian::load32(pageTable.data() + 4 + static_cast<std::size_t>(page) * 4);
}

bool mImageDCX::tableRead() const {
    return littleEndian::load32(pageTable.data()) == magic;
}

int32_t mImageDCX::openImage() {
    tableOffset = position;
    pageTable.fill(0);
    read(pageTable.data(), tableBytes);
    if (!tableRead()) {
        pageTable.fill(0);
        format = 0;
        reportError(idImageDCX, errFileType, nullptr);
        return 0;
    }
    pageCount = 0;
    while (pageCount < maxPages && pageOffset(pageCount) != 0)
        ++pageCount;
    frameCount = pageCount;
    // A table without pages leaves page 0 current, with nothing to draw.
    currentFrame = 0;
    format = 0;
    seekFrame(0, 0);
    return 1;
}

int32_t mImageDCX::seekFrame(int32_t frame, int32_t origin) {
    int64_t page = frame;
    if (origin == 1) {
        page += currentFrame;
    } else if (origin == 2) {
        page = int64_t{frameCount} - frame;
    }
    page = std::max<int64_t>(page, 0);
    if (page >= frameCount) return currentFrame;
    const auto index = static_cast<int32_t>(page);

    const int64_t offset = int64_t{pageOffset(index)} + tableOffset;
    if (offset < int64_t{tableOffset} + tableBytes || offset + headerSize > fileSize) {
        format = 0;
        reportError(idImageDCX, errFileType, nullptr);
    } else if (seek(static_cast<int32_t>(offset), 0) >= 0 && openPicture()) {
        // The next page's offset is a file offset, without the table's own.
        const int64_t end = index + 1 < pageCount ? int64_t{pageOffset(index + 1)} : fileSize;
        readTailPalette(end - paletteTail);
    }
    currentFrame = index;
    frameCount = pageCount;
    return index;
}

int32_t mImageDCX::readFrame(int32_t x, int32_t y, const Rect* clip) {
    if (!tableRead() && !openImage()) return 0;
    if (format != formatPcx) return -1;
    const int32_t result = drawPicture(x, y, clip);
    if (autoAdvance && currentFrame + 1 < frameCount) seekFrame(currentFrame + 1, 0);
    return result;
}

int32_t mImageDCX::WriteHeader() {
    reportError(idImageDCX, errNotImplemented, nullptr);
    return 0;
}

int32_t mImageDCX::WriteFrame(int32_t, int32_t, int32_t) {
    reportError(idImageDCX, errNotImplemented, nullptr);
    return 0;
}
