// The layout of the writer's files: header, frame records, chunk choice and exact encodings.
#include "tools/flicgen/FlicWriter.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "tests/support/FlicLayout.h"
#include "tools/flicgen/Patterns.h"

using namespace flicgen;
using testing_support::FlicLayout;
using testing_support::le16;
using testing_support::le32;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Built {
    Bytes bytes;
    FlicLayout layout;

    std::vector<std::uint16_t> chunkTypes(std::size_t frame) const {
        std::vector<std::uint16_t> types;
        for (const auto& c : layout.frameRecords().at(frame)->chunks)
            types.push_back(c.type);
        return types;
    }
    // Chunk `index` of frame `frame`, header included.
    Bytes chunk(std::size_t frame, std::size_t index) const {
        const auto& c = layout.frameRecords().at(frame)->chunks.at(index);
        return {bytes.begin() + static_cast<std::ptrdiff_t>(c.offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(c.offset + c.size)};
    }
};

Built build(const FlicWriter& writer) {
    Built built{writer.build(), {}};
    auto layout = testing_support::readFlicLayout(built.bytes);
    EXPECT_TRUE(layout);
    if (layout) built.layout = *layout;
    return built;
}

Palette greys() {
    Palette p{};
    for (int e = 0; e < 256; ++e) {
        auto v = static_cast<std::uint8_t>(e);
        p[static_cast<std::size_t>(e)] = {v, v, v};
    }
    return p;
}

Bytes filled(std::size_t count, std::uint8_t value) {
    return Bytes(count, value);
}

PatternFrame render(std::string_view pattern, int w, int h, int index) {
    PatternFrame frame;
    findPattern(pattern)->render(w, h, index, 8, frame);
    return frame;
}

Bytes chunkBytes(std::uint32_t size, std::uint16_t type, const Bytes& payload) {
    Bytes out{static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8), 0, 0,
              static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(type >> 8)};
    for (std::uint8_t b : payload)
        out.push_back(b);
    return out;
}

TEST(FlicWriterLayout, FlcHeaderOffsetsAndFrameRecords) {
    FlicWriter writer(10, 4, FlicFormat::Flc, 66);
    for (int k = 0; k < 3; ++k)
        writer.addFrame(filled(40, static_cast<std::uint8_t>(k + 1)), greys());
    Built f = build(writer);
    const FlicLayout& l = f.layout;
    EXPECT_EQ(l.fileSize, f.bytes.size());
    EXPECT_EQ(l.magic, 0xAF12);
    EXPECT_EQ(l.frames, 3);
    EXPECT_EQ(l.width, 10);
    EXPECT_EQ(l.height, 4);
    EXPECT_EQ(l.depth, 8);
    EXPECT_EQ(l.flags, 3);
    EXPECT_EQ(l.speed, 66u);
    EXPECT_EQ(le16(f.bytes, 38), 1);  // square pixels
    EXPECT_EQ(le16(f.bytes, 40), 1);

    // Three frames and the ring frame, back to back up to the end of the file.
    auto frames = l.frameRecords();
    ASSERT_EQ(l.records.size(), 4u);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(l.frame1, 128u);
    EXPECT_EQ(l.frame2, 128u + frames[0]->size);
    EXPECT_EQ(frames[1]->offset, l.frame2);
    for (const auto* frame : frames) {
        std::uint32_t sum = 16;
        for (const auto& c : frame->chunks) {
            sum += c.size;
            EXPECT_EQ(c.size % 2, 0u) << "chunk type " << c.type;
        }
        EXPECT_EQ(frame->size, sum);
    }
    EXPECT_EQ(frames[3]->offset + frames[3]->size, f.bytes.size());
    EXPECT_EQ(f.chunkTypes(3), (std::vector<std::uint16_t>{code::wordDelta}));
}

TEST(FlicWriterLayout, FliHeaderKeepsSpeedInSeventieths) {
    FlicWriter writer(8, 2, FlicFormat::Fli, 5);
    writer.addFrame(filled(16, 3), greys());
    writer.addFrame(filled(16, 4), greys());
    Built f = build(writer);
    EXPECT_EQ(f.layout.magic, 0xAF11);
    EXPECT_EQ(f.layout.speed, 5u);
    EXPECT_EQ(f.layout.frame1, 128u);
    EXPECT_EQ(f.layout.frame2, 128u + f.layout.frameRecords()[0]->size);
    EXPECT_EQ(f.chunkTypes(0), (std::vector<std::uint16_t>{code::color64, code::byteRun}));
    EXPECT_EQ(f.chunkTypes(1), (std::vector<std::uint16_t>{code::byteDelta}));
    EXPECT_EQ(f.chunkTypes(2), (std::vector<std::uint16_t>{code::byteDelta}));
    EXPECT_THROW(FlicWriter(8, 2, FlicFormat::Fli, 70000), std::invalid_argument);
}

