#pragma once
#include <string_view>
#include <vector>

#include "tools/lumivale-play/StageOptions.h"

// Scripted sprites on a stage: parses a stage command line (isStageCommand tells one) and plays
// it in a window or headless. Returns the process exit status: 0, 1 when a file cannot be read or
// written, 2 for a wrong command line.
int runStageCommand(const std::vector<std::string_view>& args);
