// The clip's sound queued as frames are read, on the null wave-out device.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/platform/MessageQueue.h"
#include "engine/platform/Module.h"
#include "engine/platform/NullWaveOut.h"
#include "engine/platform/WaveOut.h"
#include "tests/support/AviClip.h"
#include "tests/support/FfmpegDecode.h"

using platform::NullWaveOut;
using platform::WaveOut;
using testing_support::AviClip;

namespace {

std::filesystem::path clipPath(const std::string& name) {
    return std::filesystem::path(LUMIVALE_TESTDATA) / "avi" / name;
}

class AviSoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::WaveOutCaps caps;
        caps.formats = 0xFFF;
        device->setCaps(caps);
        WaveOut::select(device);
        previousInstance = mObject::instance;
        mObject::instance = &module;
    }
    void TearDown() override {
        mObject::instance = previousInstance;
        WaveOut::select(nullptr);
    }

    void dispatchAll() {
        platform::Message message;
        while (platform::MessageQueue::peek(message))
            platform::MessageQueue::dispatch(message);
    }

    // Plays the clip while reading every frame, the device finishing what it was given after
    // each; returns every byte the device got.
    std::vector<uint8_t> playAlong(AviClip& clip) {
        EXPECT_EQ(clip.avi.play(0, 1), 1);
        uint32_t handle = clip.avi.waveOut;
        clip.avi.setAutoAdvance(1);
        for (int32_t k = 0; k < clip.avi.frameCount; ++k) {
            EXPECT_EQ(clip.read(), k);
            device->finishAll(handle);
            dispatchAll();
        }
        return device->written(handle);
    }

    std::shared_ptr<NullWaveOut> device = std::make_shared<NullWaveOut>();
    platform::Module module;
    const platform::Module* previousInstance = nullptr;
};

TEST_F(AviSoundTest, TheChosenStreamsChunksReachTheDeviceAsFfmpegDecodesThem) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    struct Case {
        const char* name;
        const char* samples;
        uint32_t rate;
        uint16_t channels;
    };
    for (const Case& c : {Case{"ff_raw_pal8_80x60_u8audio.avi", "u8", 11025, 1},
                          Case{"ff_raw_pal8_33x17_s16audio.avi", "s16le", 22050, 2}}) {
        SCOPED_TRACE(c.name);
        AviClip clip(clipPath(c.name));
        ASSERT_TRUE(clip.isOpen());
        EXPECT_EQ(clip.avi.mImage::count, 1);
        EXPECT_EQ(clip.avi.audioStream, 1);
        EXPECT_EQ(clip.avi.audioChunkId, mFile::fourCC("01wb"));
        EXPECT_EQ(clip.avi.rate, c.rate);
        EXPECT_EQ(clip.avi.scale, c.channels);
        // One frame's time and 10 ms in each block, in whole 32-bit words; two blocks.
        EXPECT_EQ(clip.avi.blockCount, 2);
        const uint32_t frameSound =
            clip.avi.positionToBytes(static_cast<uint32_t>(clip.avi.frameTime) + 10);
        EXPECT_EQ(clip.avi.blockSize, (frameSound + 3) & ~3u);
        auto theirs = testing_support::ffmpegDecodeAudio(clipPath(c.name), c.samples);
        ASSERT_TRUE(theirs);
        EXPECT_EQ(clip.avi.dataBytes, theirs->size());
        std::vector<uint8_t> ours = playAlong(clip);
        EXPECT_TRUE(ours == *theirs) << ours.size() << " bytes, ffmpeg " << theirs->size();
        // The whole sound was queued: playback ended with the last block.
        EXPECT_EQ(clip.avi.playing, 0);
    }
}

TEST_F(AviSoundTest, ChunksFindingNoFreeBlockAreDroppedAndFramesGoOn) {
    AviClip clip(clipPath("ff_raw_pal8_33x17_s16audio.avi"));
    ASSERT_TRUE(clip.isOpen());
    ASSERT_EQ(clip.avi.play(0, 1), 1);
    uint32_t handle = clip.avi.waveOut;
    clip.avi.setAutoAdvance(1);
    // The device finishes nothing: the five chunks before frame 1 fill one block and start the
    // other, and the sound after them is dropped.
    for (int32_t k = 0; k < clip.avi.frameCount; ++k)
        ASSERT_EQ(clip.read(), k);
    EXPECT_EQ(device->queuedCount(handle), 2u);
    ASSERT_LT(clip.avi.blockSize, 5u * 4096u);
    EXPECT_EQ(device->written(handle).size(), 5u * 4096u);
    EXPECT_EQ(clip.avi.stop(), 1);
}

TEST_F(AviSoundTest, AClipWithoutSoundRefusesToPlayAndReadsFrames) {
    AviClip clip(clipPath("upload.avi"));
    ASSERT_TRUE(clip.isOpen());
    EXPECT_EQ(clip.avi.streamTag, mFile::fourCC("NONE"));
    EXPECT_EQ(clip.avi.play(0, 1), 0);
    EXPECT_EQ(device->lastOpened(), 0u);
    clip.avi.setAutoAdvance(1);
    for (int32_t k = 0; k < clip.avi.frameCount; ++k)
        ASSERT_EQ(clip.read(), k);
}

TEST_F(AviSoundTest, SetCurrentChoosesTheAudioStreamsChunks) {
    AviClip clip(clipPath("ff_raw_pal8_80x60_u8audio.avi"));
    ASSERT_TRUE(clip.isOpen());
    EXPECT_EQ(clip.avi.setCurrent(0), 0);
    EXPECT_EQ(clip.avi.audioChunkId, mFile::fourCC("00wb"));
    EXPECT_EQ(clip.avi.bestAudioPriority, 99);
    // Stream 0 is the picture: its chunks are no sound, so none reaches the device.
    ASSERT_EQ(clip.avi.play(0, 1), 1);
    uint32_t handle = clip.avi.waveOut;
    clip.avi.setAutoAdvance(1);
    for (int32_t k = 0; k < clip.avi.frameCount; ++k)
        ASSERT_EQ(clip.read(), k);
    EXPECT_TRUE(device->written(handle).empty());
    clip.avi.stop();
    EXPECT_EQ(clip.avi.setCurrent(1), 1);
    EXPECT_EQ(clip.avi.audioChunkId, mFile::fourCC("01wb"));
    EXPECT_EQ(clip.avi.rate, 11025u);
}

}  // namespace
