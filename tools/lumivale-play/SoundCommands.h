#pragma once
#include "tools/lumivale-play/PlayOptions.h"

// lumivale-play's commands for WAVE sounds. Each returns the process exit status.
int printSoundInfo(const PlayOptions& options);
// Plays on the default sound device, showing progress on a terminal; Ctrl-C stops it.
int playSound(const PlayOptions& options);
// Plays through a silent device as fast as it takes buffers and writes every byte it was given
// as a WAVE file.
int dumpSound(const PlayOptions& options);
