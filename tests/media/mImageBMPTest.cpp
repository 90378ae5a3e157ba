// The BMP reader on files made here: headers, row sizes, colour tables, the clip cases,
// top-down rows, deep pixels against ffmpeg, and run-length data.
#include <gtest/gtest.h>

#include <vector>

#include "engine/media/mImageBMP.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/PictureReading.h"
#include "tests/support/TempFile.h"

using platform::ReportSink;
using testing_support::BmpPicture;
using testing_support::firstDifference;
using testing_support::pixelAt;

namespace {

constexpr uint8_t untouched = 0xEE;

struct OpenBmp {
    explicit OpenBmp(std::vector<uint8_t> file) : bytes(std::move(file)) {
        bmp.openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
        opened = bmp.openImage();
    }
    std::vector<uint8_t> bytes;
    mImageBMP bmp;
    int32_t opened = 0;
};

std::vector<uint32_t> ramp(int32_t width, int32_t height, uint32_t modulo) {
    std::vector<uint32_t> values;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            values.push_back(static_cast<uint32_t>(x + 3 * y) % modulo);
    return values;
}

BmpPicture indexed(int32_t width, int32_t height, uint16_t bits) {
    BmpPicture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = bits;
    picture.colourTable.assign(std::size_t{4} << bits, 0);
    for (std::size_t k = 0; k < picture.colourTable.size(); ++k)
        picture.colourTable[k] = static_cast<uint8_t>(k);
    picture.pixels =
        testing_support::bmpRows(ramp(width, std::abs(height), 1u << bits), width, height, bits);
    return picture;
}

TEST(BmpReader, RowSizesAndColourTables) {
    struct Case {
        int32_t width;
        uint16_t bits;
        int32_t rowBytes;
    };
    for (Case c : {Case{10, 8, 12}, Case{33, 1, 8}, Case{5, 24, 16}}) {
        BmpPicture picture = indexed(c.width, 2, c.bits <= 8 ? c.bits : 1);
        picture.bitsPerPixel = c.bits;
        if (c.bits > 8) picture.colourTable.clear();
        picture.pixels.assign(static_cast<std::size_t>(c.rowBytes * 2), 0);
        OpenBmp open(encodeBmp(picture));
        ASSERT_EQ(open.opened, 1);
        EXPECT_EQ(open.bmp.rowBytes, c.rowBytes) << c.width << " x " << c.bits;
        EXPECT_EQ(open.bmp.frameBytes, c.rowBytes * 2);
        EXPECT_EQ(open.bmp.format, mImageBMP::formatBmp);
        EXPECT_EQ(open.bmp.pixelOffset, static_cast<int32_t>(open.bytes.size()) - c.rowBytes * 2);
        if (c.bits == 24) {
            EXPECT_EQ(open.bmp.palette, nullptr);
        } else {
            ASSERT_NE(open.bmp.palette, nullptr);
            EXPECT_EQ(open.bmp.palette[1], (RgbQuad{4, 5, 6, 7}));
        }
    }
    // Colours used: 0 means all of them; more than 256 keeps 256; 5 reads five.
    for (uint32_t used : {0u, 300u, 5u}) {
        BmpPicture picture = indexed(4, 2, 8);
        picture.coloursUsed = used;
        if (used == 5) picture.colourTable.resize(20);
        OpenBmp open(encodeBmp(picture));
        ASSERT_EQ(open.opened, 1);
        EXPECT_EQ(open.bmp.palette[4].blue, 16);
        EXPECT_EQ(open.bmp.palette[255].blue, used == 5 ? 0 : 252) << used;
    }
    BmpPicture four = indexed(4, 2, 4);
    OpenBmp open(encodeBmp(four));
    EXPECT_EQ(open.bmp.palette[15].red, 62);
    EXPECT_EQ(open.bmp.palette[16], RgbQuad{});
}

TEST(BmpReader, LargerInformationHeadersAreReadByTheirFirstFortyBytes) {
    for (uint32_t size : {108u, 124u}) {
        BmpPicture picture = indexed(6, 3, 8);
        picture.headerSize = size;
        OpenBmp open(encodeBmp(picture));
        ASSERT_EQ(open.opened, 1) << size;
        EXPECT_EQ(open.bmp.palette[2].blue, 8);
        auto page = testing_support::readPage(open.bmp);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->rgb[3 * 7], 4 * 4 + 2);  // pixel (1, 1) has index 4: red 4 x 4 + 2
    }
}

