#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/mFile.h"
#include "tests/support/TempFile.h"

using testing_support::TempFile;

namespace {

const char* const scriptWords[] = {"IF", "LABEL", ":", "FRAME", "IFNOT", ""};
enum { kIf, kLabel, kColon, kFrame, kIfNot };

struct Word {
    int32_t index;
    std::string argument;
    friend bool operator==(const Word&, const Word&) = default;
};

std::ostream& operator<<(std::ostream& out, const Word& w) {
    return out << w.index << " '" << w.argument << "'";
}

std::vector<Word> readAll(mFile& file) {
    std::vector<Word> words;
    for (int32_t index; (index = file.readKeyword(scriptWords)) >= 0;) {
        words.push_back({index, reinterpret_cast<const char*>(file.cursor)});
        if (words.size() > 10000) break;
    }
    return words;
}

std::vector<Word> readText(const std::string& text) {
    TempFile temp(text);
    mFile file;
    if (!file.open(temp.path(), 0)) return {};
    auto words = readAll(file);
    file.close();
    return words;
}

TEST(mFileKeyword, FindsKeywordsAndTheirArguments) {
    auto words = readText(
        "  IFNOT = 3\n"
        "// FRAME 9 in a comment\n"
        "mystery FRAME 2\r\n"
        "frame\t4\n"
        ":name\n"
        "IF\n");
    std::vector<Word> expected = {
        {kIfNot, "3"}, {kFrame, "2"}, {kFrame, "4"}, {kColon, "name"}, {kIf, ""}};
    EXPECT_EQ(words, expected);
}

TEST(mFileKeyword, LeftArgumentsAreReadOnAsText) {
    // The caller does not move past "FRAME 7": its words are read again, and FRAME is found.
    EXPECT_EQ(readText("LABEL FRAME 7\n"), (std::vector<Word>{{kLabel, "FRAME 7"}, {kFrame, "7"}}));
    // "IFX" is not the keyword IF; a keyword needs a separator after it, ":" does not.
    EXPECT_EQ(readText("IFX 1\n:x\n"), (std::vector<Word>{{kColon, "x"}}));
}

TEST(mFileKeyword, LongCommentsAndArgumentsAreCutAtEightyBytes) {
    std::string longComment = "//" + std::string(85, 'x') + " FRAME 7\n";
    EXPECT_EQ(readText(longComment), (std::vector<Word>{{kFrame, "7"}}));

    std::string longArgument = "LABEL " + std::string(100, 'a') + "\n";
    auto words = readText(longArgument);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words[0], (Word{kLabel, std::string(80, 'a')}));
}

TEST(mFileKeyword, LastLineWithoutALineBreakEndsAtTheData) {
    EXPECT_EQ(readText("FRAME 1\nFRAME 12"), (std::vector<Word>{{kFrame, "1"}, {kFrame, "12"}}));
    EXPECT_EQ(readText("FRAME"), (std::vector<Word>{{kFrame, ""}}));
    EXPECT_TRUE(readText("").empty());
}

TEST(mFileKeyword, ReadsAcrossRefills) {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += (i % 3 ? "FRAME " : "  // note\nFRAME= ") + std::to_string(i) + "\n";
    auto words = readText(text);
    ASSERT_EQ(words.size(), 3000u);
    for (int i = 0; i < 3000; ++i)
        EXPECT_EQ(words[static_cast<std::size_t>(i)], (Word{kFrame, std::to_string(i)}));
}

TEST(mFileKeyword, LongestLinesComeBackWholeWhereverTheBufferEnds) {
    std::string argument;
    while (argument.size() < 80)
        argument += "abcdefghij";
    // The keyword, 80 blanks and an argument cut at its 81st byte, which hides the IF behind it.
    std::string lines =
        "LABEL" + std::string(80, ' ') + argument + "IF 2\nFRAME=" + argument + "\nIF 1\n";
    std::vector<Word> expected = {{kLabel, argument}, {kFrame, argument}, {kIf, "1"}};
    for (std::size_t lead = 0; lead < 600; ++lead) {
        std::string text = std::string(lead, '\n') + lines;
        TempFile temp(text);
        mFile file;
        file.setBufferSizes(256, 256);
        ASSERT_EQ(file.open(temp.path(), 0), 1);
        EXPECT_EQ(readAll(file), expected) << lead << " line breaks before";
        file.close();

        std::vector<uint8_t> block(text.begin(), text.end());
        block.push_back(0);
        file.openMemory(block.data(), static_cast<int32_t>(text.size()));
        EXPECT_EQ(readAll(file), expected) << lead << " line breaks before, in memory";
        file.close();
    }
}

TEST(mFileKeyword, MemoryBlockWithASpareByte) {
    std::string text = "LABEL one\nFRAME 5";
    std::vector<uint8_t> block(text.begin(), text.end());
    block.push_back('#');  // the spare byte the last argument's terminator lands on
    mFile file;
    file.openMemory(block.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(readAll(file), (std::vector<Word>{{kLabel, "one"}, {kFrame, "5"}}));
    file.close();
}

}  // namespace
