#pragma once
#include <memory>

#include "engine/platform/NullWaveOut.h"
#include "engine/platform/WaveFormat.h"

// What the player's sound commands share: the program module the sound's window belongs to,
// the thread's message dispatch that runs the sound, and the devices it plays on.

// Makes the program's module the engine's instance setting, which the sound's window needs.
void claimInstance();
// Dispatches the messages waiting for this thread.
void dispatchWaiting();
// Selects a device that plays nothing and takes every format, for writing sound out.
std::shared_ptr<platform::NullWaveOut> selectSilentDevice();

// The format record a written WAVE file gets: the sizes follow from the format, whatever the
// input said.
platform::WaveFormat consistent(platform::WaveFormat format);

// The SDL device is selected for the command's length only, so that SDL's audio has shut down
// before the program's statics go.
class DefaultDevice {
  public:
    DefaultDevice();
    ~DefaultDevice();
    DefaultDevice(const DefaultDevice&) = delete;
    DefaultDevice& operator=(const DefaultDevice&) = delete;
};
