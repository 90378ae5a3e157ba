// Files from the writer, decoded by ffmpeg, must show exactly the frames that were written.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/FfmpegDecode.h"
#include "tests/support/FlicLayout.h"
#include "tools/flicgen/FlicWriter.h"
#include "tools/flicgen/Patterns.h"

using namespace flicgen;
using testing_support::FlicChunkInfo;

namespace {

struct Clip {
    FlicFormat format = FlicFormat::Flc;
    int width = 0;
    int height = 0;
    std::vector<PatternFrame> frames;
    FileOptions file;
};

Clip makeClip(FlicFormat format, int width, int height, int count,
              const std::function<void(int, PatternFrame&)>& make) {
    Clip clip{format, width, height, {}, {}};
    for (int k = 0; k < count; ++k) {
        PatternFrame frame;
        frame.pixels.assign(static_cast<std::size_t>(width * height), 0);
        make(k, frame);
        clip.frames.push_back(std::move(frame));
    }
    return clip;
}

Clip patternClip(std::string_view name, FlicFormat format, int width, int height, int count) {
    const Pattern* pattern = findPattern(name);
    return makeClip(format, width, height, count, [&](int k, PatternFrame& frame) {
        pattern->render(width, height, k, count, frame);
    });
}

std::filesystem::path outputPath(const std::string& name) {
    auto dir = std::filesystem::path(LUMIVALE_BINARY_DIR) / "test-files" / "flicwriter";
    std::filesystem::create_directories(dir);
    return dir / name;
}

// The colour ffmpeg shows for a palette entry: 6-bit components are widened by repeating
// their top bits.
std::array<std::uint8_t, 3> shown(const Palette& palette, std::uint8_t index, bool levels64) {
    auto level = [&](std::uint8_t v) {
        if (!levels64) return v;
        auto q = static_cast<std::uint8_t>(v >> 2);
        return static_cast<std::uint8_t>(q << 2 | q >> 4);
    };
    Rgb c = palette[index];
    return {level(c.r), level(c.g), level(c.b)};
}

bool isLevels64(const FrameOptions& options, FlicFormat format) {
    return options.palette == PaletteChunk::Levels64 ||
           (options.palette == PaletteChunk::Auto && format == FlicFormat::Fli);
}

bool hasChunk(const testing_support::FlicRecord& frame, std::uint16_t type) {
    for (const FlicChunkInfo& c : frame.chunks)
        if (c.type == type) return true;
    return false;
}

// Writes the clip, decodes it with ffmpeg and compares every frame, the ring frame (which must
// show frame 0 again) included. At odd widths ffmpeg puts the word delta's last-pixel opcode
// past the visible row, so there the last column is compared with what ffmpeg keeps, and the
// opcodes themselves are checked against the frames written.
void expectFfmpegShowsWhatWasWritten(const Clip& clip, const std::string& name) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    FlicWriter writer(clip.width, clip.height, clip.format, 5, clip.file);
    for (const PatternFrame& f : clip.frames)
        writer.addFrame(f.pixels, f.palette, f.options);
    auto path = outputPath(name);
    writer.finish(path);

    std::string failure;
    auto video = testing_support::ffmpegDecode(path, "flic", &failure);
    ASSERT_TRUE(video) << failure;
    EXPECT_EQ(video->messages, "");
    ASSERT_EQ(video->width, clip.width);
    ASSERT_EQ(video->height, clip.height);
    ASSERT_EQ(video->frames.size(), clip.frames.size() + 1);
    auto bytes = testing_support::readBytes(path);
    auto layout = testing_support::readFlicLayout(bytes);
    ASSERT_TRUE(layout);
    auto records = layout->frameRecords();
    ASSERT_EQ(records.size(), clip.frames.size() + 1);

