// The DCX reader on files made here: the page table, choosing pages, each page's palette,
// and tables that lie.
#include <gtest/gtest.h>

#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/media/mImageDCX.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/PcxBuilder.h"
#include "tests/support/PictureReading.h"

using platform::ReportSink;
using testing_support::PcxPicture;
using testing_support::pixelAt;

namespace {

// A one-pixel page of colour `index`, with a 256-colour table whose entry `index` has red
// `index` when `withColours`.
std::vector<uint8_t> page(uint8_t index, int32_t width = 1, bool withColours = true) {
    PcxPicture picture;
    picture.width = width;
    picture.bytesPerLine = static_cast<uint16_t>(width);
    picture.lines.assign(static_cast<std::size_t>(width), index);
    picture.headerColours[0] = 200;
    if (withColours) {
        std::array<uint8_t, 768> colours{};
        colours[std::size_t{index} * 3] = index;
        picture.colours = colours;
    }
    return encodePcx(picture);
}

struct OpenDcx {
    explicit OpenDcx(std::vector<uint8_t> file) : bytes(std::move(file)) {
        dcx.openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
        opened = dcx.openImage();
    }
    // The colour index and palette red of the current page's first pixel; -1 when not drawn.
    std::pair<int, int> shown() {
        mBitmap target(1, 1, 8);
        dcx.attachBitmap(&target);
        int32_t result = dcx.readFrame(0, 0, nullptr);
        dcx.attachBitmap(nullptr);
        if (result < 0) return {-1, -1};
        uint8_t index = pixelAt(target, 0, 0);
        return {index, dcx.palette ? dcx.palette[index].red : -1};
    }
    std::vector<uint8_t> bytes;
    mImageDCX dcx;
    int32_t opened = 0;
};

TEST(DcxReader, PagesAreFramesWithTheirOwnPalettes) {
    OpenDcx open(testing_support::dcxOf({page(5), page(6, 3), page(7)}));
    ASSERT_EQ(open.opened, 1);
    EXPECT_EQ(open.dcx.frameCount, 3);
    EXPECT_EQ(open.dcx.pageCount, 3);
    EXPECT_EQ(open.dcx.currentFrame, 0);
    EXPECT_EQ(open.dcx.pixelOffset, 4100 + 128);
    EXPECT_EQ(open.shown(), std::make_pair(5, 5));
    EXPECT_EQ(open.dcx.seekFrame(1, 0), 1);
    EXPECT_EQ(open.dcx.width, 3);
    EXPECT_EQ(open.shown(), std::make_pair(6, 6));
    EXPECT_EQ(open.dcx.seekFrame(3, 0), 1);  // past the last: nothing changes
    EXPECT_EQ(open.dcx.currentFrame, 1);
    EXPECT_EQ(open.dcx.seekFrame(1, 2), 2);  // counted back from the end: the last
    EXPECT_EQ(open.shown(), std::make_pair(7, 7));
    EXPECT_EQ(open.dcx.seekFrame(-2, 1), 0);
    EXPECT_EQ(open.dcx.seekFrame(-5, 0), 0);  // before the first: the first
    EXPECT_EQ(open.shown(), std::make_pair(5, 5));
    open.dcx.setAutoAdvance(1);
    open.shown();
    EXPECT_EQ(open.dcx.currentFrame, 1);
}

TEST(DcxReader, FortyAndAThousandAndTwentyFourPages) {
    for (int32_t count : {40, 1024}) {
        std::vector<std::vector<uint8_t>> pages;
        for (int32_t k = 0; k < count; ++k)
            pages.push_back(page(static_cast<uint8_t>(k % 251), 1, k % 2 == 0));
        OpenDcx open(testing_support::dcxOf(pages));
        ASSERT_EQ(open.opened, 1);
        EXPECT_EQ(open.dcx.frameCount, count);
        EXPECT_EQ(open.dcx.seekFrame(count - 1, 0), count - 1);
        EXPECT_EQ(open.shown().first, (count - 1) % 251);
        EXPECT_EQ(open.dcx.seekFrame(38, 0), 38);
        EXPECT_EQ(open.shown(), std::make_pair(38, 38));
        // Without a table of its own a page keeps the header colours it brings.
        EXPECT_EQ(open.dcx.seekFrame(39, 0), 39);
        EXPECT_EQ(open.dcx.palette[0].red, 200);
    }
}

TEST(DcxReader, APlainPcxIsNoDcx) {
    ReportSink::Capture capture;
    OpenDcx open(page(3));
    EXPECT_EQ(open.opened, 0);
    // Drawing tries the table again, and without one draws nothing and returns 0.
    mBitmap target = testing_support::filledBitmap(1, 1, 0xEE);
    open.dcx.attachBitmap(&target);
    EXPECT_EQ(open.dcx.readFrame(0, 0, nullptr), 0);
    EXPECT_EQ(pixelAt(target, 0, 0), 0xEE);
    open.dcx.attachBitmap(nullptr);
    auto reports = capture.reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0].caption, "mImageDCX");
    EXPECT_EQ(reports[0].text, "File type error");
    EXPECT_EQ(open.dcx.WriteHeader(), 0);
    EXPECT_EQ(capture.reports().back().text, "Not implemented");
}

TEST(DcxReader, OffsetsThatLieLeaveThatPageUndrawable) {
    auto bytes = testing_support::dcxOf({page(1), page(2), page(3), page(4)});
    littleEndian::store32(bytes.data() + 8, 100);  // page 1 inside the table
    littleEndian::store32(bytes.data() + 12, static_cast<uint32_t>(bytes.size()) - 20);
    ReportSink::Capture capture;
    OpenDcx open(bytes);
    ASSERT_EQ(open.opened, 1);
    EXPECT_EQ(open.dcx.frameCount, 4);
    EXPECT_EQ(open.dcx.seekFrame(1, 0), 1);
    EXPECT_EQ(open.shown().first, -1);
    EXPECT_EQ(open.dcx.seekFrame(2, 0), 2);
    EXPECT_EQ(open.shown().first, -1);
    EXPECT_EQ(open.dcx.seekFrame(3, 0), 3);
    EXPECT_EQ(open.shown(), std::make_pair(4, 4));
    EXPECT_EQ(open.dcx.seekFrame(0, 0), 0);
    // Page 1's offset lies under 769: page 0's table is not looked for in front of it.
    EXPECT_EQ(open.shown(), std::make_pair(1, 0));
    for (const auto& report : capture.reports()) {
        EXPECT_EQ(report.caption, "mImageDCX");
        EXPECT_EQ(report.text, "File type error");
    }
    EXPECT_EQ(capture.count(), 2u);
}

TEST(DcxReader, ADeepPageWithoutAColourTableHasNoPalette) {
    PcxPicture picture;
    picture.planes = 3;
    picture.width = 2;
    picture.bytesPerLine = 2;
    picture.lines = {255, 255, 0, 0, 0, 0};
    OpenDcx open(testing_support::dcxOf({page(9), encodePcx(picture)}));
    ASSERT_EQ(open.dcx.seekFrame(1, 0), 1);
    EXPECT_EQ(open.dcx.palette, nullptr);
    auto shown = testing_support::readPage(open.dcx);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->rgb, testing_support::throughDefaultColours({255, 0, 0, 255, 0, 0}));
}

}  // namespace