TEST(BmpReader, HeadersAndCompressionsItCannotReadAreRefused) {
    auto refused = [](BmpPicture picture) {
        ReportSink::Capture capture;
        OpenBmp open(encodeBmp(picture));
        EXPECT_EQ(open.opened, 0);
        EXPECT_EQ(open.bmp.format, 0u);
        ASSERT_FALSE(capture.reports().empty());
        EXPECT_EQ(capture.reports()[0].caption, "mImageBMP");
        EXPECT_EQ(capture.reports()[0].text, "File type error");
    };
    BmpPicture picture = indexed(4, 2, 8);
    picture.headerSize = 12;
    refused(picture);
    picture = indexed(4, 2, 8);
    picture.compression = 4;
    refused(picture);
    picture.compression = 1;  // run-length of 8 bits in a 4-bit picture
    picture.bitsPerPixel = 4;
    refused(picture);
    picture = indexed(4, 2, 8);
    picture.width = 0;
    refused(picture);
    picture = indexed(4, 2, 8);
    picture.bitsPerPixel = 7;
    refused(picture);
    auto bytes = encodeBmp(indexed(4, 2, 8));
    bytes[0] = 'X';
    ReportSink::Capture capture;
    OpenBmp notBmp(bytes);
    EXPECT_EQ(notBmp.opened, 0);
    EXPECT_EQ(notBmp.bmp.readFrame(0, 0, nullptr), -1);
}

TEST(BmpReader, ClipsAsThePcxReaderDoes) {
    OpenBmp open(encodeBmp(indexed(100, 30, 8)));
    mBitmap target = testing_support::filledBitmap(200, 40, untouched);
    open.bmp.attachBitmap(&target);
    Rect clip{100, 0, 150, 10};
    EXPECT_EQ(open.bmp.readFrame(90, 0, &clip), 0);
    auto at = [](int32_t dx) {
        return [dx](int32_t x, int32_t y) { return static_cast<uint8_t>((x + dx + 3 * y) % 256); };
    };
    EXPECT_EQ(firstDifference(target, clip, at(-90), untouched), "");
    target = testing_support::filledBitmap(200, 40, untouched);
    open.bmp.attachBitmap(&target);
    EXPECT_EQ(open.bmp.readFrame(-10, 5, nullptr), 0);
    auto shifted = [](int32_t x, int32_t y) {
        return static_cast<uint8_t>((x + 10 + 3 * (y - 5)) % 256);
    };
    EXPECT_EQ(firstDifference(target, Rect{0, 5, 90, 35}, shifted, untouched), "");
    open.bmp.attachBitmap(nullptr);
}

TEST(BmpReader, TopDownRowsDrawUpright) {
    for (int32_t height : {7, -7}) {
        for (uint16_t bits : {uint16_t{8}, uint16_t{4}}) {
            OpenBmp open(encodeBmp(indexed(9, height, bits)));
            ASSERT_EQ(open.opened, 1);
            EXPECT_EQ(open.bmp.height, 7);
            EXPECT_EQ(open.bmp.topDown, height < 0);
            mBitmap target = testing_support::filledBitmap(9, 7, untouched);
            open.bmp.attachBitmap(&target);
            Rect clip{1, 2, 8, 6};
            EXPECT_EQ(open.bmp.readFrame(0, 0, &clip), 0);
            auto stored = [bits](int32_t x, int32_t y) {
                return static_cast<uint8_t>((x + 3 * y) % (1 << bits));
            };
            EXPECT_EQ(firstDifference(target, clip, stored, untouched), "")
                << height << " " << bits;
            open.bmp.attachBitmap(nullptr);
        }
    }
}

