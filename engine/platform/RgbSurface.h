#pragma once
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "engine/platform/DeviceContext.h"

namespace platform {

// An off-screen RGB picture standing for a window's client area: a target of copies from
// 8-bit sections and bitmaps, read back as 0xRRGGBB pixels. On a palette display it keeps the
// system palette slots and reads them through the current system palette, so palette
// animation changes what was already drawn. One thread may draw while another reads.
class RgbSurface : public DeviceContext {
  public:
    RgbSurface(int32_t width, int32_t height);

    int32_t width() const override { return surfaceWidth; }
    int32_t height() const override { return surfaceHeight; }

    // 0xRRGGBB of one pixel; 0 outside the surface.
    uint32_t pixel(int32_t x, int32_t y) const;
    // Every pixel as 0xRRGGBB, rows from the top.
    std::vector<uint32_t> readPixels() const;
    // The pixels of `area`, clipped to the surface, as 0xRRGGBB into `out` at `pitch` values
    // per row, the clipped area's top-left at out[0]; false (nothing read) if `out` is too small.
    bool readPixels(const Rect& area, std::span<uint32_t> out, std::size_t pitch) const;

  protected:
    void writePixels(const Rect& area, std::span<const uint32_t> values) override;

  private:
    int32_t surfaceWidth;
    int32_t surfaceHeight;
    mutable std::mutex lock;
    std::vector<uint32_t> stored;
};

}  // namespace platform
