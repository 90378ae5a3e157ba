// Running compiled scripts at the sprites' ticks: what each instruction does to the sprite, where
// a step ends, hits, and sharing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/platform/ReportSink.h"
#include "engine/platform/Window.h"
#include "engine/sprite/mSprite.h"
#include "tests/sprite/ScriptTestSupport.h"
#include "tests/stage/StageTestSupport.h"

using platform::ReportSink;
using spritetest::loadScriptText;
using spritetest::reportTexts;

namespace {

class ScriptRun : public stagetest::StageTest {
  protected:
    platform::Window window{64, 48};
};

TEST_F(ScriptRun, EachInstructionSetsTheSpritesState) {
    mDirector stage(window, 50);
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite,
                             "FRAME 7\nADVANCEFRAME -2\nPOSX 10\nPOSY 20\nMOVEX -3\nMOVEY 5\n"
                             "POSZ 5\nMOVEZ 2\nHITDEPTH 10\nSET 13\nCLEAR 4\nHITID 6\nHITMASK 3\n"
                             "SPEED 50\nDELAY 40\nHIDE\nHIDE\nSHOW\nSOUND 3\nNOP\nENDCYCLE\n"
                             "FRAME 99\n"),
              1);
    stage.add(sprite);
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 5);
    EXPECT_EQ(sprite.x, 7);
    EXPECT_EQ(sprite.y, 25);
    EXPECT_EQ(sprite.z, 7);
    EXPECT_EQ(sprite.depthLow, 2);
    EXPECT_EQ(sprite.depthHigh, 12);
    EXPECT_EQ(sprite.stateBits, 9u);
    EXPECT_EQ(sprite.hitId, 6u);
    EXPECT_EQ(sprite.hitMask, 3u);
    // SPEED is stored only; a plain sprite keeps the DELAY as its interval.
    EXPECT_EQ(sprite.speed, 50u);
    EXPECT_EQ(sprite.interval, 40u);
    EXPECT_EQ(sprite.hideCount, -1);
    EXPECT_EQ(sprite.pc, 21);
}

TEST_F(ScriptRun, ConditionsJumpOnTheStateBitsAndTheFrame) {
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite,
                             "SET 1\n"
                             "IF 2,1\nMOVEX 1\nLABEL 1\n"          // not taken
                             "IF 1,2\nMOVEX 10\nLABEL 2\n"         // taken
                             "IFNOT 1,3\nMOVEX 100\nLABEL 3\n"     // not taken
                             "IFNOT 4,4\nMOVEX 1000\nLABEL 4\n"    // taken
                             "IFFRAME 1,5\nMOVEY 1\nLABEL 5\n"     // not taken
                             "IFFRAME 0,6\nMOVEY 10\nLABEL 6\n"),  // taken
              1);
    sprite.tick(0);
    EXPECT_EQ(sprite.x, 101);
    EXPECT_EQ(sprite.y, 1);
}

TEST_F(ScriptRun, AScriptWithoutYieldRunsToItsEndInOneTickThenDoesNothing) {
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite, "FRAME 3\nMOVEX 5\nADVANCEFRAME\n"), 1);
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 4);
    EXPECT_EQ(sprite.x, 5);
    sprite.tick(0);
    sprite.tick(0);
    EXPECT_EQ(sprite.frame, 4);
    EXPECT_EQ(sprite.x, 5);
    EXPECT_EQ(sprite.pc, 3);
}

TEST_F(ScriptRun, LoopToALabelOnTheFirstLineRepeatsTheTopEveryTick) {
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite, "LABEL 1\nMOVEX 2\nADVANCEFRAME -2\nLOOP 1\nMOVEX 100\n"), 1);
    sprite.frame = 5;
    for (int tick = 1; tick <= 3; ++tick) {
        sprite.tick(0);
        EXPECT_EQ(sprite.x, 2 * tick);
        EXPECT_EQ(sprite.pc, 0);
    }
    EXPECT_EQ(sprite.frame, -1);
}

