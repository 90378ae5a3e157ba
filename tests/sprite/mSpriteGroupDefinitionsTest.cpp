// Sprite definition files read into groups, over real BMP and FLIC files written by the test:
// the frames each line adds, the values they take, and what bad lines report.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/media/mImageFlic.h"
#include "engine/platform/ReportSink.h"
#include "engine/sprite/mSpriteGroup.h"
#include "tests/sprite/DefinitionFiles.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/TempFile.h"
#include "tools/flicgen/FlicWriter.h"

using definitiontest::flicFrameTime;
using definitiontest::flicHeight;
using definitiontest::flicWidth;
using definitiontest::framePixels;
using definitiontest::loadText;
using definitiontest::pictureArea;
using definitiontest::pictureBmp;
using definitiontest::textsOf;
using definitiontest::walkingFlic;
using platform::ReportSink;
using testing_support::TempFile;

namespace {

using Texts = std::vector<std::string>;

std::string fileLine(const TempFile& file) {
    return std::string("FILE ") + file.path() + "\n";
}

// Frame `index` of the FLIC as its reader decodes it on its own.
struct ReaderFrame {
    std::vector<uint8_t> pixels;
    Rect changed;
};

ReaderFrame readerFrame(const TempFile& file, int32_t index) {
    mImageFlic flic;
    flic.open(file.path(), 0);
    flic.openImage();
    flic.seekFrame(index, 0);
    auto bitmap = flic.createBitmap(0);
    ReaderFrame frame{testing_support::pixelsOf(*bitmap), flic.changed};
    flic.close();
    return frame;
}

TEST(SpriteDefinitions, FileThenEndTakesEveryFrameWholeWithItsOwnValues) {
    TempFile walk = walkingFlic(5);
    ReportSink::Capture capture;
    mSpriteGroup group;
    ASSERT_EQ(loadText(group, fileLine(walk) + "END\n"), 1);
    ASSERT_EQ(group.frameCount, 5);
    group.seekFrame(0, 0);
    for (int32_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        // Only a step of +1 shows the frame's own changed rectangle.
        if (k > 0) {
            group.seekFrame(1, 1);
            EXPECT_LT(group.changed.height(), flicHeight);
        }
        ReaderFrame expected = readerFrame(walk, k);
        EXPECT_EQ(group.frameWidth, flicWidth);
        EXPECT_EQ(group.frameHeight, flicHeight);
        EXPECT_EQ(group.frameTime, flicFrameTime);
        EXPECT_EQ(group.changed, expected.changed);
        EXPECT_EQ(framePixels(group, k), expected.pixels);
    }
    EXPECT_EQ(textsOf(capture), Texts{});
}

// Frames that change only colours leave the reader's changed rectangle empty; they are kept
// all the same, repainting whole.
TEST(SpriteDefinitions, FramesChangingOnlyColoursAreKeptWhole) {
    flicgen::FlicWriter writer(8, 4, flicgen::FlicFormat::Flc, 50);
    std::vector<uint8_t> pixels(32, 7);
    flicgen::Palette palette{};
    for (uint8_t k = 0; k < 3; ++k) {
        palette[7] = {static_cast<uint8_t>(80 * k), 0, 0};
        // The later frames hold no pixel chunk: their pixels did not change.
        flicgen::PixelChunk chunk =
            k == 0 ? flicgen::PixelChunk::ByteRun : flicgen::PixelChunk::Auto;
        writer.addFrame(pixels, palette, {.pixels = chunk});
    }
    TempFile cycle(writer.build(), ".flc");
    ReportSink::Capture capture;
    mSpriteGroup group;
    ASSERT_EQ(loadText(group, fileLine(cycle)), 1);
    ASSERT_EQ(group.frameCount, 3);
    group.seekFrame(0, 0);
    group.seekFrame(1, 1);
    EXPECT_EQ(group.changed, (Rect{0, 0, 8, 4}));
    EXPECT_EQ(textsOf(capture), Texts{});
}

TEST(SpriteDefinitions, ValuesGivenAfterFileApplyToItsFirstFrameOnly) {
    TempFile walk = walkingFlic(3);
    mSpriteGroup group;
    ASSERT_EQ(loadText(group, fileLine(walk) + "ORIGIN 3,4\nTIME 250\nDELTA 1,1,5,5\nEND\n"), 1);
    ASSERT_EQ(group.frameCount, 3);
    group.seekFrame(0, 0);
    EXPECT_EQ(group.originX, 3);
    EXPECT_EQ(group.originY, 4);
    EXPECT_EQ(group.frameTime, 250);
    group.seekFrame(0, 0);
    group.seekFrame(1, 1);
    EXPECT_EQ(group.originX, 0);
    EXPECT_EQ(group.frameTime, flicFrameTime);
    EXPECT_EQ(group.changed, readerFrame(walk, 1).changed);

    // A changed rectangle shows only on a step of +1, so the file's first frame is put behind
    // another one to see its DELTA.
    mSpriteGroup twice;
    std::string text = fileLine(walk) + "RECT 0,0,24,16\n" + fileLine(walk) + "DELTA 1,1,5,5\nEND";
    ASSERT_EQ(loadText(twice, text), 1);
    twice.seekFrame(0, 0);
    twice.seekFrame(1, 1);
    EXPECT_EQ(twice.changed, (Rect{1, 1, 5, 5}));
}

TEST(SpriteDefinitions, TileCutsWholeTilesInRowOrder) {
    TempFile sheet = pictureBmp(100, 70);
    mSpriteGroup group;
    ASSERT_EQ(loadText(group, fileLine(sheet) + "TILE 32,32\nEND\n"), 1);
    ASSERT_EQ(group.frameCount, 6);
    EXPECT_EQ(group.width, 32);
    EXPECT_EQ(group.height, 32);
    for (int32_t k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        int32_t left = 32 * (k % 3);
        int32_t top = 32 * (k / 3);
        EXPECT_EQ(framePixels(group, k), pictureArea({left, top, left + 32, top + 32}));
    }
}

TEST(SpriteDefinitions, RectCutsOneFrameAndMissingNumbersKeepTheirValues) {
    TempFile sheet = pictureBmp(100, 70);
    mSpriteGroup group;
    // The pending whole-file frame is dropped by the first RECT. "RECT 20" keeps 10,50,40; a
    // blank before the comma ends "RECT 1 ,2" after its first number.
    ASSERT_EQ(loadText(group, fileLine(sheet) + "RECT 10,10,50,40\nRECT 20\nRECT 1 ,2\nEND"), 1);
    ASSERT_EQ(group.frameCount, 3);
    EXPECT_EQ(framePixels(group, 0), pictureArea({10, 10, 50, 40}));
    EXPECT_EQ(framePixels(group, 1), pictureArea({20, 10, 50, 40}));
    EXPECT_EQ(framePixels(group, 2), pictureArea({1, 10, 50, 40}));
    EXPECT_EQ(group.width, 49);
    EXPECT_EQ(group.height, 30);
}

TEST(SpriteDefinitions, SourceFramesAddOnlyTheFramesTheyName) {
    TempFile walk = walkingFlic(6);
    mSpriteGroup group;
    ASSERT_EQ(loadText(group, fileLine(walk) + "SOURCEFRAME 3\nSOURCEFRAME 5\nEND\n"), 1);
    ASSERT_EQ(group.frameCount, 2);
    EXPECT_EQ(framePixels(group, 0), readerFrame(walk, 3).pixels);
    EXPECT_EQ(framePixels(group, 1), readerFrame(walk, 5).pixels);
    EXPECT_NE(framePixels(group, 0), readerFrame(walk, 0).pixels);
}

TEST(SpriteDefinitions, RectOutsideTheBitmapIsClippedOrReportedAndReadingGoesOn) {
    TempFile small = pictureBmp(10, 10);
    ReportSink::Capture capture;
    mSpriteGroup group;
    std::string text = fileLine(small) +
                       "RECT -5,-5,20,20\nRECT 12,0,20,10\nRECT -20,-20,-10,-10\n"
                       "RECT 5,5,5,9\nRECT 2,3,6,5\nEND\n";
    ASSERT_EQ(loadText(group, text), 1);
    ASSERT_EQ(group.frameCount, 2);
    EXPECT_EQ(framePixels(group, 0), pictureArea({0, 0, 10, 10}));
    EXPECT_EQ(framePixels(group, 1), pictureArea({2, 3, 6, 5}));
    EXPECT_EQ(textsOf(capture), Texts(3, "Bad rectangle"));
}

TEST(SpriteDefinitions, CuttingBeforeAnyUsableFileStopsTheFile) {
    TempFile small = pictureBmp(10, 10);
    for (const char* keyword : {"RECT 0,0,10,10", "TILE 5,5", "SOURCEFRAME 1"}) {
        SCOPED_TRACE(keyword);
        ReportSink::Capture capture;
        mSpriteGroup group;
        // The FILE after the failing line is never read.
        EXPECT_EQ(loadText(group, std::string(keyword) + "\n" + fileLine(small) + "END\n"), 0);
        EXPECT_EQ(group.frameCount, 0);
        std::string name(keyword);
        EXPECT_EQ(textsOf(capture), Texts{"File type error:" + name.substr(0, name.find(' '))});
    }

    // A FILE that yields no source leaves the next cutting line without one; frames added
    // before stay.
    ReportSink::Capture capture;
    mSpriteGroup group;
    std::string missing = testing_support::uniqueTempPath(".bmp");
    std::string text = fileLine(small) + "RECT 0,0,4,4\nFILE notes.txt\nRECT 0,0,4,4\n" + "FILE " +
                       missing + "\nRECT 0,0,4,4\n";
    EXPECT_EQ(loadText(group, text), 0);
    EXPECT_EQ(group.frameCount, 1);
    Texts texts = textsOf(capture);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "File type error:TXT");
    EXPECT_EQ(texts[1], "File type error:RECT");
}

