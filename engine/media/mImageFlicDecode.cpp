#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "engine/base/LittleEndian.h"
#include "engine/core/InPlaceReader.h"
#include "engine/core/PacketReader.h"
#include "engine/media/mImageFlic.h"

// Frame decoding. Chunk data may address pixels outside the frame, run palette packets past
// entry 255 or end early: what lies outside the frame or the palette is read and dropped, and
// a chunk that runs out of data ends the frame there.

namespace {

constexpr uint16_t frameType = 0xF1FA;
constexpr uint16_t prefixType = 0xF100;
constexpr int32_t frameHeaderSize = 16;
constexpr int32_t chunkHeaderSize = 6;

enum ChunkType : uint16_t {
    colour256 = 4,
    wordDelta = 7,
    colour64 = 11,
    byteDelta = 12,
    clear = 13,
    byteRun = 15,
    literal = 16,
    postageStamp = 18,
};

// Writes `size` bytes of `eight` (a pixel pair four times) at `out`: eight bytes a store, the
// last eight overlapping those before, an odd last byte the pair's first. Runs are short: a
// loop of stores beats a memset's start-up.
void fillRepeating(uint8_t* out, int64_t size, uint64_t eight) {
    const int64_t even = size & ~int64_t{1};
    if (even >= 8) {
        for (int64_t done = 0; done < even - 8; done += 8)
            std::memcpy(out + done, &eight, 8);
        std::memcpy(out + even - 8, &eight, 8);
    } else {
        for (int64_t done = 0; done < even; done += 2)
            std::memcpy(out + done, &eight, 2);
    }
    if (size > even) std::memcpy(out + even, &eight, 1);
}

constexpr uint64_t everyByte = 0x0101010101010101;
constexpr uint64_t everyPair = 0x0001000100010001;

// The pixel pair at `bytes` in every 16-bit lane, lying in memory in file order whatever the
// byte order.
uint64_t pairsOf(const uint8_t* bytes) {
    uint16_t two = 0;
    std::memcpy(&two, bytes, 2);
    return two * everyPair;
}

// The pixel (unit 1) or pixel pair (unit 2) at `value`, repeated to eight bytes.
template <int unit>
uint64_t repeated(const uint8_t* value) {
    return unit == 2 ? pairsOf(value) : *value * everyByte;
}

// Writes `size` bytes of `eight` (see fillRepeating) at `column` of a row `width` pixels wide,
// dropping pixels past its end; a null row (outside the frame) takes nothing.
void fillRow(uint8_t* row, int32_t width, int64_t column, int64_t size, uint64_t eight) {
    if (!row || column >= width) return;
    fillRepeating(row + column, std::min(size, width - column), eight);
}

// A column counted past the row's end, as a changed-rectangle edge.
int32_t clampColumn(int64_t column, int32_t width) {
    return static_cast<int32_t>(std::min<int64_t>(column, width));
}

// Reads `count` pixels into a row at `column`; those past its end are read and dropped.
bool readRow(PacketReader& in, uint8_t* row, int32_t width, int64_t column, int64_t count) {
    int64_t kept = !row || column >= width ? 0 : std::min(count, width - column);
    return in.copy(kept > 0 ? row + column : nullptr, kept) && in.copy(nullptr, count - kept);
}

// Copies `size` bytes sixteen (or eight, four, two) at a time, the last piece overlapping
// those before. Runs are short: this, inlined into the packet loops, beats a call to memcpy.
[[gnu::always_inline]] inline void copyShort(uint8_t* out, const uint8_t* in, int64_t size) {
    if (size >= 16) {
        for (int64_t done = 0; done < size - 16; done += 16)
            std::memcpy(out + done, in + done, 16);
        std::memcpy(out + size - 16, in + size - 16, 16);
    } else if (size >= 8) {
        std::memcpy(out, in, 8);
        std::memcpy(out + size - 8, in + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(out, in, 4);
        std::memcpy(out + size - 4, in + size - 4, 4);
    } else if (size >= 2) {
        std::memcpy(out, in, 2);
        std::memcpy(out + size - 2, in + size - 2, 2);
    } else if (size == 1) {
        *out = *in;
    }
}

// Writes `size` bytes of `eight` at `out` like fillRepeating, in overlapping stores that start
// at any even offset: right when `size` is even or `eight` is one byte eight times. Most fills
// take 8 to 16 bytes: two stores and no loop, whose varying length would be mispredicted.
[[gnu::always_inline]] inline void fillOverlapping(uint8_t* out, int64_t size, uint64_t eight) {
    if (size >= 8) {
        if (size > 16) {
            for (int64_t done = 0; done < size - 16; done += 16) {
                std::memcpy(out + done, &eight, 8);
                std::memcpy(out + done + 8, &eight, 8);
            }
            std::memcpy(out + size - 16, &eight, 8);
        }
        std::memcpy(out, &eight, 8);
        std::memcpy(out + size - 8, &eight, 8);
    } else if (size >= 4) {
        std::memcpy(out, &eight, 4);
        std::memcpy(out + size - 4, &eight, 4);
    } else if (size >= 2) {
        std::memcpy(out, &eight, 2);
        std::memcpy(out + size - 2, &eight, 2);
    } else if (size == 1) {
        std::memcpy(out, &eight, 1);
    }
}

// The run of `size` pixels at `column` of a frame row (not null) `width` pixels wide, checked
// once: what lies past the row's end is dropped.
[[gnu::always_inline]] inline void copyKept(uint8_t* row, int64_t width, int64_t column,
                                            const uint8_t* in, int64_t size) {
    if (column + size <= width) {
        copyShort(row + column, in, size);
    } else if (column < width) {
        copyShort(row + column, in, width - column);
    }
}

// A fill of `size` pixels as copyKept; a pair fill cut by the row's end may end on an odd
// pixel, which fillRepeating places.
[[gnu::always_inline]] inline void fillKept(uint8_t* row, int64_t width, int64_t column,
                                            int64_t size, uint64_t eight) {
    if (column + size <= width) {
        fillOverlapping(row + column, size, eight);
    } else if (column < width) {
        fillRepeating(row + column, width - column, eight);
    }
}

// The fast loops below decode packets straight from the buffered bytes, in batches of as many
// packets as surely fit in them at the largest size their chunk type allows, so that a packet
// costs no length check of its own; the packets near the buffer's end go through the
// PacketReader, which refills it.

// The largest byte-run packet: a count and 128 bytes.
constexpr std::ptrdiff_t largestRunPacket = 1 + 128;

// Delta packets of `unit`-byte pixels (pairs for word delta, single pixels for byte delta)
// into `row` (not null): a skip and a count, then as many pixels to copy or one to repeat
// -count times. Returns how many of the `packets` it decoded; `column` moves past them and
// `left` becomes the column of the first when still negative.
template <int unit>
int32_t deltaPackets(PacketReader& reader, uint8_t* row, int64_t width, int64_t& column,
                     int64_t& left, int32_t packets) {
    constexpr std::ptrdiff_t largest = 2 + unit * 127;
    const uint8_t* in = reader.cursor();
    const uint8_t* const end = reader.limit();
    int64_t at = column;
    int32_t done = 0;
    while (auto batch = std::min<std::ptrdiff_t>(packets - done, (end - in) / largest)) {
        if (left < 0) left = at + in[0];
        for (std::ptrdiff_t packet = 0; packet < batch; ++packet) {
            at += in[0];
            int64_t count = static_cast<int8_t>(in[1]);
            // Copies of one pixel or pair, and of none in packets that only skip, make most
            // copies: they pass by copyShort's tests of the size, and move `in` by a constant
            // so that the next packet's loads wait for no byte of this one.
            if (count < 0) {
                fillKept(row, width, at, unit * -count, repeated<unit>(in + 2));
                in += 2 + unit;
                at += unit * -count;
            } else if (count == 1) {
                if (at + unit <= width) {
                    std::memcpy(row + at, in + 2, unit);
                } else {
                    copyKept(row, width, at, in + 2, unit);
                }
                in += 2 + unit;
                at += unit;
            } else if (count == 0) {
                in += 2;
            } else {
                copyKept(row, width, at, in + 2, unit * count);
                in += 2 + unit * count;
                at += unit * count;
            }
        }
        done += static_cast<int32_t>(batch);
    }
    reader.moveTo(in);
    column = at;
    return done;
}

// Byte-run packets into `row` (not null) until `column` reaches `width` or the buffered bytes
// may not hold the next packet.
void byteRunPackets(PacketReader& reader, uint8_t* row, int64_t width, int64_t& column) {
    const uint8_t* in = reader.cursor();
    const uint8_t* const end = reader.limit();
    int64_t at = column;
    while (at < width && end - in >= largestRunPacket) {
        for (auto batch = (end - in) / largestRunPacket; batch > 0 && at < width; --batch) {
            auto run = static_cast<int8_t>(in[0]);
            if (run < 0) {
                copyKept(row, width, at, in + 1, -run);
                in += 1 - run;
                at += -run;
            } else {
                fillKept(row, width, at, run, repeated<1>(in + 1));
                in += 2;
                at += run;
            }
        }
    }
    reader.moveTo(in);
    column = at;
}

// One line of `packets` delta packets as deltaPackets reads them, into `target` (null outside
// the frame), `column` and `left` as there; a packet of count 0 only skips. False when the
// data ends first.
template <int unit>
bool deltaLine(PacketReader& in, uint8_t* target, int32_t columns, int64_t& column, int64_t& left,
               int32_t packets) {
    for (int32_t packet = 0; packet < packets; ++packet) {
        if (target) {
            packet += deltaPackets<unit>(in, target, columns, column, left, packets - packet);
            if (packet == packets) break;
        }
        const uint8_t* head = in.take(2);
        if (!head) return false;
        column += head[0];
        int64_t count = static_cast<int8_t>(head[1]);
        if (left < 0) left = column;
        if (count >= 0) {
            if (!readRow(in, target, columns, column, unit * count)) return false;
            column += unit * count;
        } else {
            const uint8_t* value = in.take(unit);
            if (!value) return false;
            fillRow(target, columns, column, unit * -count, repeated<unit>(value));
            column += unit * -count;
        }
    }
    return true;
}

}  // namespace

uint8_t* mImageFlic::row(int32_t index) const {
    const SurfaceInfo& surface = *frameBitmap->info;
    if (index < 0 || index >= surface.height) return nullptr;
    return surface.topRow + static_cast<std::ptrdiff_t>(index) * surface.rowStep;
}

void mImageFlic::widenChanged(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const SurfaceInfo& surface = *frameBitmap->info;
    changed.left = std::min(changed.left, std::clamp(left, 0, surface.width));
    changed.top = std::min(changed.top, std::clamp(top, 0, surface.height));
    changed.right = std::max(changed.right, std::clamp(right, 0, surface.width));
    changed.bottom = std::max(changed.bottom, std::clamp(bottom, 0, surface.height));
}

bool mImageFlic::decodeNextFrame() {
    InPlaceReader in(*this);
    int64_t start = in.offset();
    uint32_t chunks = 0;
    if (!readFrameHeader(in, chunks)) {
        reportError(idImageFlic, errBadFrameHeader, fileName);
        seek(static_cast<int32_t>(start), 0);
        return false;
    }
    changed = Rect{frameBitmap->info->width, frameBitmap->info->height, 0, 0};
    decodeChunks(in, chunks);
    in.syncPosition();
    // Decoding from the start, the data of frame 1 begins here; the header's frame-2 offset
    // is 0 in most FLI files and is not trusted otherwise either.
    if (start == frameOffset1()) {
        littleEndian::store32(header.data() + frame2Field, static_cast<uint32_t>(position));
    }
    takeAutoTransparentColour();
    return true;
}

// Reads the frame header at the cursor, passing over prefix chunks in front of it.
bool mImageFlic::readFrameHeader(InPlaceReader& in, uint32_t& chunks) {
    for (;;) {
        int64_t start = in.offset();
        const uint8_t* bytes = in.take(frameHeaderSize);
        if (!bytes) return false;
        uint32_t size = littleEndian::load32(bytes);
        uint16_t type = littleEndian::load16(bytes + 4);
        if (type == prefixType && size >= frameHeaderSize) {
            in.skipTo(start + size);
            continue;
        }
        if (type != frameType) return false;
        frameBytes = static_cast<int32_t>(size);
        chunks = littleEndian::load16(bytes + 6);
        return true;
    }
}

// A decoder may read past the size its chunk header states (some writers state too little);
// the next chunk then starts where the decoder stopped.
void mImageFlic::decodeChunks(InPlaceReader& in, uint32_t chunks) {
    for (uint32_t index = 0; index < chunks; ++index) {
        int64_t start = in.offset();
        int64_t size = in.le32();
        uint16_t type = in.le16();
        if (in.failed()) return;
        bool complete = true;
        switch (type) {
            case colour256:
                complete = decodePalette(in, 0);
                break;
            case colour64:
                complete = decodePalette(in, 2);
                break;
            case wordDelta:
                complete = decodeWordDelta(in);
                break;
            case byteDelta:
                complete = decodeByteDelta(in);
                break;
            case clear:
                decodeClear();
                size = chunkHeaderSize;
                break;
            case byteRun:
                complete = decodeByteRun(in);
                break;
            case literal:
                reportWarning(idImageFlic, errNotTested, "LITERAL");
                complete = decodeLiteral(in);
                break;
            case postageStamp:
                break;
            default:
                if (!unknownChunkWarned) {
                    unknownChunkWarned = true;
                    reportWarning(idImageFlic, errBadChunkType, fileName);
                }
                break;
        }
        if (!complete) return;
        in.skipTo(start + size);
    }
}

void mImageFlic::takeAutoTransparentColour() {
    if (!autoTransparentColour) return;
    int32_t wasTransparent = transparent;
    setTransparentColour(*frameBitmap->info->topRow);
    setTransparent(wasTransparent);
}

// Palette packets: a skip count and a colour count (0 meaning 256), then red, green and blue
// bytes. Entries past 255 are dropped. The colours go in through setColors so that remap
// tables built for the old colours are rebuilt.
bool mImageFlic::decodePalette(InPlaceReader& in, int shift) {
    uint16_t packets = in.le16();
    if (in.failed()) return false;
    std::array<RgbQuad, 256> colours;
    std::copy_n(frameBitmap->info->colorTable, colours.size(), colours.begin());
    int32_t entry = 0;
    for (uint16_t packet = 0; packet < packets; ++packet) {
        entry += in.u8();
        int32_t colourCount = in.u8();
        if (colourCount == 0) colourCount = 256;
        // After a failed count this take fails too, so one test covers all three reads.
        const uint8_t* bytes = in.take(3 * colourCount);
        if (!bytes) break;
        for (int32_t index = 0; index < colourCount; ++index, ++entry, bytes += 3) {
            if (entry >= 256) continue;
            colours[entry] = RgbQuad{static_cast<uint8_t>(bytes[2] << shift),
                                     static_cast<uint8_t>(bytes[1] << shift),
                                     static_cast<uint8_t>(bytes[0] << shift), 0};
        }
    }
    frameBitmap->setColors(colours.data(), 0, 256);
    palette = frameBitmap->info->colorTable;
    if (!remap) paletteChanged = 1;
    return !in.failed();
}

// Word-oriented delta: a line count, then per line opcodes (row skips, the last pixel of an
// odd-width row) and a packet count; packets copy or repeat pixel pairs.
bool mImageFlic::decodeWordDelta(InPlaceReader& reader) {
    PacketReader in(reader);
    const uint8_t* counted = in.take(2);
    if (!counted) return false;
    int32_t lines = littleEndian::load16(counted);
    const SurfaceInfo& surface = *frameBitmap->info;
    const int32_t columns = surface.width;
    int32_t rowIndex = 0;
    int32_t firstRow = -1;
    // What the lines wrote, widened into `changed` once rather than line by line.
    int32_t left = std::numeric_limits<int32_t>::max();
    int32_t top = std::numeric_limits<int32_t>::max();
    int32_t right = std::numeric_limits<int32_t>::min();
    int32_t bottom = std::numeric_limits<int32_t>::min();
    auto wrote = [&](int64_t from, int64_t to) {
        left = std::min(left, clampColumn(from, columns));
        right = std::max(right, clampColumn(to, columns));
        top = std::min(top, rowIndex);
        bottom = std::max(bottom, rowIndex + 1);
    };
    bool complete = true;
    for (int32_t decoded = 0; decoded < lines;) {
        const uint8_t* opcode = in.take(2);
        if (!opcode) {
            complete = false;
            break;
        }
        auto word = static_cast<int16_t>(littleEndian::load16(opcode));
        if (word >= 0) {
            if (firstRow < 0) firstRow = rowIndex;
            int64_t column = 0;
            int64_t lineLeft = -1;
            complete = deltaLine<2>(in, row(rowIndex), columns, column, lineLeft, word);
            if (!complete) break;
            if (lineLeft >= 0) wrote(lineLeft, column);
            rowIndex = std::min(rowIndex + 1, surface.height);
            ++decoded;
        } else if (word & 0x4000) {
            rowIndex = std::min(rowIndex - word, surface.height);
        } else {
            if (firstRow < 0) firstRow = rowIndex;
            fillRow(row(rowIndex), columns, columns - 1, 1, static_cast<uint8_t>(word) * everyByte);
            wrote(columns - 1, columns);
        }
    }
    if (bottom > top) widenChanged(left, top, right, bottom);
    if (!complete) return false;
    if (firstRow >= 0) widenChanged(changed.left, firstRow, changed.right, rowIndex);
    return true;
}

// Byte-oriented delta: the first line and a line count, then per line a packet count and
// packets that skip, then copy or repeat bytes. A packet of size 0 only skips (writers use
// it to skip more than 255 pixels) and carries no byte.
bool mImageFlic::decodeByteDelta(InPlaceReader& reader) {
    PacketReader in(reader);
    const uint8_t* head = in.take(4);
    if (!head) return false;
    int32_t firstLine = static_cast<int16_t>(littleEndian::load16(head));
    int32_t lines = static_cast<int16_t>(littleEndian::load16(head + 2));
    const int32_t columns = frameBitmap->info->width;
    if (lines > 0) widenChanged(columns, firstLine, 0, firstLine + lines);
    for (int32_t line = 0; line < lines; ++line) {
        const uint8_t* counted = in.take(1);
        if (!counted) return false;
        int32_t packets = counted[0];
        uint8_t* target = row(firstLine + line);
        int64_t column = 0;
        int64_t lineLeft = -1;
        bool complete = deltaLine<1>(in, target, columns, column, lineLeft, packets);
        if (lineLeft >= 0) changed.left = std::min(changed.left, clampColumn(lineLeft, columns));
        if (!complete) return false;
        if (packets > 0) changed.right = std::max(changed.right, clampColumn(column, columns));
    }
    return true;
}

// Byte run: per row an unused packet count, then runs until the row is full: a negative count
// copies that many bytes, a positive one repeats the next byte.
bool mImageFlic::decodeByteRun(InPlaceReader& reader) {
    PacketReader in(reader);
    const SurfaceInfo& surface = *frameBitmap->info;
    widenChanged(0, 0, surface.width, surface.height);
    for (int32_t rowIndex = 0; rowIndex < surface.height; ++rowIndex) {
        uint8_t* target = row(rowIndex);
        if (!in.take(1)) return false;
        for (int64_t column = 0; column < surface.width;) {
            byteRunPackets(in, target, surface.width, column);
            if (column >= surface.width) break;
            const uint8_t* counted = in.take(1);
            if (!counted) return false;
            auto run = static_cast<int8_t>(*counted);
            if (run < 0) {
                if (!readRow(in, target, surface.width, column, -run)) return false;
                column += -run;
            } else {
                const uint8_t* value = in.take(1);
                if (!value) return false;
                fillRow(target, surface.width, column, run, repeated<1>(value));
                column += run;
            }
        }
    }
    return true;
}

bool mImageFlic::decodeLiteral(InPlaceReader& reader) {
    PacketReader in(reader);
    const SurfaceInfo& surface = *frameBitmap->info;
    widenChanged(0, 0, surface.width, surface.height);
    for (int32_t rowIndex = 0; rowIndex < surface.height; ++rowIndex) {
        if (!readRow(in, row(rowIndex), surface.width, 0, surface.width)) return false;
    }
    return true;
}

void mImageFlic::decodeClear() {
    const SurfaceInfo& surface = *frameBitmap->info;
    widenChanged(0, 0, surface.width, surface.height);
    clearFrame();
}
