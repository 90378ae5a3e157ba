// WAVEFILE attaches its sound while the script compiles, and SOUND plays it through the
// wave-out device (the null one here) when the script runs.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/media/mAudioWAV.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Module.h"
#include "engine/platform/NullWaveOut.h"
#include "engine/platform/ReportSink.h"
#include "engine/platform/WaveOut.h"
#include "engine/sprite/mSprite.h"
#include "tests/sprite/ScriptTestSupport.h"
#include "tests/support/TempFile.h"
#include "tests/support/WaveTestFile.h"

using platform::NullWaveOut;
using platform::ReportSink;
using platform::WaveOut;
using testing_support::TempFile;
using testing_support::WaveTestFile;

namespace {

class ScriptSound : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::WaveOutCaps caps;
        caps.formats = 0xFFF;
        device->setCaps(caps);
        WaveOut::select(device);
        previousInstance = mObject::instance;
        mObject::instance = &module;
        platform::MessageQueue::forCurrentThread();
    }
    void TearDown() override {
        mObject::instance = previousInstance;
        WaveOut::select(nullptr);
    }

    std::shared_ptr<NullWaveOut> device = std::make_shared<NullWaveOut>();
    platform::Module module;
    const platform::Module* previousInstance = nullptr;
};

TEST_F(ScriptSound, AFailedWaveFileShiftsTheSoundIndexes) {
    WaveTestFile wave;
    wave.data = testing_support::soundPattern(3000);
    TempFile sound(wave.bytes(), ".wav");
    std::string missing = testing_support::uniqueTempPath(".wav");

    ReportSink::Capture capture;
    mSprite sprite;
    ASSERT_EQ(spritetest::loadScriptText(sprite, "WAVEFILE " + missing + "\nWAVEFILE " +
                                                     sound.path() + "  \nSOUND 0\nSOUND 1\n"),
              1);
    // The file layer reports the file it could not open, then the sprite does.
    auto texts = spritetest::reportTexts(capture);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], "mSprite/File open error:" + missing.substr(0, 40));
    ASSERT_EQ(sprite.sounds.size(), 1u);
    // Both WAVEFILE records are kept, doing nothing at run time.
    EXPECT_EQ(spritetest::recordsOf(sprite),
              (spritetest::Records{{16, 0, 0}, {16, 0, 0}, {17, 0, 0}, {17, 0, 1}}));

    sprite.tick(0);
    auto* player = dynamic_cast<mAudioWAV*>(sprite.sounds[0]);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->playing, 1);
    uint32_t handle = player->waveOut;
    EXPECT_EQ(device->lastOpened(), handle);
    device->finishAll(handle);
    platform::Message message;
    while (platform::MessageQueue::peek(message))
        platform::MessageQueue::dispatch(message);
    EXPECT_EQ(player->playing, 0);
    EXPECT_EQ(device->written(handle), wave.data);
}

}  // namespace