TEST(SpriteDefinitions, LowerCaseCommentsAndScriptLinesMixed) {
    TempFile small = pictureBmp(10, 10);
    ReportSink::Capture capture;
    mSpriteGroup group;
    std::string text = "// a walker\nfile " + std::string(small.path()) +
                       "\nDELAY 5\nframe 2\nrect 1,1,9,9\n// rect 0,0,2,2\nOrigin=2,3\n"
                       "rect 0,0,8,8\nend\nRECT 0,0,3,3\n";
    ASSERT_EQ(loadText(group, text), 1);
    ASSERT_EQ(group.frameCount, 2);
    EXPECT_EQ(framePixels(group, 0), pictureArea({1, 1, 9, 9}));
    EXPECT_EQ(framePixels(group, 1), pictureArea({0, 0, 8, 8}));
    EXPECT_EQ(group.originX, 2);
    EXPECT_EQ(group.originY, 3);
    EXPECT_EQ(textsOf(capture), Texts{});
}

// Tile sizes carry from line to line; a size never given is 0. Sizes of 0 or less make no
// tiles and report, and reading goes on.
TEST(SpriteDefinitions, TilesWithoutAreaAreReportedAndSizesCarryOver) {
    TempFile small = pictureBmp(10, 10);
    ReportSink::Capture capture;
    mSpriteGroup group;
    std::string text = fileLine(small) + "TILE 8\nTILE 0,8\nTILE -4,4\nTILE 5,5\nTILE 6\nEND\n";
    ASSERT_EQ(loadText(group, text), 1);
    // 4 tiles of 5 by 5, then 2 of 6 by 5 (one column, two rows).
    ASSERT_EQ(group.frameCount, 6);
    EXPECT_EQ(framePixels(group, 3), pictureArea({5, 5, 10, 10}));
    EXPECT_EQ(framePixels(group, 5), pictureArea({0, 5, 6, 10}));
    EXPECT_EQ(textsOf(capture), Texts(3, "Bad rectangle"));
}

