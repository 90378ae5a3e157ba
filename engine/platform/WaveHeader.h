#pragma once
#include <atomic>
#include <cstdint>

namespace platform {

constexpr uint32_t waveHeaderDone = 0x01;
constexpr uint32_t waveHeaderPrepared = 0x02;
constexpr uint32_t waveHeaderInQueue = 0x10;

// One buffer handed to a wave-out device. The caller owns it and the data; the device holds
// the pointer from `write` until it sets `waveHeaderDone`. The flags are atomic because a
// device may finish a buffer on a thread of its own while the owner looks at them.
struct WaveHeader {
    const uint8_t* data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;
    void* user = nullptr;
    std::atomic<uint32_t> flags = 0;
    uint32_t loops = 0;
};

}  // namespace platform
