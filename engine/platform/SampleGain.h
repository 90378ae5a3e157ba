#pragma once
#include <cstdint>
#include <span>

#include "engine/platform/WaveFormat.h"

namespace platform {

// Scales PCM samples in place by a wave-out volume: the low 16 bits for the left (or only)
// channel, the high 16 bits for the right; 0xFFFF leaves a channel's samples as they are, 0
// silences it. Each sample is rounded to the nearest value, halves upward. `samples` starts on
// a frame of `format`, a playable PCM format; a trailing part of a 16-bit sample is left alone.
void applySampleGain(std::span<uint8_t> samples, const WaveFormat& format, uint32_t volume);

}  // namespace platform
