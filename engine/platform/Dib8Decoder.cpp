#include <algorithm>
#include <cstring>

#include "engine/platform/VideoDecoders.h"

namespace platform {

void decodeDib8(std::span<const uint8_t> chunk, const VideoFormat& format,
                const FrameTarget& target) {
    if (format.width <= 0) return;
    const int64_t stride = (int64_t{format.width} + 3) / 4 * 4;
    const int64_t rows = format.rows();
    const auto kept = static_cast<std::size_t>(std::min(format.width, target.width));
    for (int64_t stored = 0; stored < rows; ++stored) {
        const int64_t start = stored * stride;
        if (start >= static_cast<int64_t>(chunk.size())) return;
        uint8_t* row = target.row(format.bottomUp() ? rows - 1 - stored : stored);
        if (!row) continue;
        std::size_t present = std::min(kept, chunk.size() - static_cast<std::size_t>(start));
        std::memcpy(row, chunk.data() + start, present);
    }
}

}  // namespace platform
