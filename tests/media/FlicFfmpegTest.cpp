// Every frame the reader decodes must show the pixels ffmpeg decodes from the same file, for
// the independent files in tests/data and for a varied set written by flicgen.
// Where ffmpeg is known to read a file differently, those pixels are checked against the
// file's own bytes or against what flicgen was asked to write instead, and only there.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageFlic.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FlicLayout.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/TempFile.h"
#include "tools/flicgen/FlicWriter.h"
#include "tools/flicgen/Patterns.h"

using platform::ReportSink;
using testing_support::FlicChunkInfo;
using testing_support::FlicLayout;
using testing_support::FlicRecord;
using testing_support::pixelsOf;

namespace code = flicgen::code;

namespace {

// What ffmpeg does differently with a whole file.
enum class FfmpegQuirk {
    none,
    // It refuses byte deltas whose first line is the picture height (they change nothing)
    // and then fails, so only the first frame can be compared.
    refusesEmptyDeltas,
    // The header states a file one byte longer than it is, and ffmpeg then leaves out the
    // last frame record (the ring frame).
    dropsLastFrame,
};

// What flicgen was asked to write.
struct Intention {
    flicgen::FlicFormat format = flicgen::FlicFormat::Flc;
    std::vector<flicgen::PatternFrame> frames;
};

// The reader decoding a file frame after frame into an 8-bit memory bitmap.
class OurFrames {
  public:
    explicit OurFrames(const std::filesystem::path& path) {
        if (flic.open(path.c_str(), 0) != 1 || flic.openImage() != 1) return;
        target.createMemory(flic.frameWidth, flic.frameHeight, 8);
        flic.setTransparent(0);
        flic.setRemap(0);
        opened = flic.attachBitmap(&target) == 1;
    }

    // Frame `index`; at frameCount, frame 0 again through the ring frame. Empty on failure.
    std::vector<std::uint8_t> decode(std::int32_t index) {
        std::int32_t frame = index < flic.frameCount ? index : 0;
        if (flic.seekFrame(frame, 0) != frame || flic.readFrame(0, 0, nullptr) != frame) return {};
        return pixelsOf(target);
    }

    // ffmpeg widens a 64-level component v to (v << 2) | (v >> 4); the reader keeps v << 2.
    std::array<std::uint8_t, 3> ffmpegColour(std::uint8_t index, bool levels64) const {
        const RgbQuad& c = flic.palette[index];
        auto widen = [&](std::uint8_t x) {
            return levels64 ? static_cast<std::uint8_t>(x | x >> 6) : x;
        };
        return {widen(c.red), widen(c.green), widen(c.blue)};
    }

    const RgbQuad& colour(std::uint8_t index) const { return flic.palette[index]; }

    bool opened = false;
    mBitmap target;  // declared first, so that the reader lets go of it before it goes
    mImageFlic flic;
};

// Marks the entries a palette chunk sets as 64-level (type 11) or 256-level (type 4).
void notePaletteLevels(std::span<const std::uint8_t> bytes, const FlicChunkInfo& chunk,
                       std::array<bool, 256>& levels64) {
    std::size_t at = chunk.offset + flicgen::chunkHeaderSize;
    std::size_t end = chunk.offset + chunk.size;
    if (at + 2 > end) return;
    std::size_t packets = testing_support::le16(bytes, at);
    at += 2;
    std::size_t entry = 0;
    for (; packets > 0 && at + 2 <= end; --packets) {
        entry += bytes[at];
        std::size_t count = bytes[at + 1] == 0 ? 256 : bytes[at + 1];
        at += 2 + 3 * count;
        for (; count > 0 && entry < levels64.size(); --count, ++entry)
            levels64[entry] = chunk.type == code::color64;
    }
}

// ffmpeg reads a literal chunk only when it holds rows padded to 4 bytes and skips it
// otherwise; the format's rows are not padded.
bool ffmpegSkips(const FlicChunkInfo& chunk, const FlicLayout& layout) {
    std::size_t padded = (layout.width + 3u) / 4u * 4u * layout.height;
    return chunk.type == code::literal && chunk.size - flicgen::chunkHeaderSize != padded;
}

struct Mismatches {
    std::size_t count = 0;
    std::string first;

