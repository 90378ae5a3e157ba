#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "engine/platform/WaveOutDevice.h"

namespace platform {

// A wave-out device for tests: one device that plays nothing. Written buffers wait in order
// until the test finishes them, and every byte written is recorded per handle, kept after
// the handle is closed.
class NullWaveOut : public WaveOutDevice {
  public:
    NullWaveOut();

    void setCaps(const WaveOutCaps& caps);
    // Whether written bytes are kept (they are unless switched off, e.g. to measure memory).
    void setRecording(bool on);

    // Finishes the oldest queued buffer of the handle as the device would once it has been
    // played; false when none is queued or the stream is paused.
    bool finishNext(uint32_t handle);
    // Finishes queued buffers until none is left or the stream is paused; returns how many.
    uint32_t finishAll(uint32_t handle);

    uint32_t queuedCount(uint32_t handle);
    bool isPaused(uint32_t handle);
    std::vector<uint8_t> written(uint32_t handle);
    // The handle of the latest successful open, 0 before any.
    uint32_t lastOpened();

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
    struct Stream {
        uint32_t callbackWindow = 0;
        bool open = true;
        bool paused = false;
        std::deque<WaveHeader*> queued;
        std::vector<uint8_t> written;
    };

    // The open stream of the handle, or null; call with the mutex held.
    Stream* openStream(uint32_t handle);
    // Takes the oldest queued buffer off the stream and marks it done; call with the mutex
    // held and post the result after releasing it.
    WaveHeader* takeFinished(Stream& stream);
    uint32_t setPaused(uint32_t handle, bool paused);

    std::mutex mutex;
    WaveOutCaps caps;
    uint32_t volume = 0xFFFFFFFF;
    bool recording = true;
    uint32_t nextHandle = 1;
    std::map<uint32_t, Stream> streams;
};

}  // namespace platform
