// Compiling scripts from real files through the sprite's loadScript: the records, the reports,
// and what bad input leaves behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/mFile.h"
#include "engine/platform/Memory.h"
#include "engine/platform/ReportSink.h"
#include "engine/sprite/mScript.h"
#include "engine/sprite/mSprite.h"
#include "tests/sprite/ScriptTestSupport.h"

using platform::ReportSink;
using spritetest::loadScriptBytes;
using spritetest::loadScriptText;
using spritetest::Records;
using spritetest::recordsOf;
using spritetest::reportTexts;
using Texts = std::vector<std::string>;

namespace {

TEST(ScriptCompile, EveryKeywordGivesItsOpcodeAndOperand) {
    ReportSink::Capture capture;
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite,
                             "NOP\nLABEL 1\n:2\nFRAME 3\nADVANCEFRAME 4\nDELAY 5\nSPEED 6\nPAUSE\n"
                             "POSX 8\nPOSY 9\nPOSZ 10\nMOVEX 11\nMOVEY 12\nMOVEZ 13\nHIDE\nSHOW\n"
                             "SOUND 17\nSET 18\nCLEAR 19\nIF 20,1\nIFNOT 21,2\nIFFRAME 22,1\n"
                             "IFHIT 2\nIFHITID 24,1\nIFHITMASK 25,2\nHITID 26\nHITMASK 27\n"
                             "HITDEPTH 28\nGOTO 1\nLOOP 2\nENDCYCLE\n"),
              1);
    EXPECT_EQ(recordsOf(sprite),
              (Records{{0, 0, 0},   {1, 0, 1},   {2, 0, 2},   {3, 0, 3},   {4, 0, 4},   {5, 0, 5},
                       {6, 0, 6},   {7, 0, 0},   {8, 0, 8},   {9, 0, 9},   {10, 0, 10}, {11, 0, 11},
                       {12, 0, 12}, {13, 0, 13}, {14, 0, 0},  {15, 0, 0},  {17, 0, 17}, {18, 0, 18},
                       {19, 0, 19}, {20, 1, 20}, {21, 2, 21}, {22, 1, 22}, {23, 2, 0},  {24, 1, 24},
                       {25, 2, 25}, {26, 0, 26}, {27, 0, 27}, {28, 0, 28}, {29, 1, 0},  {30, 2, 0},
                       {31, 0, 0}}));
    EXPECT_TRUE(capture.reports().empty());
}

TEST(ScriptCompile, ConditionsTakeTheNumberBeforeTheCommaAndTheLabelAfterIt) {
    ReportSink::Capture capture;
    mSprite sprite;
    // IF3,7 is one unknown word: no keyword is followed by a separator there.
    ASSERT_EQ(loadScriptText(sprite, "IF3,7\nIFNOT 3,7\nLABEL 7\n"), 1);
    EXPECT_EQ(recordsOf(sprite), (Records{{21, 1, 3}, {1, 0, 7}}));

    mSprite unresolved;
    loadScriptText(unresolved, "IFNOT 3,7\n");
    EXPECT_EQ(recordsOf(unresolved), (Records{{0, 0, 0}}));
    EXPECT_EQ(reportTexts(capture), (Texts{"mSprite/Label doesn't exist:7"}));
}

TEST(ScriptCompile, AdvanceFrameWithoutOrWithZeroOperandAdvancesByOne) {
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite, "ADVANCEFRAME\nADVANCEFRAME 0\nADVANCEFRAME -2\n"), 1);
    EXPECT_EQ(recordsOf(sprite), (Records{{4, 0, 1}, {4, 0, 1}, {4, 0, -2}}));
}

TEST(ScriptCompile, JumpsAndConditionsWithoutALabelAreReportedAndBecomeNops) {
    ReportSink::Capture capture;
    mSprite sprite;
    ASSERT_EQ(
        loadScriptText(sprite, "GOTO 0\nGOTO\nLOOP 65536\nIFHIT x\nIF 3\nIFHITMASK 2,0\nSHOW\n"),
        1);
    EXPECT_EQ(
        recordsOf(sprite),
        (Records{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {15, 0, 0}}));
    EXPECT_EQ(reportTexts(capture),
              (Texts{"mSprite/Missing parameter:GOTO", "mSprite/Missing parameter:GOTO",
                     "mSprite/Missing parameter:LOOP", "mSprite/Missing parameter:IFHIT",
                     "mSprite/Missing parameter:IF", "mSprite/Missing parameter:IFHITMASK"}));
    EXPECT_EQ(capture.reports()[0].icon, ReportSink::iconHand);
}

