#pragma once

namespace platform {

// Switches for people debugging a scene, read from the environment when asked.
class DebugSwitches {
  public:
    // LUMIVALE_STAGE_FRAMES set to anything but empty or "0": stages outline every rectangle
    // they copy to the window with a white frame.
    static bool outlineFlushedAreas();
};

}  // namespace platform