TEST_F(ScriptRun, PauseYieldsAndResumeGoesOnAfterIt) {
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite, "MOVEX 1\nPAUSE\nMOVEX 10\n"), 1);
    sprite.tick(0);
    EXPECT_NE(sprite.spriteFlags & mSprite::flagPaused, 0u);
    sprite.tick(0);
    EXPECT_EQ(sprite.x, 1);
    sprite.resume();
    sprite.tick(0);
    EXPECT_EQ(sprite.x, 11);
}

constexpr const char* hitScript =
    "LABEL 1\nIFHITID 8,5\nIFHITMASK 8,6\nENDCYCLE\nIFHIT 7\nLOOP 1\n"
    "LABEL 5\nSET 1\nPAUSE\nLABEL 6\nSET 2\nPAUSE\nLABEL 7\nSET 4\nPAUSE\n";

TEST_F(ScriptRun, AHitThatTheTestsDoNotMatchStaysPendingForALaterIfHit) {
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite, hitScript), 1);
    mRenderer other;
    other.hitId = 4;
    sprite.hit(other);
    sprite.tick(0);
    EXPECT_EQ(sprite.stateBits, 0u);
    EXPECT_NE(sprite.spriteFlags & mSprite::flagHitPending, 0u);
    sprite.tick(0);
    EXPECT_EQ(sprite.stateBits, 4u);
    EXPECT_EQ(sprite.spriteFlags & mSprite::flagHitPending, 0u);
}

TEST_F(ScriptRun, HitTestsJumpOnTheHittersIdOrMaskAndConsumeTheHit) {
    for (auto [id, bits] : {std::pair{8u, 1u}, std::pair{12u, 2u}, std::pair{1u, 4u}}) {
        SCOPED_TRACE(id);
        mSprite sprite;
        ASSERT_EQ(loadScriptText(sprite, hitScript), 1);
        // Without a hit neither test jumps, nor does IFHIT.
        sprite.tick(0);
        sprite.tick(0);
        EXPECT_EQ(sprite.pc, 0);
        mRenderer other;
        other.hitId = id;
        sprite.hit(other);
        sprite.tick(0);
        sprite.tick(0);
        EXPECT_EQ(sprite.stateBits, bits);
        EXPECT_EQ(sprite.spriteFlags & mSprite::flagHitPending, 0u);
    }
}

TEST_F(ScriptRun, ACycleOfJumpsWithoutYieldEndsTheStepAndIsReportedOnce) {
    ReportSink::Capture capture;
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite, "LABEL 1\nMOVEX 1\nIF 0,2\nGOTO 1\nLABEL 2\n"), 1);
    mSprite sharing(sprite);
    sprite.tick(0);
    // Each pass of the cycle performs four instructions.
    EXPECT_EQ(sprite.x, mSprite::stepInstructionLimit / 4);
    sprite.tick(0);
    sharing.tick(0);
    EXPECT_EQ(sprite.x, mSprite::stepInstructionLimit / 2);
    EXPECT_EQ(sharing.x, mSprite::stepInstructionLimit / 4);
    EXPECT_EQ(reportTexts(capture),
              (std::vector<std::string>{"mSprite/Value out of range:Instructions per step"}));
}

TEST_F(ScriptRun, AttachingRestartsTheScriptUnlessPaused) {
    mDirector stage(window, 50);
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite, "MOVEX 1\nENDCYCLE\nMOVEX 10\nENDCYCLE\n"), 1);
    sprite.tick(0);
    EXPECT_EQ(sprite.pc, 2);
    stage.add(sprite);
    EXPECT_EQ(sprite.pc, 0);
}

TEST_F(ScriptRun, SpritesSharingAScriptRunItAtTheirOwnPositions) {
    mSprite first;
    ASSERT_EQ(loadScriptText(first, "LABEL 1\nMOVEX 4\nLOOP 1\n"), 1);
    mSprite second(first);
    second.x = 100;
    for (int tick = 0; tick < 3; ++tick) {
        first.tick(0);
        second.tick(0);
    }
    EXPECT_EQ(first.x, 12);
    EXPECT_EQ(second.x, 112);
    EXPECT_EQ(first.script, second.script);
}

}  // namespace
