#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/base/RgbQuad.h"
#include "engine/platform/RgbSurface.h"

namespace platform {

// The pixels of a window's client area: an RGB surface that also draws frames, counts the
// pixels written into it and remembers where it was written, so that a screen backend pushes
// only those areas.
class WindowSurface : public RgbSurface {
  public:
    WindowSurface(int32_t width, int32_t height);

    // A one-pixel frame along the inside of `rect`, clipped to the surface, in `colour` as the
    // display shows it.
    void frameRect(const Rect& rect, RgbQuad colour);

    // Every pixel stored since construction, copies and frames alike.
    uint64_t pixelsWritten() const { return pixelCount.load(); }

    // The areas written since the last call, in the order written.
    std::vector<Rect> takeWrittenAreas();

  protected:
    void written(const Rect& area) override;

  private:
    std::atomic<uint64_t> pixelCount{0};
    std::mutex areasLock;
    std::vector<Rect> areas;
};

}  // namespace platform