TEST(ScriptCompile, LabelsAreSixteenBitsWide) {
    ReportSink::Capture capture;
    mSprite missing;
    loadScriptText(missing, "LABEL 70000\nGOTO 70000\n");
    EXPECT_EQ(recordsOf(missing), (Records{{1, 0, 70000}, {0, 0, 0}}));
    EXPECT_EQ(reportTexts(capture), (Texts{"mSprite/Label doesn't exist:4464"}));

    capture.clear();
    mSprite found;
    loadScriptText(found, "NOP\nLABEL 4464\nGOTO 70000\nIF 1,70000\n");
    EXPECT_EQ(recordsOf(found), (Records{{0, 0, 0}, {1, 0, 4464}, {29, 1, 0}, {20, 1, 1}}));
    EXPECT_TRUE(capture.reports().empty());
}

TEST(ScriptCompile, JumpsGoToTheFirstDefinitionOfTheirLabel) {
    ReportSink::Capture capture;
    mSprite sprite;
    loadScriptText(sprite, "GOTO 3\n: 3\nLABEL 3\nGOTO 3\nGOTO 9\nGOTO 9\n");
    EXPECT_EQ(recordsOf(sprite),
              (Records{{29, 1, 0}, {2, 0, 3}, {1, 0, 3}, {29, 1, 0}, {0, 0, 0}, {0, 0, 0}}));
    // Each instruction that names a missing label reports it.
    EXPECT_EQ(reportTexts(capture),
              (Texts{"mSprite/Label doesn't exist:9", "mSprite/Label doesn't exist:9"}));
}

TEST(ScriptCompile, LetterCaseEqualsSignsAndBlanksGiveTheSameRecord) {
    for (const char* line :
         {"POSX 10", "POSX=10", "posx = 10", "  PosX\t=\t 10  ", "POSX==10", "pOsX   10 pixels"}) {
        SCOPED_TRACE(line);
        mSprite sprite;
        ASSERT_EQ(loadScriptText(sprite, line), 1);
        EXPECT_EQ(recordsOf(sprite), (Records{{8, 0, 10}}));
    }
}

TEST(ScriptCompile, CommentsUnknownWordsAndKeywordsInsideText) {
    ReportSink::Capture capture;
    mSprite sprite;
    ASSERT_EQ(loadScriptText(sprite,
                             "// FRAME 1 is a comment\n"
                             "walk on, then HIDE behind the tree\n"  // HIDE's argument is ignored
                             "UNHIDE SHOWING frames\n"               // no keyword stands alone
                             "and the FRAME is 5\n"                  // FRAME's argument: "is 5"
                             "//" +
                                 std::string(80, 'x') +
                                 " SHOW\n"  // past the comment's 80
                                 "MOVEX 4 // and a note\n"),
              1);
    EXPECT_EQ(recordsOf(sprite), (Records{{14, 0, 0}, {3, 0, 0}, {15, 0, 0}, {11, 0, 4}}));
    EXPECT_TRUE(capture.reports().empty());
}

TEST(ScriptCompile, NumbersReadAsTheCLibraryReadsThem) {
    mSprite sprite;
    loadScriptText(sprite,
                   "FRAME +12abc\nFRAME -0x10\nFRAME abc\nFRAME 99999999999\n"
                   "FRAME -99999999999\nDELAY 4294967296\nSET -1\n");
    EXPECT_EQ(recordsOf(sprite), (Records{{3, 0, 12},
                                          {3, 0, 0},
                                          {3, 0, 0},
                                          {3, 0, INT32_MAX},
                                          {3, 0, INT32_MIN},
                                          {5, 0, INT32_MAX},
                                          {18, 0, -1}}));
}

TEST(ScriptCompile, TheTableHoldsAtMost255InstructionsAndDropsTheRestSilently) {
    ReportSink::Capture capture;
    mSprite sprite;
    std::string text;
    for (int i = 0; i < 255; ++i)
        text += "MOVEX " + std::to_string(i) + "\n";
    // Past the table nothing is compiled: no reports, no sounds opened.
    text += "MOVEX 255\nGOTO 0\nWAVEFILE /no/such.wav\n";
    ASSERT_EQ(loadScriptText(sprite, text), 1);
    auto records = recordsOf(sprite);
    ASSERT_EQ(records.size(), 255u);
    EXPECT_EQ(records.back(), (spritetest::Record{11, 0, 254}));
    EXPECT_TRUE(capture.reports().empty());
    EXPECT_TRUE(sprite.sounds.empty());
}

