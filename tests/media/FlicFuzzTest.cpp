// Damaged copies of flicgen's animations: cut short, with bits flipped, with bytes and fields
// overwritten. The reader must get through each one within its contract: nothing read or
// written outside its buffers (the sanitizer build aborts on that), frame numbers in range or
// -1, the changed rectangle inside the frame, nothing drawn outside the clip rectangle, and no
// reports but its own and the file layer's. Every chunk kind, both formats and odd sizes are
// covered, read from memory, from a file and through tiny buffers. The mutants come from a
// fixed seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageFlic.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FlicLayout.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/TempFile.h"
#include "tools/flicgen/FlicWriter.h"
#include "tools/flicgen/Patterns.h"

using flicgen::FlicFormat;
using platform::ReportSink;
using testing_support::pixelAt;
using testing_support::TempFile;

namespace {

struct Original {
    std::vector<std::uint8_t> bytes;
    testing_support::FlicLayout layout;
};

Original make(const char* pattern, FlicFormat format, int width, int height, int frames,
              flicgen::FileOptions options = {}) {
    flicgen::FlicWriter writer(width, height, format, 5, options);
    for (int k = 0; k < frames; ++k) {
        flicgen::PatternFrame frame;
        flicgen::findPattern(pattern)->render(width, height, k, frames, frame);
        writer.addFrame(frame.pixels, frame.palette, frame.options);
    }
    Original out{writer.build(), {}};
    out.layout = testing_support::readFlicLayout(out.bytes).value();
    return out;
}

// Small files, so that thousands of mutants decode quickly. "kinds" writes every chunk kind
// in each group of eight frames.
const std::vector<Original>& originals() {
    static const std::vector<Original> files{
        make("kinds", FlicFormat::Flc, 33, 17, 9),
        make("kinds", FlicFormat::Fli, 35, 21, 9),
        make("kinds", FlicFormat::Flc, 1, 1, 9),
        make("kinds", FlicFormat::Fli, 64, 4, 9),
        make("noise", FlicFormat::Fli, 7, 5, 4),
        make("cycle", FlicFormat::Flc, 41, 23, 5),
        make("spin", FlicFormat::Flc, 21, 9, 5),
        make("shapes", FlicFormat::Flc, 48, 30, 4, {.frameOffsets = false, .prefixChunk = true}),
    };
    return files;
}

enum class Reading { memory, file, tinyBuffers };

constexpr std::int32_t targetWidth = 48;
constexpr std::int32_t targetHeight = 40;
constexpr std::uint8_t untouched = 0xEE;
constexpr Rect clip{2, 3, 30, 25};

// Checks the reader's state after each call; `result` is what the call returned.
void expectInContract(const mImageFlic& flic, std::int32_t result, bool mayFail) {
    std::int32_t frames = std::max(flic.frameCount, 1);
    if (!(mayFail && result == -1)) {
        EXPECT_TRUE(result >= 0 && result < frames) << "result " << result;
    }
    EXPECT_TRUE(flic.currentFrame >= 0 && flic.currentFrame < frames)
        << "currentFrame " << flic.currentFrame;
    EXPECT_TRUE(flic.lastDecoded >= -1 && flic.lastDecoded < frames)
        << "lastDecoded " << flic.lastDecoded;
    const Rect& c = flic.changed;
    EXPECT_TRUE(c.left >= 0 && c.right <= flic.frameWidth && c.top >= 0 &&
                c.bottom <= flic.frameHeight)
        << "changed " << c.left << "," << c.top << "," << c.right << "," << c.bottom;
    EXPECT_NE(flic.palette, nullptr);
}

// Everything a player does: every frame in order, the ring frame, seeks back and forth in
// each origin, past the end, and playing on with automatic advance.
void play(mImageFlic& flic, std::uint32_t variant) {
    const std::int32_t frames = flic.frameCount;
    const std::int32_t x = static_cast<std::int32_t>(variant % 7) - 3;
    const std::int32_t y = static_cast<std::int32_t>(variant % 5) - 2;
    auto seek = [&](std::int32_t frame, std::int32_t origin) {
        expectInContract(flic, flic.seekFrame(frame, origin), false);
        expectInContract(flic, flic.readFrame(x, y, &clip), true);
    };
    const std::int32_t visited = std::min(frames, 12);
    for (std::int32_t frame = 0; frame < visited; ++frame)
        seek(frame, 0);
    seek(frames - 1, 0);
    seek(0, 0);
    seek(1, 0);
    seek(frames / 2, 0);
    seek(-1, 1);
    seek(1, 2);
    std::int32_t before = flic.currentFrame;
    EXPECT_EQ(flic.seekFrame(frames, 0), before);
    seek(0, 0);
    flic.setAutoAdvance(1);
    for (std::int32_t k = 0; k < visited + 2; ++k)
        expectInContract(flic, flic.readFrame(x, y, &clip), true);
}

// Opens a mutant and plays it; `what` names it in failures.
void playMutant(std::vector<std::uint8_t> bytes, std::uint32_t variant, const std::string& what) {
    SCOPED_TRACE(what);
    ReportSink::Capture capture;
    {
        auto reading = static_cast<Reading>(variant % 3);
        std::optional<TempFile> file;
        mBitmap target(targetWidth, targetHeight, 8);
        mImageFlic flic;
        for (std::int32_t row = 0; row < targetHeight; ++row)
            std::fill_n(target.info->topRow + row * target.info->rowStep, targetWidth, untouched);
        if (reading == Reading::memory) {
            flic.openMemory(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        } else {
            file.emplace(bytes, ".flc");
            if (reading == Reading::tinyBuffers) flic.setBufferSizes(24, 8);
            flic.open(file->path(), 0);
        }
        if (flic.openImage() == 1) {
            expectInContract(flic, flic.lastDecoded, true);
            flic.attachBitmap(&target);
            if (variant % 4 == 1) {
                flic.setRemap(1);
                flic.updateRemap();
            }
            if (variant % 4 == 2) flic.setTransparentColour(variant % 256);
            play(flic, variant);
            flic.attachBitmap(nullptr);
        }
        for (std::int32_t row = 0; row < targetHeight; ++row) {
            for (std::int32_t column = 0; column < targetWidth; ++column) {
                bool inside = column >= clip.left && column < clip.right && row >= clip.top &&
                              row < clip.bottom;
                if (!inside) {
                    ASSERT_EQ(pixelAt(target, column, row), untouched)
                        << "drawn outside the clip at " << column << "," << row;
                }
            }
        }
    }
    for (const auto& report : capture.reports()) {
        EXPECT_TRUE(report.caption == "mImageFlic" || report.caption == "mFile")
            << report.caption << ": " << report.text;
    }
}

std::string nameOf(std::size_t file, const char* kind, std::size_t index) {
    return "file " + std::to_string(file) + " " + kind + " " + std::to_string(index);
}

// Cut at every record and chunk boundary and a few bytes either side of it, inside the
// header, and at random lengths.
TEST(FlicFuzz, TruncatedFiles) {
    std::mt19937 random(1);
    for (std::size_t f = 0; f < originals().size(); ++f) {
        const Original& original = originals()[f];
        std::vector<std::size_t> cuts{0, 4, 6, 79, 84, 127, 128};
        for (const auto& record : original.layout.records) {
            for (std::size_t at : {record.offset, record.offset + 6, record.offset + 16})
                cuts.push_back(at);
            for (const auto& chunk : record.chunks)
                for (std::size_t at : {chunk.offset + 1, chunk.offset + 7, chunk.offset + 9,
                                       chunk.offset + chunk.size - 1})
                    cuts.push_back(at);
        }
        for (int k = 0; k < 40; ++k)
            cuts.push_back(random() % original.bytes.size());
        for (std::size_t k = 0; k < cuts.size(); ++k) {
            std::size_t cut = std::min(cuts[k], original.bytes.size());
            std::vector<std::uint8_t> bytes(
                original.bytes.begin(), original.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            playMutant(std::move(bytes), static_cast<std::uint32_t>(k), nameOf(f, "cut at", cut));
        }
    }
}

// One to four random bits flipped anywhere, or a few random bytes written, in the header
// fields the reader uses too.
TEST(FlicFuzz, FlippedBitsAndBytes) {
    std::mt19937 random(2);
    for (std::size_t f = 0; f < originals().size(); ++f) {
        const Original& original = originals()[f];
        for (std::uint32_t k = 0; k < 200; ++k) {
            auto bytes = original.bytes;
            std::uint32_t changes = 1 + random() % 4;
            for (std::uint32_t n = 0; n < changes; ++n) {
                std::size_t at = random() % bytes.size();
                if (k % 2 == 0)
                    bytes[at] ^= static_cast<std::uint8_t>(1u << random() % 8);
                else
                    bytes[at] = static_cast<std::uint8_t>(random());
            }
            playMutant(std::move(bytes), k, nameOf(f, "flip", k));
        }
    }
}

// Fields that steer the decoders (header frame count and offsets, frame and chunk sizes,
// types and counts, the first words of chunk data) set to edge values: zero, one, sign
// boundaries, all ones, the picture's sides.
TEST(FlicFuzz, EdgeValuesInFields) {
    std::mt19937 random(3);
    for (std::size_t f = 0; f < originals().size(); ++f) {
        const Original& original = originals()[f];
        const auto& layout = original.layout;
        const std::array<std::uint32_t, 14> values{
            0,      1,      2,      6,      0x7F,       0x80,         0xFF,
            0x7FFF, 0x8000, 0xC000, 0xFFFF, 0xFFFFFFFF, layout.width, layout.height};
        std::vector<std::size_t> fields{6, 80, 84};
        for (const auto& record : layout.records) {
            fields.insert(fields.end(), {record.offset, record.offset + 4, record.offset + 6});
            for (const auto& chunk : record.chunks)
                for (std::size_t at = chunk.offset; at < chunk.offset + std::min(chunk.size, 14u);
                     at += 2)
                    fields.push_back(at);
        }
        for (std::uint32_t k = 0; k < 150; ++k) {
            auto bytes = original.bytes;
            std::size_t at = fields[random() % fields.size()];
            std::uint32_t value = values[random() % values.size()];
            bool wide = random() % 3 == 0 && at + 4 <= bytes.size();
            for (std::size_t b = 0; b < (wide ? 4u : 2u) && at + b < bytes.size(); ++b)
                bytes[at + b] = static_cast<std::uint8_t>(value >> (8 * b));
            playMutant(std::move(bytes), k,
                       nameOf(f, "field at", at) + " = " + std::to_string(value));
        }
    }
}

}  // namespace
