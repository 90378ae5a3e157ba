// The PCX reader on pictures made here: palettes, the run encoding, every depth and plane
// count of the conversion, the clip cases, and headers that lie.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImagePCX.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/PcxBuilder.h"
#include "tests/support/PictureReading.h"
#include "tests/support/TempFile.h"

using platform::ReportSink;
using testing_support::firstDifference;
using testing_support::PcxPicture;
using testing_support::pixelAt;

namespace {

constexpr uint8_t untouched = 0xEE;

// A reader over `bytes` in memory, opened.
struct OpenPcx {
    explicit OpenPcx(std::vector<uint8_t> file) : bytes(std::move(file)) {
        pcx.openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
        opened = pcx.openImage();
    }
    std::vector<uint8_t> bytes;
    mImagePCX pcx;
    int32_t opened = 0;
};

mBitmap blank(int32_t width, int32_t height) {
    return testing_support::filledBitmap(width, height, untouched);
}

// An 8-bit picture of `width` x `height` whose pixel (x, y) is (x + 3y) mod 200.
PcxPicture ramp(int32_t width, int32_t height) {
    PcxPicture picture;
    picture.width = width;
    picture.height = height;
    picture.bytesPerLine = static_cast<uint16_t>(width + width % 2);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < picture.bytesPerLine; ++x)
            picture.lines.push_back(static_cast<uint8_t>(x < width ? (x + 3 * y) % 200 : 0));
    return picture;
}

std::vector<uint8_t> indexesOf(const mBitmap& bitmap) {
    return testing_support::pixelsOf(bitmap);
}

TEST(PcxReader, OpeningSetsTheStateAndFindsThe256ColourTable) {
    PcxPicture picture = ramp(320, 200);
    picture.headerColours[3] = 9;  // entry 1 red
    std::array<uint8_t, 768> colours{};
    for (std::size_t k = 0; k < colours.size(); ++k)
        colours[k] = static_cast<uint8_t>(k * 7);
    picture.colours = colours;
    OpenPcx marked(encodePcx(picture));
    ASSERT_EQ(marked.opened, 1);
    const mImagePCX& pcx = marked.pcx;
    EXPECT_EQ(pcx.format, mImagePCX::formatPcx);
    EXPECT_EQ(pcx.width, 320);
    EXPECT_EQ(pcx.frameHeight, 200);
    EXPECT_EQ(pcx.frameCount, 1);
    EXPECT_EQ(pcx.currentFrame, 0);
    EXPECT_EQ(pcx.pixelOffset, 128);
    EXPECT_EQ(pcx.lineBytes, 320);
    EXPECT_EQ(pcx.dataSize, 320 * 200);
    EXPECT_EQ(pcx.changed, (Rect{0, 0, 320, 200}));
    EXPECT_EQ(pcx.paletteChanged, 1);
    ASSERT_NE(pcx.palette, nullptr);
    for (int entry : {0, 1, 100, 255}) {
        auto e = static_cast<std::size_t>(entry);
        EXPECT_EQ(pcx.palette[entry],
                  (RgbQuad{colours[e * 3 + 2], colours[e * 3 + 1], colours[e * 3], 0}))
            << entry;
    }

    picture.colours.reset();
    OpenPcx plain(encodePcx(picture));
    ASSERT_EQ(plain.opened, 1);
    EXPECT_EQ(plain.pcx.palette[1], (RgbQuad{0, 0, 9, 0}));
    EXPECT_EQ(plain.pcx.palette[2], (RgbQuad{}));
}

TEST(PcxReader, DrawsStraightIntoAnEightBitDestination) {
    PcxPicture picture = ramp(33, 7);
    OpenPcx open(encodePcx(picture));
    mBitmap target = blank(33, 7);
    open.pcx.attachBitmap(&target);
    EXPECT_EQ(open.pcx.readFrame(0, 0, nullptr), 0);
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 33; ++x)
            ASSERT_EQ(pixelAt(target, x, y), (x + 3 * y) % 200) << x << "," << y;
    // Drawing again reads the picture from the file again.
    target = blank(33, 7);
    open.pcx.attachBitmap(&target);
    EXPECT_EQ(open.pcx.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(pixelAt(target, 32, 6), (32 + 18) % 200);
    open.pcx.attachBitmap(nullptr);
}

