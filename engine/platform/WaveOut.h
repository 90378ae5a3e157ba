#pragma once
#include <cstdint>
#include <memory>

#include "engine/platform/WaveOutDevice.h"

namespace platform {

// The wave-out calls the engine makes, forwarded to the selected backend. With none selected
// the system has no device: `numDevs` is 0 and every other call fails.
class WaveOut {
  public:
    // Selects the backend for every later call (the null device in tests, a real audio
    // backend in the programs); null selects no device.
    static void select(std::shared_ptr<WaveOutDevice> device);

    static uint32_t numDevs();
    static uint32_t getDevCaps(uint32_t deviceId, WaveOutCaps& caps);
    static uint32_t open(uint32_t deviceId, const WaveFormat& format, uint32_t callbackWindow,
                         uint32_t& handle);
    static uint32_t prepareHeader(uint32_t handle, WaveHeader& header);
    static uint32_t write(uint32_t handle, WaveHeader& header);
    static uint32_t unprepareHeader(uint32_t handle, WaveHeader& header);
    static uint32_t pause(uint32_t handle);
    static uint32_t restart(uint32_t handle);
    static uint32_t reset(uint32_t handle);
    static uint32_t close(uint32_t handle);
    static uint32_t getVolume(uint32_t handleOrDevice, uint32_t& volume);
    static uint32_t setVolume(uint32_t handleOrDevice, uint32_t volume);
};

}  // namespace platform
