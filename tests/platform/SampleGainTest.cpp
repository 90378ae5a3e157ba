#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/platform/SampleGain.h"

using platform::applySampleGain;
using platform::WaveFormat;

namespace {

WaveFormat pcm(uint16_t channels, uint16_t bits) {
    auto blockAlign = static_cast<uint16_t>(channels * bits / 8);
    return {platform::waveFormatPcm, channels, 22050, 22050u * blockAlign, blockAlign, bits};
}

// Every 16-bit value once, as little-endian bytes.
std::vector<uint8_t> every16BitSample() {
    std::vector<uint8_t> bytes(2 * 65536);
    for (uint32_t i = 0; i < 65536; ++i)
        littleEndian::store16(&bytes[2 * i], static_cast<uint16_t>(i));
    return bytes;
}

int16_t sampleAt(const std::vector<uint8_t>& bytes, size_t index) {
    return static_cast<int16_t>(littleEndian::load16(&bytes[2 * index]));
}

TEST(SampleGain, FullVolumeLeavesEverySampleBitExact) {
    std::vector<uint8_t> bytes8(256);
    for (int i = 0; i < 256; ++i)
        bytes8[i] = static_cast<uint8_t>(i);
    auto bytes16 = every16BitSample();
    for (uint16_t channels : {uint16_t{1}, uint16_t{2}}) {
        auto copy8 = bytes8;
        applySampleGain(copy8, pcm(channels, 8), 0xFFFFFFFF);
        EXPECT_EQ(copy8, bytes8);
        auto copy16 = bytes16;
        applySampleGain(copy16, pcm(channels, 16), 0xFFFFFFFF);
        EXPECT_EQ(copy16, bytes16);
    }
    // A mono stream takes the left volume only.
    auto copy16 = bytes16;
    applySampleGain(copy16, pcm(1, 16), 0x0000FFFF);
    EXPECT_EQ(copy16, bytes16);
}

TEST(SampleGain, HalfVolumeHalvesToTheNearestValue) {
    auto bytes = every16BitSample();
    auto halved = bytes;
    applySampleGain(halved, pcm(1, 16), 0x8000);
    for (size_t i = 0; i < 65536; ++i) {
        double wanted = sampleAt(bytes, i) / 2.0;
        ASSERT_LE(std::abs(sampleAt(halved, i) - wanted), 1.0) << sampleAt(bytes, i);
    }
    EXPECT_EQ(sampleAt(halved, 1000), 500);
    EXPECT_EQ(sampleAt(halved, 0x8000), -16384);  // -32768
    std::vector<uint8_t> bytes8{0x00, 0x40, 0x80, 0xC0, 0xFF};
    applySampleGain(bytes8, pcm(1, 8), 0x8000);
    EXPECT_EQ(bytes8, (std::vector<uint8_t>{0x40, 0x60, 0x80, 0xA0, 0xC0}));
}

TEST(SampleGain, StereoChannelsTakeTheirOwnVolume) {
    // Left silenced, right at a quarter; unsigned 8-bit silence is 0x80.
    std::vector<uint8_t> bytes8{0x00, 0x00, 0xFF, 0xFF, 0x80, 0x80};
    applySampleGain(bytes8, pcm(2, 8), 0x40000000);
    EXPECT_EQ(bytes8, (std::vector<uint8_t>{0x80, 0x60, 0x80, 0xA0, 0x80, 0x80}));
    std::vector<uint8_t> bytes16(8);
    for (size_t i = 0; i < 4; ++i)
        littleEndian::store16(&bytes16[2 * i], static_cast<uint16_t>(i % 2 ? -20000 : 20000));
    applySampleGain(bytes16, pcm(2, 16), 0xFFFF0000);
    EXPECT_EQ(sampleAt(bytes16, 0), 0);
    EXPECT_EQ(sampleAt(bytes16, 1), -20000);
    EXPECT_EQ(sampleAt(bytes16, 2), 0);
    EXPECT_EQ(sampleAt(bytes16, 3), -20000);
}

TEST(SampleGain, APartOfASampleAtTheEndIsLeftAlone) {
    std::vector<uint8_t> bytes{0x10, 0x27, 0x7F};  // 10000, then half a sample
    applySampleGain(bytes, pcm(1, 16), 0x8000);
    EXPECT_EQ(sampleAt(bytes, 0), 5000);
    EXPECT_EQ(bytes[2], 0x7F);
}

}  // namespace
