#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// Memory of a screen's pixels, 0x00RRGGBB, rows from the top, `pitch` values from one row to the
// next; held by whoever shows it.
struct ScreenPicture {
    uint32_t* pixels = nullptr;
    std::size_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Writes `values` as one row of scale × scale blocks from `first` on, rows `pitch` apart.
void putScaledRow(uint32_t* first, std::size_t pitch, std::span<const uint32_t> values,
                  int32_t scale);

}  // namespace platform