TEST(FlicWriterLayout, PrefixChunkAndFrameOffsetsOptions) {
    FlicWriter withPrefix(4, 4, FlicFormat::Flc, 10, {.frameOffsets = true, .prefixChunk = true});
    withPrefix.addFrame(filled(16, 1), greys());
    Built p = build(withPrefix);
    ASSERT_EQ(p.layout.records.size(), 3u);
    EXPECT_EQ(p.layout.records[0].type, code::prefix);
    EXPECT_EQ(p.layout.records[0].size, 16u);
    EXPECT_EQ(p.layout.frame1, 144u);
    EXPECT_EQ(p.layout.frame2, 144u + p.layout.records[1].size);

    FlicWriter noOffsets(4, 4, FlicFormat::Fli, 10, {.frameOffsets = false});
    noOffsets.addFrame(filled(16, 1), greys());
    Built n = build(noOffsets);
    EXPECT_EQ(n.layout.frame1, 0u);
    EXPECT_EQ(n.layout.frame2, 0u);
    EXPECT_EQ(n.layout.records.size(), 2u);
}

TEST(FlicWriterLayout, FirstFrameTakesTheCheapestWholeFrameChunk) {
    struct Case {
        const char* pattern;
        int width;
        FlicFormat format;
        std::vector<std::uint16_t> chunks;
    };
    const Case cases[] = {
        {"shapes", 33, FlicFormat::Flc, {code::color256, code::byteRun}},
        {"shapes", 33, FlicFormat::Fli, {code::color64, code::byteRun}},
        {"noise", 64, FlicFormat::Flc, {code::color256, code::literal}},
        // Literal would be smaller, but rows of 66 are not a multiple of 4.
        {"noise", 66, FlicFormat::Flc, {code::color256, code::byteRun}},
    };
    for (const Case& c : cases) {
        PatternFrame frame = render(c.pattern, c.width, 8, 0);
        FlicWriter writer(c.width, 8, c.format, 10);
        writer.addFrame(frame.pixels, frame.palette);
        EXPECT_EQ(build(writer).chunkTypes(0), c.chunks) << c.pattern << " " << c.width;
    }

    FlicWriter black(5, 3, FlicFormat::Flc, 10);
    black.addFrame(filled(15, 0), greys());
    Built b = build(black);
    EXPECT_EQ(b.chunkTypes(0), (std::vector<std::uint16_t>{code::color256, code::black}));
    EXPECT_EQ(b.chunk(0, 1), chunkBytes(6, code::black, {}));
    // The first palette goes out whole: one packet of 256 entries (count 0).
    Bytes colours = b.chunk(0, 0);
    ASSERT_EQ(colours.size(), 6u + 2 + 2 + 768);
    EXPECT_EQ(le16(colours, 6), 1);
    EXPECT_EQ(colours[8], 0);
    EXPECT_EQ(colours[9], 0);
    EXPECT_EQ(colours[10 + 3 * 200], 200);
}

TEST(FlicWriterLayout, PaletteChunksHoldOnlyChangedEntries) {
    FlicWriter writer(4, 2, FlicFormat::Flc, 10);
    Palette p = greys();
    writer.addFrame(filled(8, 1), p);
    writer.addFrame(filled(8, 1), p);  // nothing changed: a frame without chunks
    p[10] = {1, 2, 3};
    p[11] = {4, 5, 6};
    p[12] = {7, 8, 9};
    p[200] = {250, 251, 252};
    writer.addFrame(filled(8, 1), p);
    Built f = build(writer);
    EXPECT_TRUE(f.chunkTypes(1).empty());
    EXPECT_EQ(f.layout.frameRecords()[1]->size, 16u);
    EXPECT_EQ(f.chunk(2, 0),
              chunkBytes(24, code::color256,
                         {2, 0, 10, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 187, 1, 250, 251, 252}));
    // The ring frame puts back the four entries of the first palette.
    EXPECT_EQ(f.chunk(3, 0),
              chunkBytes(24, code::color256,
                         {2, 0, 10, 3, 10, 10, 10, 11, 11, 11, 12, 12, 12, 187, 1, 200, 200, 200}));
    EXPECT_EQ(f.chunkTypes(3), (std::vector<std::uint16_t>{code::color256}));
}

