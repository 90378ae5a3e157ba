// Image sprites built from a file name: image files wrapped in a group, and "LOD" text files
// whose script and definitions are read from the same text.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/mFile.h"
#include "engine/platform/ReportSink.h"
#include "engine/sprite/mScript.h"
#include "engine/sprite/mSpriteGroup.h"
#include "engine/sprite/mSpriteImage.h"
#include "tests/sprite/DefinitionFiles.h"
#include "tests/support/TempFile.h"

using definitiontest::flicHeight;
using definitiontest::flicWidth;
using definitiontest::framePixels;
using definitiontest::pictureArea;
using definitiontest::pictureBmp;
using definitiontest::textsOf;
using definitiontest::walkingFlic;
using platform::ReportSink;
using testing_support::TempFile;

namespace {

using Texts = std::vector<std::string>;
using Step = std::pair<uint16_t, int32_t>;  // opcode, operand

std::vector<Step> stepsOf(const mSprite& sprite) {
    std::vector<Step> steps;
    if (!sprite.script) return steps;
    for (int32_t k = 0; k < sprite.script->count; ++k)
        steps.emplace_back(sprite.script->instructions[k].opcode,
                           sprite.script->instructions[k].operand);
    return steps;
}

mSpriteGroup& groupOf(const mSpriteImage& sprite) {
    auto* group = dynamic_cast<mSpriteGroup*>(sprite.image);
    if (!group) throw std::logic_error("the sprite shows no group");
    return *group;
}

TEST(SpriteImageFile, AnImageFileIsWrappedInAGroupOfAllItsFrames) {
    TempFile walk = walkingFlic(4);
    ReportSink::Capture capture;
    mSpriteImage sprite(walk.path());
    mSpriteGroup& group = groupOf(sprite);
    EXPECT_EQ(group.format, mSpriteGroup::formatGroup);
    EXPECT_EQ(group.useCount, 1);
    EXPECT_EQ(group.frameCount, 4);
    EXPECT_EQ(framePixels(group, 0), pictureArea({0, 0, flicWidth, flicHeight}));
    EXPECT_EQ(sprite.script, nullptr);
    EXPECT_EQ(sprite.stage, nullptr);
    EXPECT_EQ(sprite.bounds, (Rect{0, 0, flicWidth, flicHeight}));
    EXPECT_EQ(textsOf(capture), Texts{});
}

TEST(SpriteImageFile, BothCasesOfLodReadScriptAndDefinitionsFromOneText) {
    TempFile sheet = pictureBmp(10, 10);
    for (const char* suffix : {".LOD", ".lod"}) {
        SCOPED_TRACE(suffix);
        // Script and definition lines interleave; both readers stop at END.
        TempFile lod("FRAME 2\nFILE " + std::string(sheet.path()) +
                         "\nDELAY 3\nTILE 5,5\n// FRAME 7\nFRAME 1\nEND\nDELAY 9\nRECT 0,0,1,1\n",
                     suffix);
        ReportSink::Capture capture;
        mSpriteImage sprite(lod.path());
        EXPECT_EQ(stepsOf(sprite),
                  (std::vector<Step>{
                      {mScript::opFrame, 2}, {mScript::opDelay, 3}, {mScript::opFrame, 1}}));
        mSpriteGroup& group = groupOf(sprite);
        ASSERT_EQ(group.frameCount, 4);
        EXPECT_EQ(framePixels(group, 1), pictureArea({5, 0, 10, 5}));
        EXPECT_EQ(sprite.bounds, (Rect{0, 0, 5, 5}));
        EXPECT_EQ(textsOf(capture), Texts{});
    }
}

TEST(SpriteImageFile, ALodWithoutScriptStillYieldsItsGroup) {
    TempFile sheet = pictureBmp(10, 10);
    TempFile lod("FILE " + std::string(sheet.path()) + "\nRECT 2,2,6,6\nEND\n", ".lod");
    mSpriteImage sprite(lod.path());
    EXPECT_EQ(sprite.script, nullptr);
    mSpriteGroup& group = groupOf(sprite);
    ASSERT_EQ(group.frameCount, 1);
    EXPECT_EQ(framePixels(group, 0), pictureArea({2, 2, 6, 6}));
}

// The definitions lie behind more script than one buffer holds, so reading them again starts
// from a buffer that has moved on.
TEST(SpriteImageFile, DefinitionsAfterALongScriptAreReadFromTheStart) {
    TempFile sheet = pictureBmp(10, 10);
    std::string text = "FILE " + std::string(sheet.path()) + "\n";
    for (int32_t k = 0; k < 3 * mFile::defaultBufferSize / 8; ++k)
        text += "DELAY 1\n";
    text += "RECT 0,0,3,3\nEND\n";
    TempFile lod(text, ".lod");
    mSpriteImage sprite(lod.path());
    ASSERT_NE(sprite.script, nullptr);
    EXPECT_EQ(sprite.script->count, mScript::capacity);
    mSpriteGroup& group = groupOf(sprite);
    ASSERT_EQ(group.frameCount, 1);
    EXPECT_EQ(framePixels(group, 0), pictureArea({0, 0, 3, 3}));
}

TEST(SpriteImageFile, LoadScriptReturnsOneWhateverTheScriptBecame) {
    std::string text = "DELAY 4\nFILE none.bmp\n";
    std::vector<uint8_t> block(text.begin(), text.end());
    block.push_back(0);

    mSpriteImage plain;
    mFile file;
    file.openMemory(block.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(plain.loadScript(file), 1);
    file.close();
    EXPECT_EQ(stepsOf(plain), (std::vector<Step>{{mScript::opDelay, 4}}));

    mSpriteImage empty;
    mFile none;
    EXPECT_EQ(empty.loadScript(none), 1);
    EXPECT_EQ(empty.script, nullptr);
}

TEST(SpriteImageFile, FilesThatCannotBeReadLeaveAnEmptyGroup) {
    {
        ReportSink::Capture capture;
        std::string missing = testing_support::uniqueTempPath(".lod");
        mSpriteImage sprite(missing.c_str());
        EXPECT_EQ(groupOf(sprite).frameCount, 0);
        EXPECT_EQ(sprite.script, nullptr);
        ASSERT_EQ(capture.count(), 1u);
        EXPECT_EQ(capture.reports()[0].caption, "mFile");
        EXPECT_EQ(textsOf(capture)[0].substr(0, 16), "File open error:");
    }
    {
        ReportSink::Capture capture;
        mSpriteImage sprite("no-extension");
        EXPECT_EQ(groupOf(sprite).frameCount, 0);
        EXPECT_EQ(textsOf(capture), Texts{"File type error:"});
    }
}

}  // namespace