    void note(std::size_t x, std::size_t y, const std::string& what) {
        if (count++ != 0) return;
        first = '(';
        first += std::to_string(x) + "," + std::to_string(y) + ") " + what;
    }
};

std::string rgbText(const std::uint8_t* rgb) {
    return std::to_string(rgb[0]) + "," + std::to_string(rgb[1]) + "," + std::to_string(rgb[2]);
}

// Our frame through ffmpeg's palette rule against ffmpeg's frame. `stale` marks the pixels
// where ffmpeg is known to still show an older value; a pixel leaves it once both agree.
Mismatches compareWithFfmpeg(const OurFrames& ours, std::span<const std::uint8_t> indexes,
                             const std::array<bool, 256>& levels64,
                             std::span<const std::uint8_t> rgb, std::vector<bool>& stale,
                             std::size_t width) {
    Mismatches out;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        auto want = ours.ffmpegColour(indexes[i], levels64[indexes[i]]);
        const std::uint8_t* got = &rgb[3 * i];
        if (got[0] == want[0] && got[1] == want[1] && got[2] == want[2]) {
            stale[i] = false;
        } else if (!stale[i]) {
            out.note(i % width, i / width,
                     "ffmpeg shows " + rgbText(got) + ", ours " + rgbText(want.data()));
        }
    }
    return out;
}

// Our frame against what flicgen was asked to write: the same indexes, and the colours the
// chunk kind can hold (64-level palettes keep the top 6 bits).
Mismatches compareWithIntention(const OurFrames& ours, std::span<const std::uint8_t> indexes,
                                const flicgen::PatternFrame& want, bool levels64,
                                std::size_t width) {
    Mismatches out;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        std::uint8_t index = want.pixels[i];
        flicgen::Rgb c = want.palette[index];
        auto level = [&](std::uint8_t v) {
            return levels64 ? static_cast<std::uint8_t>(v & 0xFC) : v;
        };
        const RgbQuad& got = ours.colour(index);
        if (indexes[i] != index) {
            out.note(
                i % width, i / width,
                "index " + std::to_string(indexes[i]) + " instead of " + std::to_string(index));
        } else if (got.red != level(c.r) || got.green != level(c.g) || got.blue != level(c.b)) {
            out.note(i % width, i / width, "wrong colour of entry " + std::to_string(index));
        }
    }
    return out;
}

bool isLevels64(const flicgen::FrameOptions& options, flicgen::FlicFormat format) {
    return options.palette == flicgen::PaletteChunk::Levels64 ||
           (options.palette == flicgen::PaletteChunk::Auto && format == flicgen::FlicFormat::Fli);
}