TEST(ScriptCompile, EndStopsTheSourceAndAnEmptySourceLeavesNoScript) {
    mSprite sprite;
    EXPECT_EQ(loadScriptText(sprite, "SHOW\nEND\nHIDE\n"), 1);
    EXPECT_EQ(recordsOf(sprite), (Records{{15, 0, 0}}));

    for (const char* empty : {"", "END\nSHOW\n", "// nothing\n\n   \n", "words only"}) {
        SCOPED_TRACE(empty);
        mSprite none;
        EXPECT_EQ(loadScriptText(none, empty), 0);
        EXPECT_EQ(none.script, nullptr);
    }

    ReportSink::Capture capture;
    mFile closed;
    EXPECT_EQ(sprite.loadScript(closed), 0);
    EXPECT_EQ(recordsOf(sprite), (Records{{15, 0, 0}}));
    EXPECT_TRUE(capture.reports().empty());
}

// A second source appends behind the first and resolves only its own jumps, against the labels
// of the whole table; the first source's jumps keep their indexes.
TEST(ScriptCompile, ASecondSourceResolvesOnlyItsOwnJumps) {
    ReportSink::Capture capture;
    testing_support::TempFile source(
        std::string("NOP\nLABEL 5\nGOTO 5\nEND\nGOTO 5\n:1\nLOOP 1\n"));
    mFile file;
    ASSERT_EQ(file.open(source.path(), 0), 1);
    mSprite sprite;
    ASSERT_EQ(sprite.loadScript(file), 1);
    EXPECT_EQ(recordsOf(sprite), (Records{{0, 0, 0}, {1, 0, 5}, {29, 1, 0}}));
    ASSERT_EQ(sprite.loadScript(file), 1);
    file.close();
    EXPECT_EQ(recordsOf(sprite),
              (Records{{0, 0, 0}, {1, 0, 5}, {29, 1, 0}, {29, 1, 0}, {2, 0, 1}, {30, 4, 0}}));
    EXPECT_TRUE(capture.reports().empty());
}

TEST(ScriptCompile, BadInputGivesReportsOrNothingButNeverBreaks) {
    ReportSink::Capture capture;
    // Binary garbage, the same every run.
    std::vector<uint8_t> garbage(65536);
    uint32_t state = 1;
    for (auto& byte : garbage) {
        state = state * 214013 + 2531011;
        byte = static_cast<uint8_t>(state >> 16);
    }
    mSprite fromGarbage;
    EXPECT_GE(loadScriptBytes(fromGarbage, garbage), 0);
    auto records = recordsOf(fromGarbage);
    EXPECT_LE(records.size(), 255u);
    for (const auto& record : records) {
        EXPECT_LT(record.opcode, mScript::opEnd);
        EXPECT_LT(record.target, records.size());
    }

    // A megabyte of text: the table fills, the rest is read and dropped.
    capture.clear();
    std::string megabyte;
    while (megabyte.size() < (1u << 20))
        megabyte += "LABEL 1\nMOVEX 1\nIF 1,1\nLOOP 1\n";
    mSprite fromText;
    EXPECT_EQ(loadScriptText(fromText, megabyte), 1);
    EXPECT_EQ(recordsOf(fromText).size(), 255u);
    EXPECT_TRUE(capture.reports().empty());

    // A line far longer than 80 characters: its argument ends at the 80th character, and the
    // rest of the line is read as words.
    mSprite fromLongLine;
    EXPECT_EQ(loadScriptText(fromLongLine, "FRAME " + std::string(100, '7') + " SHOW\n"), 1);
    EXPECT_EQ(recordsOf(fromLongLine), (Records{{3, 0, INT32_MAX}, {15, 0, 0}}));

    mSprite fromLongName;
    loadScriptText(fromLongName, "WAVEFILE " + std::string(300, 'n') + "\n");
    EXPECT_TRUE(fromLongName.sounds.empty());
    auto texts = reportTexts(capture);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "mSprite/File open error:" + std::string(40, 'n'));
}

TEST(ScriptCompile, WithoutInstructionMemoryTheScriptTakesNothing) {
    ReportSink::Capture capture;
    testing_support::TempFile source(std::string("SHOW\n"));
    mFile file;
    ASSERT_EQ(file.open(source.path(), 0), 1);
    mSprite sprite;
    platform::Memory::failAfter(0);
    EXPECT_EQ(sprite.loadScript(file), 0);
    platform::Memory::failAfter(-1);
    file.close();
    EXPECT_EQ(sprite.script, nullptr);
    EXPECT_EQ(reportTexts(capture), (Texts{"mScript/Out of memory"}));
}

}  // namespace
