#pragma once
#include <string>

// lumivale-play's commands for sprite groups: a sprite definition file, or any image file
// wrapped in a group as a sprite built from its name would be. Each returns the process exit
// status.

// One line per frame: its size, origin, time and changed rectangle (relative to the frame).
int printGroupInfo(const std::string& path);
// Every frame, whole, as PNG in frame order.
int dumpGroupFrames(const std::string& folder, const std::string& path);