// Decodes every frame and the ring frame with the reader and with ffmpeg and compares them.
void expectSameAsFfmpeg(const std::filesystem::path& path, FfmpegQuirk quirk,
                        const Intention* intended = nullptr) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    auto bytes = testing_support::readBytes(path);
    ASSERT_GE(bytes.size(), flicgen::headerSize);
    // A header that counts a final pad byte the file lacks: the record walk gets it back.
    auto walked = bytes;
    walked.resize(std::max<std::size_t>(walked.size(), testing_support::le32(bytes, 0)));
    auto layout = testing_support::readFlicLayout(walked);
    ASSERT_TRUE(layout);
    auto records = layout->frameRecords();
    ASSERT_GE(records.size(), layout->frames);

    // ffmpeg fails the whole run over the frames it refuses: it gets the first frame alone.
    std::optional<testing_support::TempFile> firstOnly;
    if (quirk == FfmpegQuirk::refusesEmptyDeltas) {
        ASSERT_GE(records.size(), 2u);
        firstOnly.emplace(std::span(bytes).first(records[1]->offset), ".flc");
    }
    // ffmpeg's format probe turns away a header speed above 2000.
    std::string_view demuxer = layout->speed > 2000 ? "flic" : "";
    std::string failure;
    auto video =
        testing_support::ffmpegDecode(firstOnly ? firstOnly->path() : path, demuxer, &failure);
    ASSERT_TRUE(video) << failure;
    ASSERT_EQ(video->width, layout->width);
    ASSERT_EQ(video->height, layout->height);
    std::size_t ffmpegFrames = quirk == FfmpegQuirk::refusesEmptyDeltas ? 1
                               : quirk == FfmpegQuirk::dropsLastFrame   ? records.size() - 1
                                                                        : records.size();
    ASSERT_EQ(video->frames.size(), ffmpegFrames) << video->messages;

    ReportSink::Capture capture;
    OurFrames ours(path);
    ASSERT_TRUE(ours.opened);
    std::size_t width = layout->width;
    std::size_t pixels = width * layout->height;
    std::vector<bool> stale(pixels, false);
    std::array<bool, 256> levels64{};
    bool skippedLiteral = false;
    std::vector<std::uint8_t> first;
    for (std::size_t k = 0; k < records.size(); ++k) {
        SCOPED_TRACE(path.filename().string() + " frame " + std::to_string(k) +
                     (k == layout->frames ? " (ring)" : ""));
        auto indexes = ours.decode(static_cast<std::int32_t>(k));
        ASSERT_EQ(indexes.size(), pixels);
        if (k == 0) first = indexes;

        for (const FlicChunkInfo& chunk : records[k]->chunks) {
            if (chunk.type == code::color256 || chunk.type == code::color64)
                notePaletteLevels(walked, chunk, levels64);
            // ffmpeg writes the last-pixel opcode at the end of its padded row, past the
            // picture when that is wider, so it still shows the old last pixel there.
            if (chunk.type == code::wordDelta)
                for (auto [row, value] : testing_support::wordDeltaLastPixels(walked, chunk))
                    if (row < layout->height) stale[row * width + width - 1] = true;
            // ffmpeg keeps the previous picture; ours is the chunk's rows as they stand.
            if (ffmpegSkips(chunk, *layout)) {
                skippedLiteral = true;
                stale.assign(pixels, true);
                std::size_t at = chunk.offset + flicgen::chunkHeaderSize;
                ASSERT_LE(at + pixels, bytes.size());
                EXPECT_TRUE(std::equal(indexes.begin(), indexes.end(), bytes.begin() + at))
                    << "not the literal chunk's pixels";
                EXPECT_EQ(&chunk, &records[k]->chunks.back()) << "pixels after the literal";
            }
        }

        if (k == layout->frames || (quirk == FfmpegQuirk::refusesEmptyDeltas && k > 0)) {
            EXPECT_TRUE(indexes == first) << "not frame 0's picture";
        }
        if (intended) {
            const auto& want = intended->frames[k < intended->frames.size() ? k : 0];
            auto wrong = compareWithIntention(ours, indexes, want,
                                              isLevels64(want.options, intended->format), width);
            EXPECT_EQ(wrong.count, 0u) << "against flicgen's frame, first at " << wrong.first;
        }
        if (k < video->frames.size()) {
            auto wrong = compareWithFfmpeg(ours, indexes, levels64, video->frames[k], stale, width);
            EXPECT_EQ(wrong.count, 0u) << "first at " << wrong.first;
        }
    }
    if (!skippedLiteral) {
        EXPECT_EQ(video->messages, "");
    }
    for (const auto& report : capture.reports())
        EXPECT_EQ(report.text, "Not tested:LITERAL") << report.caption;
}

struct TestFile {
    const char* name;
    FfmpegQuirk quirk = FfmpegQuirk::none;
};

void PrintTo(const TestFile& file, std::ostream* out) {
    *out << file.name;
}