TEST(PcxReader, ZeroCountRunsLiteralsAndRunsAcrossLineEnds) {
    PcxPicture picture;
    picture.width = 4;
    picture.height = 2;
    picture.bytesPerLine = 4;
    // Line 0: a zero-count run of 9, the literal 0xBF, a run of 3 that spills 2 past the
    // end of the line; line 1 starts after the whole run: 1, 2, a run of 2 x 0xC5.
    std::vector<uint8_t> data{0xC0, 9, 0xBF, 0xC5, 7, 1, 2, 0xC2, 0xC5};
    OpenPcx open(pcxWithData(picture, data));
    mBitmap target = blank(4, 2);
    open.pcx.attachBitmap(&target);
    EXPECT_EQ(open.pcx.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(indexesOf(target), (std::vector<uint8_t>{0xBF, 7, 7, 7, 1, 2, 0xC5, 0xC5}));
    open.pcx.attachBitmap(nullptr);
}

TEST(PcxReader, MarginsInTheHeaderOnlyPlaceTheWindow) {
    PcxPicture picture = ramp(9, 5);
    picture.xmin = 100;
    picture.ymin = 37;
    OpenPcx open(encodePcx(picture));
    ASSERT_EQ(open.opened, 1);
    EXPECT_EQ(open.pcx.width, 9);
    EXPECT_EQ(open.pcx.height, 5);
    auto page = testing_support::readPage(open.pcx);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->width, 9);
}

// Pixels (x, y) of `width` x `height` with `bits` x `planes` bits in all, as indexes.
std::vector<uint8_t> indexPattern(int32_t width, int32_t height, int32_t totalBits) {
    std::vector<uint8_t> indexes(static_cast<std::size_t>(width * height));
    for (std::size_t k = 0; k < indexes.size(); ++k)
        indexes[k] = static_cast<uint8_t>((k * 37 + k / 5) % (1u << totalBits));
    return indexes;
}

TEST(PcxReader, EveryDepthAndPlaneCountConvertsToIndexes) {
    struct Case {
        int32_t bits;
        int32_t planes;
    };
    for (Case c : {Case{1, 1}, Case{1, 2}, Case{1, 3}, Case{1, 4}, Case{1, 8}, Case{2, 1},
                   Case{2, 2}, Case{4, 1}, Case{4, 2}, Case{8, 2}}) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.planes) + " planes");
        const int32_t width = 21;
        const int32_t height = 3;
        // Odd bytes per line, with a byte more than the pixels need.
        const auto bytesPerLine = static_cast<uint16_t>((width * c.bits + 7) / 8 + 1);
        const int32_t total = std::min(c.bits * c.planes, 8);
        auto indexes = indexPattern(width, height, total);
        PcxPicture picture;
        picture.bitsPerPixel = static_cast<uint8_t>(c.bits);
        picture.planes = static_cast<uint8_t>(c.planes);
        picture.width = width;
        picture.height = height;
        picture.bytesPerLine = bytesPerLine;
        // 8 bits in two planes: the first plane's byte is the index.
        picture.lines =
            c.bits == 8
                ? testing_support::planarLines(indexes, width, 8, 1, bytesPerLine * 2)
                : testing_support::planarLines(indexes, width, c.bits, c.planes, bytesPerLine);
        OpenPcx open(encodePcx(picture));
        ASSERT_EQ(open.opened, 1);
        mBitmap target = blank(width, height);
        open.pcx.attachBitmap(&target);
        EXPECT_EQ(open.pcx.readFrame(0, 0, nullptr), 0);
        EXPECT_EQ(indexesOf(target), indexes);
        open.pcx.attachBitmap(nullptr);
    }
}

TEST(PcxReader, DeepPicturesGoThroughTheTwelveBitTable) {
    for (int32_t planes : {3, 4}) {
        const int32_t width = 17;
        const int32_t height = 4;
        std::vector<uint8_t> rgb;
        for (int32_t k = 0; k < width * height; ++k)
            rgb.insert(rgb.end(), {static_cast<uint8_t>(k * 11), static_cast<uint8_t>(k * 29),
                                   static_cast<uint8_t>(255 - k * 3)});
        PcxPicture picture;
        picture.planes = static_cast<uint8_t>(planes);
        picture.width = width;
        picture.height = height;
        picture.bytesPerLine = width;
        auto lines = testing_support::rgbPlaneLines(rgb, width, width);
        // A fourth plane (alpha) after each line's three.
        for (int32_t y = 0; y < height && planes == 4; ++y) {
            auto at = lines.begin() + static_cast<std::ptrdiff_t>((y * 4 + 3) * width);
            lines.insert(at, static_cast<std::size_t>(width), 0x55);
        }
        picture.lines = lines;
        OpenPcx open(encodePcx(picture));
        ASSERT_EQ(open.opened, 1);
        EXPECT_EQ(open.pcx.palette, nullptr);
        auto page = testing_support::readPage(open.pcx);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->rgb, testing_support::throughDefaultColours(rgb)) << planes;
    }
}

