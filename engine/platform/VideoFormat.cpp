#include "engine/platform/VideoFormat.h"

#include <algorithm>
#include <limits>

#include "engine/base/LittleEndian.h"

namespace platform {

std::optional<VideoFormat> VideoFormat::parse(std::span<const uint8_t> record) {
    if (record.size() < headerSize) return std::nullopt;
    const uint8_t* bytes = record.data();
    uint32_t size = littleEndian::load32(bytes);
    if (size < headerSize || size > record.size()) return std::nullopt;
    VideoFormat format;
    format.width = static_cast<int32_t>(littleEndian::load32(bytes + 4));
    format.height = static_cast<int32_t>(littleEndian::load32(bytes + 8));
    // A height whose magnitude has no 32-bit value is no picture.
    if (format.height == std::numeric_limits<int32_t>::min()) return std::nullopt;
    format.bitCount = littleEndian::load16(bytes + 14);
    format.compression = littleEndian::load32(bytes + 16);
    format.sizeImage = littleEndian::load32(bytes + 20);
    uint32_t used = littleEndian::load32(bytes + 32);
    std::size_t entries = used == 0 || used > 256 ? 256 : used;
    std::span<const uint8_t> table = record.subspan(size);
    format.colours = table.first(std::min(table.size() / 4 * 4, entries * 4));
    return format;
}

}  // namespace platform