std::string testName(std::string name) {
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class FlicFfmpegTestData : public ::testing::TestWithParam<TestFile> {};

TEST_P(FlicFfmpegTestData, EveryFrameAsFfmpegShowsIt) {
    expectSameAsFfmpeg(std::filesystem::path(LUMIVALE_TESTDATA) / "flic" / GetParam().name,
                       GetParam().quirk);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FlicFfmpegTestData,
    ::testing::Values(TestFile{"ANN2.FLI"}, TestFile{"a.fli"}, TestFile{"2422.flc"},
                      TestFile{"APWCOL.CEL"}, TestFile{"S-BULLET.CEL"},
                      TestFile{"gimp_testsrc_320x200.fli"}, TestFile{"ase_gradient_320x200.flc"},
                      TestFile{"ase_noise_33x17.flc"}, TestFile{"ase_block_640x480.flc"},
                      TestFile{"ase_palchange_160x120.flc", FfmpegQuirk::dropsLastFrame},
                      TestFile{"ase_static_64x48.flc", FfmpegQuirk::refusesEmptyDeltas},
                      TestFile{"ase_tiny_3x2.flc"}),
    [](const auto& param) { return testName(param.param.name); });

// A file written by flicgen from one of its patterns.
struct MadeFile {
    const char* name;
    const char* pattern;
    flicgen::FlicFormat format;
    int width;
    int height;
    int frames;
    std::uint32_t speed = 5;
    flicgen::FileOptions file{};
};

void PrintTo(const MadeFile& file, std::ostream* out) {
    *out << file.name;
}

class FlicFfmpegFlicgen : public ::testing::TestWithParam<MadeFile> {};

TEST_P(FlicFfmpegFlicgen, EveryFrameAsFfmpegShowsIt) {
    const MadeFile& made = GetParam();
    const flicgen::Pattern* pattern = flicgen::findPattern(made.pattern);
    ASSERT_NE(pattern, nullptr);
    Intention intended{made.format, {}};
    flicgen::FlicWriter writer(made.width, made.height, made.format, made.speed, made.file);
    for (int k = 0; k < made.frames; ++k) {
        flicgen::PatternFrame frame;
        pattern->render(made.width, made.height, k, made.frames, frame);
        writer.addFrame(frame.pixels, frame.palette, frame.options);
        intended.frames.push_back(std::move(frame));
    }
    auto dir = std::filesystem::path(LUMIVALE_BINARY_DIR) / "test-files" / "flicreader";
    std::filesystem::create_directories(dir);
    writer.finish(dir / made.name);
    expectSameAsFfmpeg(dir / made.name, FfmpegQuirk::none, &intended);
}

using flicgen::FlicFormat;

// The kinds pattern goes through every chunk kind (postage stamp, byte run, literal, clear,
// both deltas, both palette kinds) in each group of eight frames; the palette changes twice.
INSTANTIATE_TEST_SUITE_P(
    Files, FlicFfmpegFlicgen,
    ::testing::Values(MadeFile{"kinds1x1.flc", "kinds", FlicFormat::Flc, 1, 1, 9},
                      MadeFile{"kinds1x1.fli", "kinds", FlicFormat::Fli, 1, 1, 9},
                      MadeFile{"kinds33x17.flc", "kinds", FlicFormat::Flc, 33, 17, 17},
                      MadeFile{"kinds33x17.fli", "kinds", FlicFormat::Fli, 33, 17, 17},
                      MadeFile{"kinds64x40.flc", "kinds", FlicFormat::Flc, 64, 40, 9},
                      MadeFile{"kinds35x21.fli", "kinds", FlicFormat::Fli, 35, 21, 9},
                      MadeFile{"cycle41x23.flc", "cycle", FlicFormat::Flc, 41, 23, 10},
                      MadeFile{"noise7x5.fli", "noise", FlicFormat::Fli, 7, 5, 6},
                      MadeFile{"gradient320x200.fli", "gradient", FlicFormat::Fli, 320, 200, 5},
                      MadeFile{"spin639x479.flc", "spin", FlicFormat::Flc, 639, 479, 4, 2500},
                      MadeFile{"shapes1920x1080.flc", "shapes", FlicFormat::Flc, 1920, 1080, 3},
                      MadeFile{"prefix48x30.flc",
                               "shapes",
                               FlicFormat::Flc,
                               48,
                               30,
                               4,
                               5,
                               {.frameOffsets = false, .prefixChunk = true}},
                      MadeFile{"prefix47x30.fli",
                               "shapes",
                               FlicFormat::Fli,
                               47,
                               30,
                               4,
                               5,
                               {.frameOffsets = false, .prefixChunk = true}}),
    [](const auto& param) { return testName(param.param.name); });

}  // namespace