TEST(BmpReader, RowsTheDataDoesNotReachAreLeft) {
    auto bytes = encodeBmp(indexed(8, 6, 8));
    bytes.resize(bytes.size() - 8 * 2 -
                 3);  // the top two rows and 3 bytes of the third are missing
    ReportSink::Capture capture;
    OpenBmp open(bytes);
    mBitmap target = testing_support::filledBitmap(8, 6, untouched);
    open.bmp.attachBitmap(&target);
    EXPECT_EQ(open.bmp.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(pixelAt(target, 7, 5), 7 + 15);
    EXPECT_EQ(pixelAt(target, 4, 2), 4 + 6);
    EXPECT_EQ(pixelAt(target, 5, 2), untouched);
    EXPECT_EQ(pixelAt(target, 0, 1), untouched);
    EXPECT_TRUE(capture.reports().empty());
    open.bmp.attachBitmap(nullptr);
}

TEST(BmpReader, DeepPixelsConvertAsFfmpegShowsThem) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    struct Case {
        uint16_t bits;
        std::vector<uint32_t> masks;  // empty: the default layout
        uint32_t range;
    };
    for (const Case& c : {Case{24, {}, 1u << 24}, Case{32, {}, 1u << 24}, Case{16, {}, 1u << 15},
                          Case{16, {0xf800, 0x07e0, 0x001f}, 1u << 16},
                          Case{32, {0xff0000, 0xff00, 0xff}, 1u << 24}}) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.masks.size()) +
                     " masks");
        BmpPicture picture;
        picture.width = 23;
        picture.height = 9;
        picture.bitsPerPixel = c.bits;
        picture.compression = c.masks.empty() ? 0 : 3;
        picture.masks = c.masks;
        std::vector<uint32_t> values;
        for (uint32_t k = 0; k < 23 * 9; ++k)
            values.push_back((k * 2654435761u) % c.range);
        picture.pixels = testing_support::bmpRows(values, 23, 9, c.bits);
        testing_support::TempFile file(encodeBmp(picture), ".bmp");
        mImageBMP bmp;
        ASSERT_EQ(bmp.open(file.path(), 0), 1);
        ASSERT_EQ(bmp.openImage(), 1);
        auto ours = testing_support::readPage(bmp);
        bmp.close();
        auto theirs = testing_support::ffmpegDecode(file.path());
        ASSERT_TRUE(ours && theirs);
        EXPECT_EQ(ours->rgb, testing_support::throughDefaultColours(theirs->frames[0]));
    }
}

// Run-length pictures of 4 x 3: codes given as bytes, pixels expected top row first.
TEST(BmpReader, RunLengthCodes) {
    struct Case {
        const char* what;
        uint32_t compression;
        std::vector<uint8_t> data;
        std::vector<uint8_t> expected;
    };
    const std::vector<Case> cases{
        {"runs and line ends",
         1,
         {3, 7, 0, 0, 2, 8, 2, 9, 0, 0, 1, 5, 0, 1},
         {5, 0, 0, 0, 8, 8, 9, 9, 7, 7, 7, 0}},
        {"a run past the line end is cut",
         1,
         {9, 4, 0, 0, 0, 1},
         {0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 4}},
        {"literal with its pad byte",
         1,
         {0, 3, 1, 2, 3, 0, 0, 1},
         {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0}},
        {"delta", 1, {1, 6, 0, 2, 2, 1, 1, 9, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 9, 6, 0, 0, 0}},
        {"data that ends", 1, {4, 3, 0, 0, 2}, {0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 3}},
        {"four bits",
         2,
         {3, 0x12, 0, 0, 0, 3, 0x45, 0x60, 0, 1},
         {0, 0, 0, 0, 4, 5, 6, 0, 1, 2, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BmpPicture picture = indexed(4, 3, c.compression == 1 ? 8 : 4);
        picture.compression = c.compression;
        picture.pixels = c.data;
        OpenBmp open(encodeBmp(picture));
        ASSERT_EQ(open.opened, 1);
        mBitmap target = testing_support::filledBitmap(4, 3, untouched);
        open.bmp.attachBitmap(&target);
        EXPECT_EQ(open.bmp.readFrame(0, 0, nullptr), 0);
        EXPECT_EQ(testing_support::pixelsOf(target), c.expected);
        open.bmp.attachBitmap(nullptr);
    }
}

TEST(BmpReader, UnsupportedSlotsReport) {
    OpenBmp open(encodeBmp(indexed(4, 2, 8)));
    ReportSink::Capture capture;
    EXPECT_EQ(open.bmp.readFrame(0, 0, nullptr), -1);
    EXPECT_EQ(open.bmp.WriteHeader(), 0);
    EXPECT_EQ(open.bmp.WriteFrame(1, 2, 3), 0);
    open.bmp.setRemap(1);
    open.bmp.setTransparent(1);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].caption, "mImageBMP");
    EXPECT_EQ(reports[0].text, "Bitmap error");
    EXPECT_EQ(reports[1].text, "Not implemented");
    EXPECT_EQ(capture.count(), 5u);
    EXPECT_EQ(open.bmp.seekFrame(3, 0), 0);
    EXPECT_EQ(open.bmp.position, open.bmp.pixelOffset);
}

}  // namespace
