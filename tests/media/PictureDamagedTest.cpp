// Damaged copies of every PCX, DCX and BMP file in tests/data and of a few made here: cut
// short, with bits flipped, with header fields set to lying sizes and counts. The readers must
// get through each one within their contract: nothing read or written outside their buffers
// (the sanitizer build aborts on that), nothing drawn outside the clip rectangle, no endless
// loop, frame numbers in range, and no reports but their own and the file layer's. Each is
// read from memory, from a file and through tiny buffers. The mutants come from a fixed seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/media/mImageBMP.h"
#include "engine/media/mImageDCX.h"
#include "engine/media/mImagePCX.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/PcxBuilder.h"
#include "tests/support/PictureReading.h"
#include "tests/support/TempFile.h"

namespace fs = std::filesystem;
using platform::ReportSink;

namespace {

enum class Kind { pcx, dcx, bmp };

struct Original {
    std::string name;
    Kind kind;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<Original>& originals() {
    static const std::vector<Original> files = [] {
        std::vector<Original> out;
        for (auto [folder, kind] : {std::pair{"pcx", Kind::pcx}, std::pair{"dcx", Kind::dcx},
                                    std::pair{"bmp", Kind::bmp}}) {
            for (const auto& entry : fs::directory_iterator(fs::path(LUMIVALE_TESTDATA) / folder))
                out.push_back({entry.path().filename().string(), kind, contentsOf(entry.path())});
        }
        std::sort(out.begin(), out.end(),
                  [](const Original& a, const Original& b) { return a.name < b.name; });
        testing_support::PcxPicture deep;
        deep.planes = 3;
        deep.width = 9;
        deep.height = 4;
        deep.bytesPerLine = 9;
        for (int k = 0; k < 9 * 3 * 4; ++k)
            deep.lines.push_back(static_cast<uint8_t>(k * 13));
        out.push_back({"made 24-bit pcx", Kind::pcx, encodePcx(deep)});
        testing_support::BmpPicture wide;
        wide.width = 7;
        wide.height = -5;
        wide.bitsPerPixel = 24;
        wide.pixels.assign(24 * 5, 0x5a);
        out.push_back({"made 24-bit top-down bmp", Kind::bmp, encodeBmp(wide)});
        return out;
    }();
    return files;
}

std::unique_ptr<mImageBitmap> readerFor(Kind kind) {
    switch (kind) {
        case Kind::pcx:
            return std::make_unique<mImagePCX>();
        case Kind::dcx:
            return std::make_unique<mImageDCX>();
        case Kind::bmp:
            break;
    }
    return std::make_unique<mImageBMP>();
}

constexpr int32_t targetWidth = 48;
constexpr int32_t targetHeight = 40;
constexpr uint8_t untouched = 0xEE;
constexpr Rect clip{2, 3, 30, 25};

// Draws every page (at most a few) of a mutant at a few places; `what` names it in failures.
void drawMutant(const Original& original, std::vector<uint8_t> bytes, uint32_t variant,
                const std::string& what) {
    SCOPED_TRACE(original.name + " " + what);
    ReportSink::Capture capture;
    {
        std::optional<testing_support::TempFile> file;
        mBitmap target = testing_support::filledBitmap(targetWidth, targetHeight, untouched);
        auto reader = readerFor(original.kind);
        if (variant % 3 == 0) {
            reader->openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
        } else {
            file.emplace(bytes, ".img");
            if (variant % 3 == 2) reader->setBufferSizes(24, 8);
            reader->open(file->path(), 0);
        }
        if (reader->openImage() == 1) {
            reader->attachBitmap(&target);
            const int32_t pages = std::min(reader->frameCount, 3);
            for (int32_t page = 0; page < std::max(pages, 1); ++page) {
                int32_t sought = reader->seekFrame(page, 0);
                EXPECT_TRUE(sought >= 0 && sought < std::max(reader->frameCount, 1)) << sought;
                for (auto [x, y] : {std::pair{0, 0}, std::pair{-7, 5}, std::pair{13, -2}}) {
                    int32_t result = reader->readFrame(x, y, &clip);
                    EXPECT_TRUE(result == 0 || result == -1) << result;
                }
            }
            reader->attachBitmap(nullptr);
        }
        if (reader->isOpen) reader->close();
        EXPECT_EQ(testing_support::firstDifference(
                      target, clip,
                      [&](int32_t x, int32_t y) { return testing_support::pixelAt(target, x, y); },
                      untouched),
                  "");
    }
    for (const auto& report : capture.reports()) {
        bool known = (report.caption == "mFile" || report.caption == "mImagePCX" ||
                      report.caption == "mImageDCX" || report.caption == "mImageBMP") &&
                     (report.text.starts_with("File type error") ||
                      report.text.starts_with("File read error") ||
                      report.text.starts_with("File seek error") ||
                      report.text.starts_with("Out of memory"));
        EXPECT_TRUE(known) << report.caption << ": " << report.text;
    }
}

TEST(PictureDamaged, TruncatedFiles) {
    std::mt19937 random(11);
    for (const Original& original : originals()) {
        const std::size_t size = original.bytes.size();
        std::vector<std::size_t> cuts{0, 1, 13, 14, 53, 54, 127, 128, 129, 4099, 4100, 4228};
        for (std::size_t back : {1u, 2u, 768u, 769u, 770u})
            cuts.push_back(size - std::min(back, size));
        for (int k = 0; k < 12; ++k)
            cuts.push_back(random() % size);
        for (std::size_t k = 0; k < cuts.size(); ++k) {
            std::size_t cut = std::min(cuts[k], size);
            std::vector<uint8_t> bytes(original.bytes.begin(),
                                       original.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            drawMutant(original, std::move(bytes), static_cast<uint32_t>(k),
                       "cut at " + std::to_string(cut));
        }
    }
}

TEST(PictureDamaged, FlippedBitsAndBytes) {
    std::mt19937 random(12);
    for (const Original& original : originals()) {
        for (uint32_t k = 0; k < 60; ++k) {
            auto bytes = original.bytes;
            // Half of the changes land in the headers and tables, where they steer the most.
            const std::size_t front = std::min<std::size_t>(bytes.size(), 4228);
            for (uint32_t n = 1 + random() % 4; n > 0; --n) {
                std::size_t at = random() % (k % 2 ? bytes.size() : front);
                if (k % 4 < 2)
                    bytes[at] ^= static_cast<uint8_t>(1u << random() % 8);
                else
                    bytes[at] = static_cast<uint8_t>(random());
            }
            drawMutant(original, std::move(bytes), k, "flip " + std::to_string(k));
        }
    }
}

// Sizes and counts that lie: header fields of each format set to edge values.
TEST(PictureDamaged, LyingSizesAndCounts) {
    std::mt19937 random(13);
    const std::vector<uint32_t> values{0,      1,       2,          3,          0x7F,
                                       0x80,   0xFF,    0x100,      0x7FFF,     0x8000,
                                       0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (const Original& original : originals()) {
        std::vector<std::size_t> fields;
        switch (original.kind) {
            case Kind::pcx:
                fields = {3, 4, 6, 8, 10, 65, 66};
                break;
            case Kind::dcx:
                fields = {4, 8, 12, 4100 + 3, 4100 + 8, 4100 + 10, 4100 + 65, 4100 + 66};
                break;
            case Kind::bmp:
                fields = {2, 10, 14, 18, 22, 28, 30, 34, 46};
                break;
        }
        for (uint32_t k = 0; k < 40; ++k) {
            auto bytes = original.bytes;
            std::size_t at = fields[random() % fields.size()];
            uint32_t value = values[random() % values.size()];
            bool wide = original.kind != Kind::pcx || random() % 2;
            for (std::size_t b = 0; b < (wide ? 4u : 2u) && at + b < bytes.size(); ++b)
                bytes[at + b] = static_cast<uint8_t>(value >> (8 * b));
            drawMutant(original, std::move(bytes), k,
                       "field " + std::to_string(at) + " = " + std::to_string(value));
        }
    }
}

}  // namespace