    std::size_t w = static_cast<std::size_t>(clip.width);
    std::size_t h = static_cast<std::size_t>(clip.height);
    bool oddWidth = (w & 1) != 0;
    std::vector<std::uint8_t> ffmpegLast(h);
    for (std::size_t k = 0; k < video->frames.size(); ++k) {
        const PatternFrame& want = clip.frames[k < clip.frames.size() ? k : 0];
        bool low = isLevels64(clip.frames[k < clip.frames.size() ? k : 0].options, clip.format);
        const auto& got = video->frames[k];
        const PatternFrame* before = k > 0 ? &clip.frames[k - 1] : nullptr;
        bool wordDelta = hasChunk(*records[k], code::wordDelta);
        bool byteDelta = hasChunk(*records[k], code::byteDelta);
        bool black = hasChunk(*records[k], code::black);
        bool whole = hasChunk(*records[k], code::byteRun) || hasChunk(*records[k], code::literal);

        std::size_t mismatches = 0;
        std::ostringstream first;
        for (std::size_t y = 0; y < h; ++y) {
            if (oddWidth) {
                // Only whole-frame chunks, clear and byte deltas (which write the last column
                // exactly where it changed) reach it in ffmpeg.
                std::uint8_t now = want.pixels[y * w + w - 1];
                std::uint8_t base = black || !before ? 0 : before->pixels[y * w + w - 1];
                if (whole || (byteDelta && now != base))
                    ffmpegLast[y] = now;
                else if (black)
                    ffmpegLast[y] = 0;
            }
            for (std::size_t x = 0; x < w; ++x) {
                std::uint8_t index =
                    oddWidth && x == w - 1 ? ffmpegLast[y] : want.pixels[y * w + x];
                auto colour = shown(want.palette, index, low);
                const std::uint8_t* rgb = &got[(y * w + x) * 3];
                if (rgb[0] != colour[0] || rgb[1] != colour[1] || rgb[2] != colour[2]) {
                    if (mismatches++ == 0)
                        first << "(" << x << "," << y << ") shows " << int(rgb[0]) << ","
                              << int(rgb[1]) << "," << int(rgb[2]) << " instead of "
                              << int(colour[0]) << "," << int(colour[1]) << "," << int(colour[2]);
                }
            }
        }
        EXPECT_EQ(mismatches, 0u) << name << " frame " << k << ": first at " << first.str();

        if (oddWidth && wordDelta) {
            std::vector<std::uint8_t> last(h);
            for (std::size_t y = 0; y < h; ++y)
                last[y] = black ? 0 : before->pixels[y * w + w - 1];
            for (const FlicChunkInfo& c : records[k]->chunks)
                if (c.type == code::wordDelta)
                    for (auto [row, value] : testing_support::wordDeltaLastPixels(bytes, c))
                        last.at(row) = value;
            for (std::size_t y = 0; y < h; ++y)
                EXPECT_EQ(last[y], want.pixels[y * w + w - 1])
                    << name << " frame " << k << " row " << y << ": last pixel";
        }
    }
}

Palette rampPalette(int shift) {
    Palette p{};
    for (int e = 0; e < 256; ++e)
        p[static_cast<std::size_t>(e)] = {static_cast<std::uint8_t>(e),
                                          static_cast<std::uint8_t>(255 - e),
                                          static_cast<std::uint8_t>(e * 5 + shift)};
    return p;
}

std::string fileName(std::string base, FlicFormat format) {
    return base + (format == FlicFormat::Fli ? ".fli" : ".flc");
}

constexpr std::array formats{FlicFormat::Flc, FlicFormat::Fli};

TEST(FlicWriterFfmpeg, TinyFramesWithEmptyAndPaletteOnlyFrames) {
    for (FlicFormat format : formats)
        for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}}) {
            // 2 repeats 1 (an empty frame); 4 changes only the palette; 5 only the last pixel.
            auto clip = makeClip(format, w, h, 6, [&](int k, PatternFrame& f) {
                int content = k == 2 ? 1 : k == 4 ? 3 : k;
                for (std::size_t i = 0; i < f.pixels.size(); ++i)
                    f.pixels[i] =
                        static_cast<std::uint8_t>(i * 37 + static_cast<std::size_t>(content) * 11);
                if (k == 5) f.pixels.back() = 200;
                f.palette = rampPalette(k >= 4 ? 40 : 0);
            });
            expectFfmpegShowsWhatWasWritten(
                clip, fileName("tiny" + std::to_string(w) + "x" + std::to_string(h), format));
        }
}

TEST(FlicWriterFfmpeg, OddSizeMovingShapesWithPaletteChange) {
    for (FlicFormat format : formats) {
        auto clip = patternClip("shapes", format, 33, 17, 12);
        for (std::size_t k = 6; k < clip.frames.size(); ++k) {
            clip.frames[k].palette[3] = {10, 20, 30};
            clip.frames[k].palette[200] = {1, 2, 3};
        }
        expectFfmpegShowsWhatWasWritten(clip, fileName("shapes33x17", format));
    }
}

TEST(FlicWriterFfmpeg, CommonScreenSizes) {
    for (FlicFormat format : formats)
        expectFfmpegShowsWhatWasWritten(patternClip("shapes", format, 320, 200, 8),
                                        fileName("shapes320x200", format));
    expectFfmpegShowsWhatWasWritten(patternClip("spin", FlicFormat::Flc, 640, 480, 4),
                                    "spin640x480.flc");
    expectFfmpegShowsWhatWasWritten(patternClip("gradient", FlicFormat::Fli, 640, 480, 3),
                                    "gradient640x480.fli");
}

