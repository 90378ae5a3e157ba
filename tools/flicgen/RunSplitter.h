#pragma once
#include <cstddef>

namespace flicgen {

// Splits the units [begin, end) into repeats (at least `minRepeat` equal units, at most
// `maxRepeat`) and literal stretches (at most `maxLiteral` units). A repeat shorter than three
// units saves nothing over a literal once the literal has to be split around it; a caller that
// must keep the packet count down passes a `minRepeat` above `maxRepeat` to get literals only.
template <typename Same, typename Repeat, typename Literal>
void splitRuns(std::size_t begin, std::size_t end, std::size_t minRepeat, std::size_t maxRepeat,
               std::size_t maxLiteral, Same same, Repeat repeat, Literal literal) {
    auto runFrom = [&](std::size_t first, std::size_t limit) {
        std::size_t n = 1;
        while (first + n < end && n < limit && same(first, first + n))
            ++n;
        return n;
    };
    bool repeats = minRepeat <= maxRepeat;
    std::size_t i = begin;
    while (i < end) {
        std::size_t run = repeats ? runFrom(i, maxRepeat) : 1;
        if (repeats && run >= minRepeat) {
            repeat(i, run);
            i += run;
            continue;
        }
        std::size_t j = i + 1;
        while (j < end && j - i < maxLiteral && (!repeats || runFrom(j, minRepeat) < minRepeat))
            ++j;
        literal(i, j - i);
        i = j;
    }
}

// Calls span(begin, end) for each stretch of changed units among [0, count), keeping gaps of
// up to `gap` unchanged units inside a stretch.
template <typename Changed, typename Span>
void forEachChangedSpan(std::size_t count, std::size_t gap, Changed changed, Span span) {
    std::size_t x = 0;
    while (x < count) {
        if (!changed(x)) {
            ++x;
            continue;
        }
        std::size_t end = x + 1;
        while (end < count) {
            std::size_t next = end;
            while (next < count && next - end <= gap && !changed(next))
                ++next;
            if (next >= count || next - end > gap) break;
            end = next + 1;
        }
        span(x, end);
        x = end;
    }
}

}  // namespace flicgen