TEST(PcxReader, PlacedLeftOfTheDestinationItsColumnTenLandsOnColumnZero) {
    OpenPcx open(encodePcx(ramp(40, 6)));
    mBitmap target = blank(50, 10);
    open.pcx.attachBitmap(&target);
    EXPECT_EQ(open.pcx.readFrame(-10, 0, nullptr), 0);
    auto ramped = [](int32_t x, int32_t y) { return static_cast<uint8_t>((x + 10 + 3 * y) % 200); };
    EXPECT_EQ(firstDifference(target, Rect{0, 0, 30, 6}, ramped, untouched), "");
    open.pcx.attachBitmap(nullptr);
}

TEST(PcxReader, AClipRectangleBoundsWhatIsWritten) {
    OpenPcx open(encodePcx(ramp(100, 30)));
    mBitmap target = blank(200, 30);
    open.pcx.attachBitmap(&target);
    Rect clip{100, 0, 150, 10};
    EXPECT_EQ(open.pcx.readFrame(90, 0, &clip), 0);
    auto ramped = [](int32_t x, int32_t y) { return static_cast<uint8_t>((x - 90 + 3 * y) % 200); };
    EXPECT_EQ(firstDifference(target, clip, ramped, untouched), "");
    open.pcx.attachBitmap(nullptr);
}

TEST(PcxReader, SubBytePixelsClipInsideTheirBytes) {
    const int32_t width = 29;
    auto indexes = indexPattern(width, 5, 4);
    PcxPicture picture;
    picture.bitsPerPixel = 1;
    picture.planes = 4;
    picture.width = width;
    picture.height = 5;
    picture.bytesPerLine = 4;
    picture.lines = testing_support::planarLines(indexes, width, 1, 4, 4);
    OpenPcx open(encodePcx(picture));
    mBitmap target = blank(40, 8);
    open.pcx.attachBitmap(&target);
    Rect clip{3, 1, 14, 4};
    EXPECT_EQ(open.pcx.readFrame(-2, 0, &clip), 0);
    auto stored = [&](int32_t x, int32_t y) {
        return indexes[static_cast<std::size_t>(y * width + x + 2)];
    };
    EXPECT_EQ(firstDifference(target, clip, stored, untouched), "");
    open.pcx.attachBitmap(nullptr);
}

TEST(PcxReader, NothingVisibleReadsNothing) {
    OpenPcx open(encodePcx(ramp(20, 20)));
    mBitmap target = blank(100, 40);
    open.pcx.attachBitmap(&target);
    const int32_t position = open.pcx.position;
    Rect rightOfIt{60, 0, 100, 40};
    EXPECT_EQ(open.pcx.readFrame(10, 5, &rightOfIt), 0);
    EXPECT_EQ(open.pcx.position, position);
    EXPECT_EQ(open.pcx.readFrame(100, 0, nullptr), 0);
    EXPECT_EQ(open.pcx.position, position);
    EXPECT_EQ(pixelAt(target, 70, 10), untouched);
    open.pcx.attachBitmap(nullptr);
}

TEST(PcxReader, HeadersThatAreNoPictureAreRefused) {
    auto refused = [](PcxPicture picture, std::size_t cut = 0) {
        ReportSink::Capture capture;
        auto bytes = encodePcx(picture);
        if (cut) bytes.resize(cut);
        OpenPcx open(bytes);
        EXPECT_EQ(open.opened, 0);
        EXPECT_EQ(open.pcx.format, 0u);
        EXPECT_EQ(open.pcx.readFrame(0, 0, nullptr), -1);
        auto reports = capture.reports();
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports[0].caption, "mImagePCX");
        EXPECT_EQ(reports[0].text, "File type error");
    };
    PcxPicture picture = ramp(8, 2);
    picture.encoding = 0;
    refused(picture);
    picture = ramp(8, 2);
    picture.manufacturer = 11;
    refused(picture);
    picture = ramp(8, 2);
    picture.xmin = 20;
    picture.width = -5;  // xmax below xmin
    refused(picture);
    picture = ramp(8, 2);
    picture.bytesPerLine = 0;
    refused(picture);
    refused(ramp(8, 2), 100);
}

