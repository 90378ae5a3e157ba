#include "engine/platform/SampleGain.h"

#include <array>

#include "engine/base/LittleEndian.h"

namespace platform {
namespace {

constexpr int32_t unity = 0x10000;

// 0 to 0xFFFF onto 0 to 0x10000, so that the full volume is exactly unity.
int32_t gainOf(uint32_t volume16) {
    return static_cast<int32_t>(volume16 + (volume16 >> 15));
}

int32_t scaled(int32_t sample, int32_t gain) {
    return static_cast<int32_t>((static_cast<int64_t>(sample) * gain + unity / 2) >> 16);
}

}  // namespace

void applySampleGain(std::span<uint8_t> samples, const WaveFormat& format, uint32_t volume) {
    uint32_t left = volume & 0xFFFF;
    uint32_t right = format.channels == 2 ? volume >> 16 : left;
    // Indexed by the sample's number: channels alternate in a stereo frame.
    const std::array<int32_t, 2> gains{gainOf(left), gainOf(right)};
    if (gains[0] == unity && gains[1] == unity) return;
    if (format.bitsPerSample == 8) {
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<uint8_t>(0x80 + scaled(samples[i] - 0x80, gains[i % 2]));
        }
        return;
    }
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        auto sample = static_cast<int16_t>(littleEndian::load16(&samples[i]));
        littleEndian::store16(&samples[i],
                              static_cast<uint16_t>(scaled(sample, gains[(i / 2) % 2])));
    }
}

}  // namespace platform
