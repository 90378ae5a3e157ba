#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/lumivale-play/PlayOptions.h"

// lumivale-play's commands for AVI clips. Each returns the process exit status.
int printClipInfo(const std::string& path);
int dumpClipFrames(const std::string& folder, const std::string& path);
// Plays the clip's chosen sound through a silent device, reading every frame to queue it, and
// writes what the device was given as a WAVE file.
int dumpClipSound(const PlayOptions& options);
int benchmarkClip(const std::string& path, int32_t loops);
// Plays in a window at the clip's frame rate with its sound, over and over until the window is
// closed or Escape is pressed.
int playClip(const std::string& path);
