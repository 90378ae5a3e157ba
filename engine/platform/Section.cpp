#include "engine/platform/Section.h"

#include <algorithm>
#include <limits>

#include "engine/platform/Memory.h"

namespace platform {

std::unique_ptr<Section> Section::create(int32_t width, int32_t height, int32_t bitsPerPixel,
                                         std::span<const RgbQuad> colours) {
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8) return nullptr;
    if (width <= 0 || height <= 0) return nullptr;
    int64_t rowBytes = strideFor(width, bitsPerPixel);
    if (rowBytes * height > std::numeric_limits<int32_t>::max()) return nullptr;

    auto pixels = Memory::allocatePicture(static_cast<std::size_t>(rowBytes * height));
    if (!pixels) return nullptr;
    auto section = std::make_unique<Section>(Key{});
    section->pixelWidth = width;
    section->pixelHeight = height;
    section->depth = bitsPerPixel;
    section->rowBytes = static_cast<int32_t>(rowBytes);
    section->pixels = std::move(pixels);
    section->setColorTable(0, colours);
    return section;
}

uint32_t Section::setColorTable(uint32_t start, std::span<const RgbQuad> entries) {
    if (start >= table.size()) return 0;
    std::size_t count = std::min(entries.size(), table.size() - start);
    std::copy_n(entries.begin(), count, table.begin() + start);
    return static_cast<uint32_t>(count);
}

}  // namespace platform