TEST(FlicWriterFfmpeg, FullHdFewFrames) {
    expectFfmpegShowsWhatWasWritten(patternClip("shapes", FlicFormat::Flc, 1920, 1080, 3),
                                    "shapes1920x1080.flc");
}

TEST(FlicWriterFfmpeg, EveryPatternInBothFormats) {
    for (FlicFormat format : formats)
        for (const Pattern& p : patterns())
            expectFfmpegShowsWhatWasWritten(patternClip(p.name, format, 40, 24, 9),
                                            fileName("pattern-" + std::string(p.name), format));
}

TEST(FlicWriterFfmpeg, EveryChunkKindEvenWidth) {
    for (FlicFormat format : formats)
        expectFfmpegShowsWhatWasWritten(patternClip("kinds", format, 64, 40, 17),
                                        fileName("kinds64x40", format));
}

// Everything but literal (which ffmpeg reads with rows padded to 4 bytes) at an odd width,
// so the last column goes through every chunk kind.
TEST(FlicWriterFfmpeg, EveryChunkKindOddWidth) {
    const std::array<PixelChunk, 8> schedule{
        PixelChunk::Auto,  PixelChunk::Auto, PixelChunk::ByteDelta, PixelChunk::WordDelta,
        PixelChunk::Black, PixelChunk::Auto, PixelChunk::ByteRun,   PixelChunk::WordDelta};
    for (FlicFormat format : formats) {
        auto clip = makeClip(format, 33, 17, 8, [&](int k, PatternFrame& f) {
            findPattern("shapes")->render(33, 17, k == 5 ? 4 : k, 8, f);
            f.options.pixels = schedule[static_cast<std::size_t>(k)];
            f.options.postageStamp = k == 0 || k == 6;
            f.options.palette = k == 3   ? PaletteChunk::Levels64
                                : k == 6 ? PaletteChunk::Levels256
                                         : PaletteChunk::Auto;
            f.options.fullPalette = k == 7;
        });
        expectFfmpegShowsWhatWasWritten(clip, fileName("kinds33x17", format));
    }
}

TEST(FlicWriterFfmpeg, ClearedFirstFrames) {
    for (FlicFormat format : formats) {
        // Frame 0 all 0 (written as a clear chunk alone), then a clear chunk with a picture.
        auto clip = makeClip(format, 21, 9, 3, [&](int k, PatternFrame& f) {
            if (k > 0) findPattern("spin")->render(21, 9, k, 3, f);
            f.palette = rampPalette(0);
            if (k == 1) f.options.pixels = PixelChunk::Black;
        });
        expectFfmpegShowsWhatWasWritten(clip, fileName("cleared", format));
        clip.frames[0] = clip.frames[1];
        expectFfmpegShowsWhatWasWritten(clip, fileName("clearedPicture", format));
    }
}

// Changes far apart in wide rows need skips beyond one byte; long runs need several
// packets; a row of short runs needs more packets than a byte-oriented line can count.
TEST(FlicWriterFfmpeg, WideRowsLongSkipsAndRuns) {
    for (FlicFormat format : formats) {
        auto clip = makeClip(format, 1024, 6, 6, [&](int k, PatternFrame& f) {
            f.palette = rampPalette(3);
            for (std::size_t i = 0; i < f.pixels.size(); ++i)
                f.pixels[i] = static_cast<std::uint8_t>(i * 7);
            if (k >= 1) f.pixels[static_cast<std::size_t>(k) * 1024 + 1000 - 2 * k] = 9;
            if (k >= 2) std::fill(f.pixels.begin() + 1024 * 3, f.pixels.begin() + 1024 * 4, 77);
            if (k >= 3)
                for (std::size_t x = 0; x < 1024; ++x)
                    f.pixels[5 * 1024 + x] = x % 4 == 3 ? 5 : 6;
            if (k == 4) f.pixels[1024 * 2 + 1023] = 1;
        });
        expectFfmpegShowsWhatWasWritten(clip, fileName("wide1024x6", format));
    }
}

TEST(FlicWriterFfmpeg, PrefixChunkAndZeroOffsets) {
    for (FlicFormat format : formats) {
        auto clip = patternClip("shapes", format, 48, 30, 4);
        clip.file.prefixChunk = true;
        clip.file.frameOffsets = false;
        expectFfmpegShowsWhatWasWritten(clip, fileName("prefix", format));
    }
}

}  // namespace
