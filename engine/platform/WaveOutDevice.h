#pragma once
#include <cstdint>

#include "engine/platform/WaveFormat.h"
#include "engine/platform/WaveHeader.h"
#include "engine/platform/WaveOutCaps.h"

namespace platform {

// Result codes of the wave-out calls.
constexpr uint32_t mmNoError = 0;
constexpr uint32_t mmError = 1;
constexpr uint32_t mmBadDeviceId = 2;
constexpr uint32_t mmInvalidHandle = 5;
constexpr uint32_t mmInvalidParam = 11;
constexpr uint32_t waveBadFormat = 32;
constexpr uint32_t waveStillPlaying = 33;
constexpr uint32_t waveUnprepared = 34;

// The device id that lets the system choose a device.
constexpr uint32_t waveMapper = 0xFFFFFFFF;

// Posted to the callback window for each finished buffer: wParam the device handle, lParam
// the header.
constexpr uint32_t mmWomDone = 0x3BD;

// A wave-out backend. Handles are nonzero and never reused; `getVolume` and `setVolume` also
// take a device id in place of a handle. Every call may come from any thread.
class WaveOutDevice {
  public:
    virtual ~WaveOutDevice() = default;

    virtual uint32_t numDevs() = 0;
    virtual uint32_t getDevCaps(uint32_t deviceId, WaveOutCaps& caps) = 0;
    // Opens a stream whose finished buffers are reported with `mmWomDone` to `callbackWindow`
    // (a hidden window).
    virtual uint32_t open(uint32_t deviceId, const WaveFormat& format, uint32_t callbackWindow,
                          uint32_t& handle) = 0;
    virtual uint32_t prepareHeader(uint32_t handle, WaveHeader& header) = 0;
    virtual uint32_t write(uint32_t handle, WaveHeader& header) = 0;
    virtual uint32_t unprepareHeader(uint32_t handle, WaveHeader& header) = 0;
    virtual uint32_t pause(uint32_t handle) = 0;
    virtual uint32_t restart(uint32_t handle) = 0;
    // Stops playback and returns every queued buffer as done.
    virtual uint32_t reset(uint32_t handle) = 0;
    // Refused with `waveStillPlaying` while buffers are queued.
    virtual uint32_t close(uint32_t handle) = 0;
    virtual uint32_t getVolume(uint32_t handleOrDevice, uint32_t& volume) = 0;
    virtual uint32_t setVolume(uint32_t handleOrDevice, uint32_t volume) = 0;

  protected:
    // The header rules every device keeps. `markQueued` checks a written buffer and marks it
    // queued when it may be; `markUnprepared` refuses a buffer still queued.
    static uint32_t markQueued(WaveHeader& header);
    static void markDone(WaveHeader& header);
    static uint32_t markUnprepared(WaveHeader& header);
    // Tells the stream's callback window that the device has finished with the buffer.
    static void postDone(uint32_t callbackWindow, uint32_t handle, WaveHeader* header);
};

}  // namespace platform
