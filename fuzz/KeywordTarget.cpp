// The keyword reader over one input: a control byte chooses the keyword table (a sprite
// script's or a sprite definition file's), whether the caller moves past each argument (as the
// script compiler does) or leaves the cursor on it (as the definition parser does), and the
// buffer sizes; the rest is the text. Read from memory and from a file, the text gives the same
// keywords with the same arguments at the same offsets; every argument is at most 80
// characters of the text, ends where the line, the data or an earlier argument ends or at its
// 80th character, and reading ends.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/core/mFile.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

using fuzz::check;

constexpr const char* scriptKeywords[] = {
    "NOP",     "LABEL",    "FRAME",    "ADVANCEFRAME", "DELAY", "SPEED",   "PAUSE",
    "POSX",    "POSY",     "POSZ",     "MOVEX",        "MOVEY", "MOVEZ",   "HIDE",
    "SHOW",    "WAVEFILE", "SOUND",    "SET",          "CLEAR", "IF",      "IFNOT",
    "IFFRAME", "IFHIT",    "IFHITID",  "IFHITMASK",    "HITID", "HITMASK", "HITDEPTH",
    "GOTO",    "LOOP",     "ENDCYCLE", "END",          ":",     ""};
constexpr const char* definitionKeywords[] = {
    "FILE", "RECT", "TILE", "SOURCEFRAME", "ORIGIN", "TIME", "DELTA", "END", ""};

constexpr std::size_t longestArgument = 80;
// The reader needs its look-ahead (the longest keyword, 80 blanks, 80 characters and the
// terminator) in the buffer and in the wrap area: the smallest sizes that give it.
constexpr int32_t smallestBuffer = 176;

struct Keyword {
    int32_t index;
    int64_t offset;
    std::string argument;
    friend bool operator==(const Keyword&, const Keyword&) = default;
};

bool isLineEnd(uint8_t c) {
    return c == '\n' || c == '\r' || c == 0;
}

// Reads every keyword of `file`, which is open on `text`, checking each argument against it.
std::vector<Keyword> readAll(mFile& file, const char* const* keywords, bool movePast,
                             std::span<const uint8_t> text) {
    std::size_t tableSize = 0;
    while (keywords[tableSize][0])
        ++tableSize;
    std::vector<Keyword> found;
    std::set<int64_t> ends;  // where terminators were written
    // Every call moves the cursor on by at least one byte.
    for (std::size_t call = 0; call <= text.size() + 1; ++call) {
        int32_t index = file.readKeyword(keywords);
        check(index >= -1 && index < static_cast<int32_t>(tableSize), "keyword index out of range");
        if (index < 0) return found;
        int64_t at = file.dataOffset + (file.cursor - file.dataStart);
        check(at >= 0 && at <= static_cast<int64_t>(text.size()), "argument outside the text");
        std::size_t length =
            strnlen(reinterpret_cast<const char*>(file.cursor), longestArgument + 1);
        check(length <= longestArgument, "argument longer than 80 characters");
        check(at + static_cast<int64_t>(length) <= static_cast<int64_t>(text.size()),
              "argument runs past the text");
        auto start = text.begin() + at;
        check(std::equal(start, start + static_cast<std::ptrdiff_t>(length), file.cursor),
              "argument is not the text");
        int64_t end = at + static_cast<int64_t>(length);
        check(length == longestArgument || end == static_cast<int64_t>(text.size()) ||
                  isLineEnd(text[static_cast<std::size_t>(end)]) || ends.count(end),
              "argument cut before the end of its line");
        ends.insert(end);
        found.push_back(
            {index, at, std::string(reinterpret_cast<const char*>(file.cursor), length)});
        if (movePast) file.seek(static_cast<int32_t>(length), 1);
    }
    check(false, "reading did not end");
    return found;
}

}  // namespace

int fuzzKeyword(const uint8_t* data, std::size_t size) {
    fuzz::ControlBytes control(data, size);
    const uint8_t mode = control.next();
    const auto text = control.rest();
    const char* const* keywords = mode & 1 ? definitionKeywords : scriptKeywords;
    const bool movePast = mode & 2;

    platform::ReportSink::Capture capture;
    std::vector<Keyword> fromMemory, fromFile;
    {
        // One spare byte: an argument on a last line without a line break is ended there.
        std::vector<uint8_t> block(text.begin(), text.end());
        block.push_back(0);
        mFile file;
        file.openMemory(block.data(), static_cast<int32_t>(text.size()));
        fromMemory = readAll(file, keywords, movePast, text);
        file.close();
    }
    {
        fuzz::MemoryFile disk(text);
        mFile file;
        int32_t step = mode >> 2;
        if (step < 48)
            file.setBufferSizes(smallestBuffer + 4 * step, smallestBuffer + 4 * (step % 4));
        check(file.open(disk.path(), 0) == 1, "text file not opened");
        fromFile = readAll(file, keywords, movePast, text);
        file.close();
    }
    check(fromMemory == fromFile, "memory and file reading disagree");
    fuzz::checkReports(capture, {}, 0);
    return 0;
}
