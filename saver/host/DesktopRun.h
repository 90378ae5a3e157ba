#pragma once
#include "saver/host/CommandLine.h"

// Runs the saver in a desktop window, full screen, or inside a window someone else owns, until
// the window closes, input ends full screen, or a termination signal arrives.
int runDesktop(const HostOptions& options, const char* title);
