#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "engine/platform/WaveOutDevice.h"

namespace platform {

// The wave-out device over SDL audio: one device while SDL's audio starts, none otherwise.
// Each open stream is an SDL audio device of its own, opened in the stream's format (SDL
// converts to what the hardware takes). SDL's audio thread pulls the queued buffers in order;
// a buffer is done once its last byte has been handed to SDL, and only the notice of that is
// posted from the audio thread. The volume is one setting for the whole device, applied as a
// gain on the samples as SDL takes them.
class SdlWaveOut : public WaveOutDevice {
  public:
    // The device a program selects with `WaveOut::select` to play through SDL.
    static std::shared_ptr<WaveOutDevice> create();

    SdlWaveOut();
    ~SdlWaveOut() override;
    SdlWaveOut(const SdlWaveOut&) = delete;
    SdlWaveOut& operator=(const SdlWaveOut&) = delete;

    uint32_t numDevs() override;
    uint32_t getDevCaps(uint32_t deviceId, WaveOutCaps& caps) override;
    uint32_t open(uint32_t deviceId, const WaveFormat& format, uint32_t callbackWindow,
                  uint32_t& handle) override;
    uint32_t prepareHeader(uint32_t handle, WaveHeader& header) override;
    uint32_t write(uint32_t handle, WaveHeader& header) override;
    uint32_t unprepareHeader(uint32_t handle, WaveHeader& header) override;
    uint32_t pause(uint32_t handle) override;
    uint32_t restart(uint32_t handle) override;
    uint32_t reset(uint32_t handle) override;
    uint32_t close(uint32_t handle) override;
    uint32_t getVolume(uint32_t handleOrDevice, uint32_t& volume) override;
    uint32_t setVolume(uint32_t handleOrDevice, uint32_t volume) override;

  private:
    struct Stream;

    // The open stream of the handle, or null; call with the mutex held.
    Stream* openStream(uint32_t handle);
    uint32_t setPaused(uint32_t handle, bool paused);

    const bool started;
    // Held through every call, SDL's included; the audio thread never takes it.
    std::mutex mutex;
    std::atomic<uint32_t> volume{0xFFFFFFFF};
    uint32_t nextHandle = 1;
    std::map<uint32_t, std::unique_ptr<Stream>> streams;
};

}  // namespace platform
