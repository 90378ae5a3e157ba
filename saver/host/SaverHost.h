#pragma once
#include "saver/host/ProgramDescription.h"

// Runs a saver program: reads the command line, finds the scene files and runs the saver in
// the mode asked for. Returns the process's exit status.
int runSaverHost(int argc, char** argv, const saverlib::ProgramDescription& program);
