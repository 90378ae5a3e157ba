#pragma once
#include "saver/host/CommandLine.h"

// Runs the saver on an off-screen window and the simulated clock for the asked duration, then
// writes the snapshot; the same command always gives the same pixels. Returns the exit status.
int runHeadless(const HostOptions& options);
