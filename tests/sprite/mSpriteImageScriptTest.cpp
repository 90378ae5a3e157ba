// Image sprites driven by scripts: the frame the step leaves is the one shown, and the interval
// comes from the step's DELAY or the frame time, scaled by the speed.
#include <gtest/gtest.h>

#include <string>

#include "engine/sprite/mSpriteImage.h"
#include "tests/sprite/ScriptTestSupport.h"
#include "tests/sprite/SpriteTestSupport.h"
#include "tests/stage/StageTestSupport.h"

using spritetest::handedOver;
using spritetest::loadScriptText;
using spritetest::RecordingImage;

namespace {

class ScriptedImage : public stagetest::StageTest {
  protected:
    // A sprite over 10 frames of 100 ms each, running `source`.
    void load(const std::string& source) {
        image = handedOver<RecordingImage>(10, 100);
        sprite.setImage(image);
        ASSERT_EQ(loadScriptText(sprite, source), 1);
    }
    mSpriteImage sprite;
    RecordingImage* image = nullptr;
};

TEST_F(ScriptedImage, ADelayGivesTheStepItsIntervalScaledBySpeed) {
    load(
        "DELAY 500\nENDCYCLE\nADVANCEFRAME\nENDCYCLE\nSPEED 50\nDELAY 500\nENDCYCLE\n"
        "SPEED 200\nADVANCEFRAME\nENDCYCLE\n");
    sprite.tick(0);
    EXPECT_EQ(sprite.interval, 500u);
    sprite.tick(0);
    EXPECT_EQ(sprite.interval, 100u);  // no DELAY: the frame time
    sprite.tick(0);
    EXPECT_EQ(sprite.interval, 1000u);
    sprite.tick(0);
    EXPECT_EQ(sprite.interval, 50u);
    EXPECT_EQ(sprite.frame, 2);
    EXPECT_EQ(image->seeks.back(), (std::pair<int32_t, int32_t>{2, 0}));
}

TEST_F(ScriptedImage, AnEndedScriptLeavesTheImageOnItsFrame) {
    load("FRAME 4\n");
    for (int tick = 0; tick < 3; ++tick) {
        sprite.tick(0);
        EXPECT_EQ(sprite.frame, 4);
        EXPECT_EQ(image->seeks.back(), (std::pair<int32_t, int32_t>{4, 0}));
        EXPECT_EQ(sprite.interval, 100u);
    }
}

TEST_F(ScriptedImage, StepsBeforeTheFirstFrameCountAsPastTheEnd) {
    load("LABEL 1\nFRAME 2\nENDCYCLE\nADVANCEFRAME -5\nLOOP 1\n");
    sprite.tick(0);
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 0);
    EXPECT_EQ(sprite.interval, 100u);

    sprite.setLoop(0);
    sprite.startScript(0);
    sprite.tick(0);
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 9);
    EXPECT_EQ(sprite.interval, 0u);
}

// Without loop the last frame stays; a DELAY in that step still times the next tick.
TEST_F(ScriptedImage, ADelayKeepsAScriptGoingOnTheLastFrame) {
    load("SPEED 50\nFRAME 12\nDELAY 300\nENDCYCLE\nFRAME 3\nENDCYCLE\n");
    sprite.setLoop(0);
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 9);
    EXPECT_EQ(sprite.interval, 600u);
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 3);
    EXPECT_EQ(sprite.interval, 200u);
}

TEST_F(ScriptedImage, PauseAlsoPausesTheImage) {
    load("ADVANCEFRAME\nPAUSE\n");
    sprite.tick(0);
    EXPECT_EQ(image->calls.back(), "pause");
    EXPECT_NE(sprite.spriteFlags & mSprite::flagPaused, 0u);
}

}  // namespace
