#pragma once
#include <array>
#include <cstdint>

namespace platform {

// Format bits: rate 1, 2 or 4 (11025, 22050, 44100 Hz), mono or stereo, 8 or 16 bits.
constexpr uint32_t waveFormat1M08 = 0x001;
constexpr uint32_t waveFormat1S08 = 0x002;
constexpr uint32_t waveFormat1M16 = 0x004;
constexpr uint32_t waveFormat1S16 = 0x008;
constexpr uint32_t waveFormat2M08 = 0x010;
constexpr uint32_t waveFormat2S08 = 0x020;
constexpr uint32_t waveFormat2M16 = 0x040;
constexpr uint32_t waveFormat2S16 = 0x080;
constexpr uint32_t waveFormat4M08 = 0x100;
constexpr uint32_t waveFormat4S08 = 0x200;
constexpr uint32_t waveFormat4M16 = 0x400;
constexpr uint32_t waveFormat4S16 = 0x800;

constexpr uint32_t waveCapsVolume = 0x04;
constexpr uint32_t waveCapsLrVolume = 0x08;

// What a wave-out device declares about itself.
struct WaveOutCaps {
    uint16_t manufacturerId = 0;
    uint16_t productId = 0;
    uint32_t driverVersion = 0;
    std::array<char, 32> name{};
    uint32_t formats = 0;
    uint16_t channels = 0;
    uint32_t support = 0;
};

}  // namespace platform
