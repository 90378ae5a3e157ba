#include <algorithm>
#include <limits>

#include "tools/flicgen/ByteSink.h"
#include "tools/flicgen/FlicEncoder.h"
#include "tools/flicgen/RunSplitter.h"

namespace flicgen::encoder {

namespace {

constexpr std::size_t literalsOnly = std::numeric_limits<std::size_t>::max();

// Packets for the units [begin, end) of a row (a unit is one pixel for the byte-oriented
// delta, a pixel pair for the word-oriented one): a skip in pixels (first packet only) and a
// signed count, positive for that many units following, negative for one unit repeated.
std::size_t deltaPackets(std::span<const std::uint8_t> row, std::size_t unit, std::size_t begin,
                         std::size_t end, std::size_t skip, std::size_t minRepeat, ByteSink& out) {
    std::size_t packets = 0;
    auto same = [&](std::size_t a, std::size_t b) {
        return std::equal(row.begin() + a * unit, row.begin() + (a + 1) * unit,
                          row.begin() + b * unit);
    };
    auto packet = [&](std::uint8_t count, std::span<const std::uint8_t> data) {
        out.u8(static_cast<std::uint8_t>(skip));
        out.u8(count);
        out.append(data);
        skip = 0;
        ++packets;
    };
    splitRuns(
        begin, end, minRepeat, 128, 127, same,
        [&](std::size_t at, std::size_t n) {
            packet(static_cast<std::uint8_t>(256 - n), row.subspan(at * unit, unit));
        },
        [&](std::size_t at, std::size_t n) {
            packet(static_cast<std::uint8_t>(n), row.subspan(at * unit, n * unit));
        });
    return packets;
}

// One row of the word-oriented delta. An unchanged pair between two changed ones costs no
// more inside a packet than a new packet would.
std::size_t wordDeltaRow(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after,
                         ByteSink& out) {
    auto changed = [&](std::size_t p) {
        return before[2 * p] != after[2 * p] || before[2 * p + 1] != after[2 * p + 1];
    };
    std::size_t packets = 0;
    std::size_t column = 0;
    forEachChangedSpan(after.size() / 2, 1, changed, [&](std::size_t begin, std::size_t end) {
        // The skip byte holds at most 127 pairs; empty packets carry longer skips.
        std::size_t skip = begin - column;
        for (; skip > 127; skip -= 127) {
            out.u8(254);
            out.u8(0);
            ++packets;
        }
        packets += deltaPackets(after, 2, begin, end, 2 * skip, 3, out);
        column = end;
    });
    return packets;
}

// One row of the byte-oriented delta with unchanged gaps of up to `gap` bytes kept inside a
// packet.
std::size_t byteDeltaRow(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after,
                         std::size_t gap, std::size_t minRepeat, ByteSink& out) {
    auto changed = [&](std::size_t x) { return before[x] != after[x]; };
    std::size_t packets = 0;
    std::size_t column = 0;
    forEachChangedSpan(after.size(), gap, changed, [&](std::size_t begin, std::size_t end) {
        // A skip beyond one byte is bridged by copying one unchanged pixel, since a packet
        // of size 0 is not read alike by every reader.
        std::size_t skip = begin - column;
        for (; skip > 255; skip -= 256, column += 256) {
            out.u8(255);
            out.u8(1);
            out.u8(after[column + 255]);
            ++packets;
        }
        packets += deltaPackets(after, 1, begin, end, skip, minRepeat, out);
        column = end;
    });
    return packets;
}

bool rowsEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

std::vector<std::uint8_t> wordDelta(const ImageView& before, const ImageView& after) {
    ByteSink out;
    out.u16(0);
    std::size_t width = after.width;
    bool oddWidth = (width & 1) != 0;
    std::size_t pairBytes = width & ~std::size_t{1};
    std::uint16_t lines = 0;
    std::size_t pendingSkip = 0;
    for (std::size_t y = 0; y < after.height; ++y) {
        auto prev = before.row(y);
        auto cur = after.row(y);
        bool lastChanged = oddWidth && prev[width - 1] != cur[width - 1];
        if (!lastChanged && rowsEqual(prev.first(pairBytes), cur.first(pairBytes))) {
            ++pendingSkip;
            continue;
        }
        // Heights are bounded well below the 16384 rows one skip opcode can hold.
        if (pendingSkip > 0) out.u16(static_cast<std::uint16_t>(0x10000 - pendingSkip));
        pendingSkip = 0;
        // Pairs cannot reach the last column of an odd width without writing past the row.
        if (lastChanged) out.u16(static_cast<std::uint16_t>(0x8000 | cur[width - 1]));
        std::size_t countAt = out.size();
        out.u16(0);
        std::size_t packets = wordDeltaRow(prev, cur.first(pairBytes), out);
        out.patchU16(countAt, static_cast<std::uint16_t>(packets));
        ++lines;
    }
    out.patchU16(0, lines);
    return out.take();
}

std::vector<std::uint8_t> byteDelta(const ImageView& before, const ImageView& after) {
    std::size_t first = 0;
    while (rowsEqual(before.row(first), after.row(first)))
        ++first;
    std::size_t last = after.height - 1;
    while (rowsEqual(before.row(last), after.row(last)))
        --last;

    ByteSink out;
    out.u16(static_cast<std::uint16_t>(first));
    out.u16(static_cast<std::uint16_t>(last - first + 1));
    for (std::size_t y = first; y <= last; ++y) {
        // The packet count is one byte: when the row needs more, one span of literals over
        // every change always fits (widths are bounded so that it does).
        ByteSink row;
        std::size_t packets = byteDeltaRow(before.row(y), after.row(y), 2, 3, row);
        if (packets > 255) {
            row = ByteSink{};
            packets = byteDeltaRow(before.row(y), after.row(y), after.width, literalsOnly, row);
        }
        out.u8(static_cast<std::uint8_t>(packets));
        out.append(row.bytes());
    }
    return out.take();
}

}  // namespace flicgen::encoder
