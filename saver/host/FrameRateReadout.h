#pragma once
#include <cstdint>
#include <span>

#include "engine/base/Rect.h"

// The frames-per-second readout that hosts of screen savers show when asked (--fps): frames
// are counted as they are shown, the rate is taken over each second, and the readout is
// drawn into a picture in its top-left corner, over the scene.
class FrameRateReadout {
  public:
    // A frame was shown at `nowMs` (any millisecond clock).
    void frameAt(uint32_t nowMs);
    double rate() const { return shownRate; }

    // Draws "R.R fps" on black into `pixels` (0x00RRGGBB, width × height, rows from the top)
    // and returns the box it covered, clipped to the picture.
    Rect draw(std::span<uint32_t> pixels, int32_t width, int32_t height) const;

  private:
    bool started = false;
    uint32_t periodStart = 0;
    uint32_t framesInPeriod = 0;
    double shownRate = 0;
};
