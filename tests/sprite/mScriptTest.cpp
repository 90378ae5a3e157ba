#include "engine/sprite/mScript.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/platform/ReportSink.h"
#include "engine/sprite/mSprite.h"
#include "tests/sprite/ScriptTestSupport.h"

using platform::ReportSink;

namespace {

TEST(Script, AppendsUpTo255InstructionsInZeroedMemory) {
    mScript script;
    ASSERT_NE(script.instructions, nullptr);
    EXPECT_EQ(mScript::memoryBytes, 2040u);
    EXPECT_EQ(script.instructions[254].opcode, 0);
    for (int32_t i = 0; i < 255; ++i)
        EXPECT_EQ(script.append({mScript::opFrame, 0, i}), 1);
    EXPECT_EQ(script.append({mScript::opShow, 0, 0}), 0);
    EXPECT_EQ(script.count, 255);
    EXPECT_EQ(script.instructions[254].operand, 254);
}

TEST(Script, DestroyedWhileHeldWarnsOnceAsItself) {
    ReportSink::Capture capture;
    {
        mScript script;
        script.useCount = 1;
    }
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mScript");
    EXPECT_EQ(reports[0].text, "Still in use");
    EXPECT_EQ(reports[0].icon, ReportSink::iconExclamation);
}

// Copies share the script; the last holder destroys it without a warning.
TEST(Script, SpritesShareItThroughItsUseCount) {
    ReportSink::Capture capture;
    auto original = std::make_unique<mSprite>();
    ASSERT_EQ(spritetest::loadScriptText(*original, "MOVEX 3\nENDCYCLE\n"), 1);
    mScript* shared = original->script;
    EXPECT_EQ(shared->useCount, 1);

    mSprite copy(*original);
    EXPECT_EQ(copy.script, shared);
    mSprite assigned;
    spritetest::loadScriptText(assigned, "HIDE\n");
    assigned = copy;
    EXPECT_EQ(assigned.script, shared);
    EXPECT_EQ(shared->useCount, 3);

    original.reset();
    EXPECT_EQ(shared->useCount, 2);
    copy.tick(0);
    EXPECT_EQ(copy.x, 3);
    EXPECT_EQ(assigned.x, 0);
    EXPECT_TRUE(capture.reports().empty());
}

}  // namespace
