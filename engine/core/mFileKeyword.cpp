#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/core/mFile.h"

namespace {

constexpr std::ptrdiff_t scanLimit = 80;

bool isLineEnd(uint8_t c) {
    return c == '\n' || c == '\r' || c == 0;
}
bool isSeparator(uint8_t c) {
    return c == ' ' || c == '\t' || isLineEnd(c);
}
bool isArgumentLead(uint8_t c) {
    return c == '=' || c == ' ' || c == '\t';
}

// Advances from `p` over at most scanLimit bytes while `keep` holds, never past `end`.
template <typename Predicate>
uint8_t* skipWhile(uint8_t* p, const uint8_t* end, Predicate keep) {
    auto limit = std::min(scanLimit, end - p);
    for (std::ptrdiff_t i = 0; i < limit && keep(*p); ++i)
        ++p;
    return p;
}

bool startsWith(const uint8_t* p, const uint8_t* end, const char* keyword, std::size_t length) {
    if (end - p < static_cast<std::ptrdiff_t>(length)) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (std::toupper(p[i]) != static_cast<unsigned char>(keyword[i])) return false;
    }
    return true;
}

// Bytes a line may need in the buffer: the longest keyword, its "=" and blanks, its argument and
// the byte behind it that the argument's terminator takes. An unknown word and the separators
// after it, or a comment, need less.
std::ptrdiff_t lookAheadFor(const char* const* keywords) {
    std::size_t longest = 0;
    for (std::size_t index = 0; keywords[index] && keywords[index][0]; ++index)
        longest = std::max(longest, std::strlen(keywords[index]));
    return static_cast<std::ptrdiff_t>(longest) + 2 * scanLimit + 1;
}

}  // namespace

int32_t mFile::readKeyword(const char* const* keywords) {
    if (!isOpen || !keywords) return -1;
    const std::ptrdiff_t lookAhead = lookAheadFor(keywords);
    for (;;) {
        if (bufferEnd - cursor < lookAhead && !fill(cursor)) return -1;
        // After the look-ahead refill, no data at the cursor means the end of the file.
        if (cursor >= dataEnd) return -1;
        if (startsWith(cursor, dataEnd, "//", 2)) {
            cursor = skipWhile(cursor + 2, dataEnd, [](uint8_t c) { return !isLineEnd(c); });
            continue;
        }
        for (int32_t index = 0; keywords[index] && keywords[index][0]; ++index) {
            const char* keyword = keywords[index];
            std::size_t length = std::strlen(keyword);
            if (!startsWith(cursor, dataEnd, keyword, length)) continue;
            uint8_t* after = cursor + length;
            bool separated = after == dataEnd || *after == '=' || isSeparator(*after);
            if (std::strcmp(keyword, ":") != 0 && !separated) continue;

            cursor = skipWhile(after, dataEnd, isArgumentLead);
            uint8_t* stop = skipWhile(cursor, dataEnd, [](uint8_t c) { return !isLineEnd(c); });
            // At the end of the data the terminator lands on the spare byte behind it.
            *stop = 0;
            return index;
        }
        uint8_t* next = skipWhile(cursor, dataEnd, [](uint8_t c) { return !isSeparator(c); });
        cursor = skipWhile(next, dataEnd, isSeparator);
    }
}
