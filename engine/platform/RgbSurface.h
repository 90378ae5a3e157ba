#pragma once
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "engine/platform/DeviceContext.h"
#include "engine/platform/ScreenPicture.h"

namespace platform {

// An off-screen RGB picture standing for a window's client area: a target of copies from
// 8-bit sections and bitmaps, read back as 0xRRGGBB pixels. On a palette display it keeps the
// system palette slots and reads them through the current system palette, so palette
// animation changes what was already drawn. One thread may draw while another reads.
//
// The pixels are its own, or kept in a screen's memory, each as a scale × scale block, so that
// on a true-colour display what is drawn is on the screen at once.
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

    // Keeps the pixels in `screen` from now on, each as a scale × scale block; the screen must
    // hold width × scale by height × scale pixels and outlive the use. What was drawn is copied
    // over. Without pixels the surface takes its own memory back, again with what was drawn.
    void keepPixelsIn(const ScreenPicture& screen, int32_t scale);
    bool keptOnScreen() const { return !own; }

    // Held while the pixels must not change (a screen reading them).
    std::unique_lock<std::mutex> holdPixels() const { return std::unique_lock(lock); }

  protected:
    void writePixels(const Rect& area, std::span<const uint32_t> values) override;
    bool storeIndexed(const Rect& area, const uint8_t* first, std::ptrdiff_t step,
                      const std::array<uint32_t, 256>& values) override;

  private:
    uint32_t& at(int32_t x, int32_t y) const {
        return store[static_cast<std::size_t>(y) * static_cast<std::size_t>(storeScale) * pitch +
                     static_cast<std::size_t>(x) * static_cast<std::size_t>(storeScale)];
    }
    // Its own pixels are made at the first write: until then they are all 0.
    bool unwritten() const { return own && stored.empty(); }
    void allocate();
    std::vector<uint32_t> copyAll() const;
    void place(std::span<const uint32_t> pixels);

    int32_t surfaceWidth;
    int32_t surfaceHeight;
    mutable std::mutex lock;
    bool own = true;
    std::vector<uint32_t> stored;  // while the pixels are its own, once written
    uint32_t* store = nullptr;
    std::size_t pitch = 0;
    int32_t storeScale = 1;
    std::vector<uint32_t> blockRow;  // one row before it is stored as scale × scale blocks
};

}  // namespace platform
