// Sprite groups filled from image files written here: every frame of every format the factory
// knows must reach the group whole and show exactly what its reader shows.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/platform/ReportSink.h"
#include "engine/sprite/mSpriteGroup.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/PcxBuilder.h"
#include "tests/support/PictureReading.h"
#include "tests/support/TempFile.h"
#include "tools/avigen/AviWriter.h"
#include "tools/flicgen/FlicWriter.h"
#include "tools/flicgen/Patterns.h"

using platform::ReportSink;
using testing_support::readPage;
using testing_support::RgbPage;
using testing_support::TempFile;

namespace {

constexpr int width = 26;  // not a multiple of 4: the writer's first frame is a byte run
constexpr int height = 16;
constexpr int frames = 3;

flicgen::Palette colours() {
    flicgen::Palette palette{};
    for (int i = 0; i < 256; ++i) {
        palette[static_cast<std::size_t>(i)] = {
            static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)};
    }
    return palette;
}

// Frame k: a ramp shifted by k, with a block of colour 200 that moves along.
std::vector<uint8_t> picture(int k) {
    std::vector<uint8_t> pixels(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool block = x >= 4 * k && x < 4 * k + 5 && y >= 3 && y < 9;
            pixels[static_cast<std::size_t>(y * width + x)] =
                static_cast<uint8_t>(block ? 200 : (x + 5 * y + 11 * k) % 190);
        }
    return pixels;
}

// The picture as a viewer shows it, through the colours.
std::vector<uint8_t> rgbOfPicture(int k) {
    const flicgen::Palette palette = colours();
    std::vector<uint8_t> rgb;
    for (uint8_t index : picture(k)) {
        const flicgen::Rgb& c = palette[index];
        rgb.insert(rgb.end(), {c.r, c.g, c.b});
    }
    return rgb;
}

std::unique_ptr<TempFile> flicFile() {
    flicgen::FlicWriter writer(width, height, flicgen::FlicFormat::Flc, 60);
    for (int k = 0; k < frames; ++k)
        writer.addFrame(picture(k), colours());
    return std::make_unique<TempFile>(writer.build(), ".flc");
}

std::unique_ptr<TempFile> aviFile() {
    avigen::AviWriter writer(width, height);
    avigen::VideoStream video;
    video.codec = avigen::Codec::Rle8;
    int stream = writer.addVideoStream(video);
    for (int k = 0; k < frames; ++k)
        writer.addFrame(stream, picture(k), colours());
    return std::make_unique<TempFile>(writer.build(), ".avi");
}

std::vector<uint8_t> pcxBytes(int k) {
    testing_support::PcxPicture pcx;
    pcx.width = width;
    pcx.height = height;
    pcx.bytesPerLine = width;
    pcx.lines = picture(k);
    std::array<uint8_t, 768> table{};
    const flicgen::Palette palette = colours();
    for (std::size_t i = 0; i < 256; ++i) {
        table[3 * i] = palette[i].r;
        table[3 * i + 1] = palette[i].g;
        table[3 * i + 2] = palette[i].b;
    }
    pcx.colours = table;
    return testing_support::encodePcx(pcx);
}

std::vector<uint8_t> bmpBytes(int k) {
    testing_support::BmpPicture bmp;
    bmp.width = width;
    bmp.height = height;
    const flicgen::Palette palette = colours();
    for (const flicgen::Rgb& c : palette)
        bmp.colourTable.insert(bmp.colourTable.end(), {c.b, c.g, c.r, 0});
    const std::vector<uint8_t> pixels = picture(k);
    bmp.pixels = testing_support::bmpRows(std::vector<uint32_t>(pixels.begin(), pixels.end()),
                                          width, height, 8);
    return testing_support::encodeBmp(bmp);
}

// The frame as the reader itself draws it, and as a group built from the same file does.
std::vector<RgbPage> throughReader(const char* path) {
    mSpriteGroup factory;
    std::unique_ptr<mImageBitmap> reader = factory.createImage(path);
    std::vector<RgbPage> pages;
    if (!reader || !reader->open(path, 0) || !reader->openImage()) return pages;
    for (int32_t k = 0; k < reader->frameCount; ++k) {
        reader->seekFrame(k, 0);
        if (auto page = readPage(*reader)) pages.push_back(*page);
    }
    reader->close();
    return pages;
}

std::vector<RgbPage> throughGroup(mSpriteGroup& group) {
    std::vector<RgbPage> pages;
    // Opaque, so that the colour key taken from each frame's corner is drawn too.
    group.setTransparent(0);
    for (int32_t k = 0; k < group.frameCount; ++k) {
        group.seekFrame(k, 0);
        if (auto page = readPage(group)) pages.push_back(*page);
    }
    return pages;
}

void sameAsReader(const char* path, int32_t frameCount, int firstPicture) {
    ReportSink::Capture capture;
    const std::vector<RgbPage> direct = throughReader(path);
    mSpriteGroup group(path);
    EXPECT_EQ(capture.count(), 0u);
    ASSERT_EQ(group.frameCount, frameCount);
    EXPECT_EQ(group.currentFrame, 0);
    const std::vector<RgbPage> grouped = throughGroup(group);
    ASSERT_EQ(direct.size(), static_cast<std::size_t>(frameCount));
    ASSERT_EQ(grouped.size(), direct.size());
    for (std::size_t k = 0; k < direct.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(grouped[k].width, width);
        EXPECT_EQ(grouped[k].height, height);
        EXPECT_EQ(grouped[k].rgb, direct[k].rgb);
        EXPECT_EQ(grouped[k].rgb, rgbOfPicture(firstPicture + static_cast<int>(k)));
    }
}

