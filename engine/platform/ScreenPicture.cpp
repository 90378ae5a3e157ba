#include "engine/platform/ScreenPicture.h"

#include <algorithm>

namespace platform {

void putScaledRow(uint32_t* first, std::size_t pitch, std::span<const uint32_t> values,
                  int32_t scale) {
    if (scale <= 1) {
        std::copy(values.begin(), values.end(), first);
        return;
    }
    auto block = static_cast<std::size_t>(scale);
    uint32_t* to = first;
    for (uint32_t value : values) {
        std::fill_n(to, block, value);
        to += block;
    }
    for (std::size_t dy = 1; dy < block; ++dy)
        std::copy_n(first, values.size() * block, first + dy * pitch);
}

}  // namespace platform