TEST(SpriteDefinitions, HugeNumbersSaturateWithoutOverflow) {
    TempFile small = pictureBmp(10, 10);
    ReportSink::Capture capture;
    mSpriteGroup group;
    std::string text = fileLine(small) +
                       "TILE 2147483647,2147483647\nTILE 99999999999999999999,1\n"
                       "TILE 1,2147483647\nTILE 2147483647,1\n"
                       "ORIGIN 99999999999,-99999999999\nTIME 99999999999\n"
                       "RECT -99999999999,-9999999999,99999999999,9999999999\nEND\n";
    ASSERT_EQ(loadText(group, text), 1);
    ASSERT_EQ(group.frameCount, 1);
    EXPECT_EQ(group.frameWidth, 10);
    EXPECT_EQ(group.originX, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(group.originY, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(static_cast<uint32_t>(group.frameTime), std::numeric_limits<uint32_t>::max());
    EXPECT_EQ(textsOf(capture), Texts{});

    mSpriteGroup wrapped;
    ASSERT_EQ(loadText(wrapped, fileLine(small) + "TIME -5\nRECT 0,0,2,2\nEND"), 1);
    EXPECT_EQ(static_cast<uint32_t>(wrapped.frameTime), 0u - 5u);
}

TEST(SpriteDefinitions, GarbageAndLongFilesOnlyReport) {
    std::mt19937 random(16);
    std::string garbage;
    for (int32_t k = 0; k < 20000; ++k)
        garbage.push_back(static_cast<char>(random() % 256));
    {
        ReportSink::Capture capture;
        mSpriteGroup group;
        EXPECT_EQ(loadText(group, garbage), 1);
        EXPECT_EQ(group.frameCount, 0);
        EXPECT_EQ(capture.count(), 0u);
    }

    TempFile small = pictureBmp(10, 10);
    std::string lines = fileLine(small);
    for (int32_t k = 0; k < 10000; ++k)
        lines += k % 2 ? "RECT 0,0,2,2\n" : "RECT 40,40,50,50 nonsense , = ,,\n";
    ReportSink::Capture capture;
    mSpriteGroup group;
    EXPECT_EQ(loadText(group, lines), 1);
    EXPECT_EQ(group.frameCount, 5000);
    EXPECT_EQ(capture.count(), 5000u);
    EXPECT_EQ(textsOf(capture).front(), "Bad rectangle");
}

TEST(SpriteDefinitions, AFileNamingItselfIsReportedNotRead) {
    const std::string path = testing_support::uniqueTempPath(".lod");
    std::ofstream(path) << "FILE " << path << "\nRECT 0,0,1,1\nEND\n";
    ReportSink::Capture capture;
    mSpriteGroup group(path.c_str());
    std::filesystem::remove(path);
    EXPECT_EQ(group.frameCount, 0);
    EXPECT_EQ(textsOf(capture), (Texts{"File type error:LOD", "File type error:RECT"}));
}

TEST(SpriteDefinitions, NotOpenFileReadsNothing) {
    mFile closed;
    mSpriteGroup group;
    EXPECT_EQ(group.loadDefinitions(closed), 0);
    EXPECT_EQ(group.frameCount, 0);
}

}  // namespace