TEST(FlicWriterLayout, SixtyFourLevelPalettes) {
    FlicWriter fli(4, 2, FlicFormat::Fli, 5);
    Palette p = greys();
    fli.addFrame(filled(8, 1), p);
    p[28] = {29, 30, 31};  // all >> 2 give 7, as 28 does: no change at 64 levels
    fli.addFrame(filled(8, 1), p);
    p[28] = {255, 128, 4};
    fli.addFrame(filled(8, 1), p);
    Built f = build(fli);
    EXPECT_EQ(f.chunk(0, 0)[10 + 3 * 100], 25);
    EXPECT_TRUE(f.chunkTypes(1).empty());
    EXPECT_EQ(f.chunk(2, 0), chunkBytes(14, code::color64, {1, 0, 28, 1, 63, 32, 1, 0}));

    // Switching level rewrites every entry, at the level asked for.
    FlicWriter flc(4, 2, FlicFormat::Flc, 10);
    flc.addFrame(filled(8, 1), greys());
    flc.addFrame(filled(8, 1), greys(), {.palette = PaletteChunk::Levels64});
    flc.addFrame(filled(8, 1), greys());
    flc.addFrame(filled(8, 1), greys(), {.fullPalette = true});
    Built g = build(flc);
    for (std::size_t frame : {1, 2, 3}) {
        Bytes c = g.chunk(frame, 0);
        ASSERT_EQ(c.size(), 778u) << frame;
        EXPECT_EQ(le16(c, 4), frame == 1 ? code::color64 : code::color256);
        EXPECT_EQ(c[10 + 3 * 200], frame == 1 ? 50 : 200);
    }
    EXPECT_TRUE(g.chunkTypes(4).empty());
}

TEST(FlicWriterLayout, ForcedChunkKinds) {
    PatternFrame a = render("shapes", 33, 17, 0);
    PatternFrame b = render("shapes", 33, 17, 1);
    struct Case {
        FlicFormat format;
        PixelChunk kind;
        const PatternFrame* second;
        std::vector<std::uint16_t> chunks;
    };
    PatternFrame zero = a;
    std::fill(zero.pixels.begin(), zero.pixels.end(), 0);
    const Case cases[] = {
        {FlicFormat::Flc, PixelChunk::ByteRun, &b, {code::byteRun}},
        {FlicFormat::Fli, PixelChunk::Literal, &b, {code::literal}},
        {FlicFormat::Flc, PixelChunk::Black, &b, {code::black, code::wordDelta}},
        {FlicFormat::Fli, PixelChunk::Black, &b, {code::black, code::byteDelta}},
        {FlicFormat::Fli, PixelChunk::Black, &zero, {code::black}},
        {FlicFormat::Fli, PixelChunk::WordDelta, &b, {code::wordDelta}},
        {FlicFormat::Flc, PixelChunk::ByteDelta, &b, {code::byteDelta}},
        {FlicFormat::Flc, PixelChunk::ByteDelta, &a, {}},
    };
    for (const Case& c : cases) {
        FlicWriter writer(33, 17, c.format, 10);
        writer.addFrame(a.pixels, a.palette);
        writer.addFrame(c.second->pixels, a.palette, {.pixels = c.kind});
        Built f = build(writer);
        EXPECT_EQ(f.chunkTypes(1), c.chunks) << static_cast<int>(c.kind);
        if (c.kind == PixelChunk::Literal) {
            EXPECT_EQ(f.chunk(1, 0).size(), 6u + 33 * 17 + 1);
        }
    }
}