TEST(PcxReader, TooFewBytesPerLineLeaveTheRestBlack) {
    PcxPicture picture = ramp(10, 3);
    picture.bytesPerLine = 6;
    picture.lines.clear();
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 6; ++x)
            picture.lines.push_back(static_cast<uint8_t>(x + 3 * y));
    OpenPcx open(encodePcx(picture));
    ASSERT_EQ(open.opened, 1);
    mBitmap target = blank(10, 3);
    open.pcx.attachBitmap(&target);
    EXPECT_EQ(open.pcx.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(pixelAt(target, 5, 2), 11);
    EXPECT_EQ(pixelAt(target, 6, 2), 0);
    EXPECT_EQ(pixelAt(target, 9, 0), 0);
    open.pcx.attachBitmap(nullptr);
}

TEST(PcxReader, DataThatEndsEarlyLeavesTheRowsItDoesNotReach) {
    for (bool fromFile : {false, true}) {
        auto bytes = encodePcx(ramp(30, 20));
        bytes.resize(128 + 30 * 5 + 7);  // five lines and a bit (no runs in a ramp line)
        std::optional<testing_support::TempFile> file;
        mImagePCX pcx;
        if (fromFile) {
            file.emplace(bytes, ".pcx");
            pcx.setBufferSizes(24, 8);
            pcx.open(file->path(), 0);
        } else {
            pcx.openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
        }
        ReportSink::Capture capture;
        ASSERT_EQ(pcx.openImage(), 1);
        mBitmap target = blank(30, 20);
        pcx.attachBitmap(&target);
        EXPECT_EQ(pcx.readFrame(0, 0, nullptr), 0);
        EXPECT_EQ(pixelAt(target, 29, 4), (29 + 12) % 200);
        EXPECT_EQ(pixelAt(target, 6, 5), 6 + 15);
        EXPECT_EQ(pixelAt(target, 7, 5), untouched);
        EXPECT_EQ(pixelAt(target, 0, 19), untouched);
        EXPECT_EQ(pcx.position, static_cast<int32_t>(bytes.size()));
        EXPECT_TRUE(capture.reports().empty());
        pcx.attachBitmap(nullptr);
        if (fromFile) pcx.close();
    }
}

TEST(PcxReader, AFileShorterThanThePaletteTailKeepsTheHeaderColours) {
    PcxPicture picture = ramp(4, 2);
    picture.headerColours[0] = 12;  // looks like the marker, but lies in the header
    picture.headerColours[5] = 77;
    auto bytes = encodePcx(picture);
    ASSERT_LT(bytes.size(), 769u);
    OpenPcx open(bytes);
    ASSERT_EQ(open.opened, 1);
    EXPECT_EQ(open.pcx.palette[1].blue, 77);
    EXPECT_EQ(open.pcx.palette[0].red, 12);
}

TEST(PcxReader, WithoutADestinationOrWritingItReports) {
    OpenPcx open(encodePcx(ramp(4, 2)));
    ReportSink::Capture capture;
    EXPECT_EQ(open.pcx.readFrame(0, 0, nullptr), -1);
    EXPECT_EQ(open.pcx.WriteHeader(), 0);
    EXPECT_EQ(open.pcx.WriteFrame(0, 0, 0), 0);
    open.pcx.updateRemap();
    open.pcx.setTransparent(1);
    open.pcx.setTransparentColour(3);
    open.pcx.setRemap(1);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].text, "Bitmap error");
    EXPECT_EQ(reports[1].text, "Not implemented");
    EXPECT_EQ(capture.count(), 7u);
    EXPECT_EQ(open.pcx.transparent, 0);
    EXPECT_EQ(open.pcx.seekFrame(5, 0), 0);
    EXPECT_EQ(open.pcx.position, 128);
}

TEST(PcxReader, CreateBitmapHoldsThePicture) {
    PcxPicture picture = ramp(6, 3);
    OpenPcx open(encodePcx(picture));
    auto bitmap = open.pcx.createBitmap(0);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(pixelAt(*bitmap, 5, 2), 11);
    EXPECT_EQ(open.pcx.destination, nullptr);
}

}  // namespace