TEST(SpriteGroupFromFile, OnePictureThroughEveryPath) {
    {
        SCOPED_TRACE("FLIC");
        auto file = flicFile();
        sameAsReader(file->path(), frames, 0);
    }
    {
        SCOPED_TRACE("AVI");
        auto file = aviFile();
        sameAsReader(file->path(), frames, 0);
    }
    {
        SCOPED_TRACE("PCX");
        TempFile file(pcxBytes(1), ".pcx");
        sameAsReader(file.path(), 1, 1);
    }
    {
        SCOPED_TRACE("BMP");
        TempFile file(bmpBytes(1), ".bmp");
        sameAsReader(file.path(), 1, 1);
    }
    {
        SCOPED_TRACE("DCX");
        TempFile file(testing_support::dcxOf({pcxBytes(1), pcxBytes(2)}), ".dcx");
        sameAsReader(file.path(), 2, 1);
    }
}

TEST(SpriteGroupFromFile, FramesTakeTheReadersTimesOriginsAndChangedRectangles) {
    auto file = flicFile();
    mSpriteGroup factory;
    std::unique_ptr<mImageBitmap> reader = factory.createImage(file->path());
    ASSERT_TRUE(reader && reader->open(file->path(), 0) && reader->openImage());
    mSpriteGroup group(file->path());
    ASSERT_EQ(group.frameCount, frames);
    EXPECT_EQ(group.frameTime, 60);
    for (int32_t k = 1; k < frames; ++k) {
        reader->seekFrame(k, 0);
        group.seekFrame(k - 1, 0);
        EXPECT_EQ(group.seekFrame(1, 1), k);
        // Only the moving block and the shifted ramp: the reader's rectangle, not the frame.
        EXPECT_FALSE(reader->changed.isEmpty());
        EXPECT_EQ(group.changed, reader->changed);
        EXPECT_EQ(group.originX, reader->originX);
        EXPECT_EQ(group.frameTime, reader->frameTime);
    }
    reader->close();
}

// Frames that only change colours change no pixel; they must be kept all the same and repaint
// whole, since every pixel shows a new colour.
TEST(SpriteGroupFromFile, FramesThatOnlyChangeColoursAreKeptAndRepaintWhole) {
    constexpr int count = 6;
    flicgen::FlicWriter writer(32, 20, flicgen::FlicFormat::Flc, 50);
    for (int k = 0; k < count; ++k) {
        flicgen::PatternFrame frame;
        flicgen::findPattern("cycle")->render(32, 20, k, count, frame);
        writer.addFrame(frame.pixels, frame.palette, frame.options);
    }
    TempFile file(writer.build(), ".flc");

    ReportSink::Capture capture;
    mSpriteGroup group(file.path());
    EXPECT_EQ(capture.count(), 0u);
    ASSERT_EQ(group.frameCount, count);
    for (int32_t k = 1; k < count; ++k) {
        group.seekFrame(k - 1, 0);
        group.seekFrame(1, 1);
        EXPECT_EQ(group.changed, (Rect{0, 0, 32, 20})) << "frame " << k;
    }
    const std::vector<RgbPage> direct = throughReader(file.path());
    const std::vector<RgbPage> grouped = throughGroup(group);
    ASSERT_EQ(grouped.size(), direct.size());
    for (std::size_t k = 0; k < direct.size(); ++k)
        EXPECT_EQ(grouped[k].rgb, direct[k].rgb) << "frame " << k;
    // The colours did move: neighbouring frames differ.
    EXPECT_NE(grouped[0].rgb, grouped[1].rgb);
}

TEST(SpriteGroupFromFile, FilesThatGiveNoReaderLeaveTheGroupEmpty) {
    {
        ReportSink::Capture capture;
        mSpriteGroup group("notes.txt");
        EXPECT_EQ(group.frameCount, 0);
        auto reports = capture.reports();
        ASSERT_EQ(capture.count(), 1u);
        EXPECT_EQ(reports[0].text, "File type error:TXT");
    }
    {
        ReportSink::Capture capture;
        const std::string missing = testing_support::uniqueTempPath(".flc");
        mSpriteGroup group(missing.c_str());
        EXPECT_EQ(group.frameCount, 0);
        EXPECT_EQ(group.seekFrame(0, 0), -1);
        auto reports = capture.reports();
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports[0].caption, "mFile");
        EXPECT_EQ(reports[0].text.rfind("File open error", 0), 0u);
    }
    {
        // A file of the right name that holds no picture gives no frame, only reports.
        ReportSink::Capture capture;
        TempFile garbage(std::string("not a picture at all"), ".pcx");
        mSpriteGroup group(garbage.path());
        EXPECT_EQ(group.frameCount, 0);
        EXPECT_GT(capture.count(), 0u);
    }
}

}  // namespace