TEST(FlicWriterLayout, PostageStampAndExtraChunks) {
    PatternFrame frame = render("spin", 320, 200, 0);
    FlicWriter writer(320, 200, FlicFormat::Flc, 10);
    FrameOptions options{.postageStamp = true, .extraChunks = {RawChunk{5, {1, 2, 3}}}};
    writer.addFrame(frame.pixels, frame.palette, options);
    Built f = build(writer);
    EXPECT_EQ(f.chunkTypes(0),
              (std::vector<std::uint16_t>{code::postageStamp, code::color256, code::byteRun, 5}));
    // Height, width, six-cube colours, then a literal thumbnail of 100 x 62.
    Bytes stamp = f.chunk(0, 0);
    EXPECT_EQ(le16(stamp, 6), 62);
    EXPECT_EQ(le16(stamp, 8), 100);
    EXPECT_EQ(le16(stamp, 10), 1);
    EXPECT_EQ(le32(stamp, 12), 6u + 6200);
    EXPECT_EQ(le16(stamp, 16), code::literal);
    EXPECT_EQ(stamp.size(), 6u + 6 + 6 + 6200);
    // The centre is drawn in the ramp's orange: full red, green 96 + 2k, blue k.
    Rgb centre = frame.palette[frame.pixels[100 * 320 + 160]];
    EXPECT_EQ(stamp[18 + 31 * 100 + 50],
              (centre.r * 6 / 256) * 36 + (centre.g * 6 / 256) * 6 + centre.b * 6 / 256);
    EXPECT_EQ(f.chunk(0, 3), chunkBytes(9, 5, {1, 2, 3}));
    EXPECT_EQ(f.layout.frameRecords()[0]->size % 2, 1u);
}

TEST(FlicWriterEncoding, WordDeltaSkipsRowsAndSetsTheLastPixelOfOddRows) {
    FlicWriter writer(3, 2, FlicFormat::Flc, 10);
    writer.addFrame(filled(6, 1), greys());
    writer.addFrame(Bytes{1, 1, 1, 1, 1, 9}, greys());
    // One line: skip a row, last pixel 9, no packets.
    EXPECT_EQ(build(writer).chunk(1, 0),
              chunkBytes(14, code::wordDelta, {1, 0, 0xFF, 0xFF, 9, 0x80, 0, 0}));

    FlicWriter pairs(8, 1, FlicFormat::Flc, 10);
    pairs.addFrame(filled(8, 1), greys());
    pairs.addFrame(Bytes{3, 4, 3, 4, 3, 4, 3, 4}, greys());
    pairs.addFrame(Bytes{3, 4, 3, 4, 5, 6, 3, 4}, greys());
    Built f = build(pairs);
    // One pair repeated four times; then a literal pair after a skip of 4 pixels.
    EXPECT_EQ(f.chunk(1, 0), chunkBytes(14, code::wordDelta, {1, 0, 1, 0, 0, 0xFC, 3, 4}));
    EXPECT_EQ(f.chunk(2, 0), chunkBytes(14, code::wordDelta, {1, 0, 1, 0, 4, 1, 5, 6}));
}

TEST(FlicWriterEncoding, ByteDeltaAndByteRunPackets) {
    FlicWriter writer(8, 3, FlicFormat::Fli, 5);
    writer.addFrame(filled(24, 1), greys());
    Bytes next = filled(24, 1);
    for (std::size_t x = 2; x < 6; ++x)
        next[8 + x] = 5;
    next[8 + 6] = 7;
    writer.addFrame(next, greys());
    Built f = build(writer);
    // From row 1, one row: 4 x 5 after a skip of 2, then one literal 7; padded to even.
    EXPECT_EQ(f.chunk(1, 0),
              chunkBytes(18, code::byteDelta, {1, 0, 1, 0, 2, 2, 0xFC, 5, 0, 1, 7, 0}));

    FlicWriter run(5, 1, FlicFormat::Flc, 10);
    run.addFrame(Bytes{7, 7, 7, 7, 2}, greys());
    EXPECT_EQ(build(run).chunk(0, 1), chunkBytes(12, code::byteRun, {2, 4, 7, 0xFF, 2, 0}));
}

TEST(FlicWriterErrors, RefusesWhatCannotBeWritten) {
    EXPECT_THROW(FlicWriter(0, 5, FlicFormat::Flc, 10), std::invalid_argument);
    EXPECT_THROW(FlicWriter(5, 4097, FlicFormat::Flc, 10), std::invalid_argument);
    FlicWriter writer(4, 4, FlicFormat::Flc, 10);
    EXPECT_THROW(writer.build(), std::logic_error);
    EXPECT_THROW(writer.addFrame(filled(15, 0), greys()), std::invalid_argument);
    EXPECT_THROW(writer.addFrame(filled(16, 0), greys(), {.pixels = PixelChunk::WordDelta}),
                 std::invalid_argument);
    EXPECT_EQ(writer.frameCount(), 0);
    writer.addFrame(filled(16, 0), greys());
    EXPECT_EQ(writer.frameCount(), 1);
    EXPECT_THROW(writer.finish("/nonexistent-directory/out.flc"), std::runtime_error);
}

}  // namespace
