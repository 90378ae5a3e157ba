#include "fuzz/ReaderSetup.h"

#include <algorithm>

namespace fuzz {

ReaderSetup::ReaderSetup(ControlBytes& control, int32_t smallestBuffer)
    : flags(control.next()),
      reading(static_cast<uint8_t>((flags & 3) % 3)),
      wholeDestination((flags & 64) != 0),
      bufferSize(smallestBuffer + 4 * (control.next() % 64)),
      wrapSize(smallestBuffer + control.next() % 64),
      colour(control.next()),
      targetWidth(1 + control.next() % 64),
      targetHeight(1 + control.next() % 64) {
    int32_t x1 = control.next() % (targetWidth + 1), y1 = control.next() % (targetHeight + 1);
    int32_t x2 = control.next() % (targetWidth + 1), y2 = control.next() % (targetHeight + 1);
    clip = wholeDestination
               ? Rect{0, 0, targetWidth, targetHeight}
               : Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

void ReaderSetup::openInput(mFile& reader, std::span<const uint8_t> input,
                            std::vector<uint8_t>& memory, std::optional<MemoryFile>& disk) const {
    memory.assign(input.begin(), input.end());
    if (reading == 0) {
        reader.openMemory(memory.data(), static_cast<int32_t>(memory.size()));
        return;
    }
    disk.emplace(input);
    if (reading == 2) reader.setBufferSizes(bufferSize, wrapSize);
    reader.mFile::open(disk->path(), 0);
}

void ReaderSetup::fillTarget(mBitmap& target, uint8_t value) const {
    for (int32_t y = 0; y < targetHeight; ++y)
        for (int32_t x = 0; x < targetWidth; ++x)
            pixel(target, x, y) = value;
}

uint8_t& pixel(mBitmap& bitmap, int32_t x, int32_t y) {
    return bitmap.info->topRow[static_cast<std::ptrdiff_t>(y) * bitmap.info->rowStep + x];
}

std::vector<uint8_t> pixelsOf(mBitmap& bitmap) {
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < bitmap.info->height; ++y)
        for (int32_t x = 0; x < bitmap.info->width; ++x)
            out.push_back(pixel(bitmap, x, y));
    return out;
}

}  // namespace fuzz
