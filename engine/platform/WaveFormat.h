#pragma once
#include <cstdint>

namespace platform {

constexpr uint16_t waveFormatPcm = 1;

// The PCM format record a wave-out device is opened with, field for field as a WAVE file's
// "fmt " chunk holds it.
struct WaveFormat {
    uint16_t formatTag = waveFormatPcm;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

// What every wave-out device plays: PCM, mono or stereo, 8-bit unsigned or 16-bit signed
// samples, at a rate above 0.
inline bool isPlayablePcm(const WaveFormat& format) {
    return format.formatTag == waveFormatPcm && (format.channels == 1 || format.channels == 2) &&
           (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.samplesPerSec != 0;
}

}  // namespace platform
