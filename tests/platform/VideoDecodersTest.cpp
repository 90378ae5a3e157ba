#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/platform/VideoDecoders.h"

using platform::FrameTarget;
using platform::VideoFormat;

namespace {

constexpr uint8_t guard = 0xEE;
constexpr uint8_t blank = 0x11;

// A picture with a frame of guard bytes around it, so that writes outside show.
class Picture {
  public:
    Picture(int32_t pictureWidth, int32_t pictureHeight)
        : width(pictureWidth),
          height(pictureHeight),
          pitch(pictureWidth + 2),
          bytes(static_cast<std::size_t>((pictureHeight + 2) * pitch), guard) {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                at(x, y) = blank;
    }
    FrameTarget target() { return {&bytes[pitch + 1], pitch, width, height}; }
    uint8_t& at(int32_t x, int32_t y) { return bytes[(y + 1) * pitch + x + 1]; }
    // Rows from the top, one string of pixel values per row.
    std::vector<std::vector<uint8_t>> rows() {
        std::vector<std::vector<uint8_t>> out;
        for (int32_t y = 0; y < height; ++y) {
            out.emplace_back();
            for (int32_t x = 0; x < width; ++x)
                out.back().push_back(at(x, y));
        }
        return out;
    }
    bool guardsIntact() {
        int32_t intact = 0;
        for (int32_t y = -1; y <= height; ++y)
            for (int32_t x = -1; x <= width; ++x)
                if (x < 0 || y < 0 || x >= width || y >= height) intact += at(x, y) == guard;
        return intact == 2 * (width + 2) + 2 * height;
    }

  private:
    int32_t width;
    int32_t height;
    int32_t pitch;
    std::vector<uint8_t> bytes;
};

VideoFormat formatOf(int32_t width, int32_t height, uint32_t compression) {
    VideoFormat format;
    format.width = width;
    format.height = height;
    format.bitCount = 8;
    format.compression = compression;
    return format;
}

using Rows = std::vector<std::vector<uint8_t>>;
constexpr uint8_t b = blank;

TEST(Rle8Decoder, RunsLiteralsAndLineEndsFillLinesFromTheBottom) {
    Picture picture(5, 3);
    // Bottom line: a run of 2 and a literal of 3 (odd: one pad byte). Next line: a run, then an
    // end of line. Top line: a literal of 4, then the end of the picture and bytes never read.
    std::vector<uint8_t> chunk{2, 7, 0, 3, 1, 2, 3, 0, 0, 0,  //
                               3, 9, 0, 0,                    //
                               0, 4, 4, 5, 6, 7, 0, 1, 5, 5};
    platform::decodeRle8(chunk, formatOf(5, 3, 1), picture.target());
    EXPECT_EQ(picture.rows(), (Rows{{4, 5, 6, 7, b}, {9, 9, 9, b, b}, {7, 7, 1, 2, 3}}));
    EXPECT_TRUE(picture.guardsIntact());
}

TEST(Rle8Decoder, DeltaFramesChangeOnlyWhatTheyEncode) {
    Picture picture(6, 4);
    // Skip 2 right and 1 up, a run of 2, the end of line, skip 3 right, one pixel.
    std::vector<uint8_t> chunk{0, 2, 2, 1, 2, 8, 0, 0, 0, 2, 3, 0, 1, 6, 0, 1};
    platform::decodeRle8(chunk, formatOf(6, 4, 1), picture.target());
    EXPECT_EQ(
        picture.rows(),
        (Rows{{b, b, b, b, b, b}, {b, b, b, 6, b, b}, {b, b, 8, 8, b, b}, {b, b, b, b, b, b}}));
}

TEST(Rle8Decoder, DataPastTheSidesIsDroppedNotWrapped) {
    Picture picture(3, 2);
    // A run of 5 on a line of 3, a literal past the end, and a skip past the top, which ends
    // the picture before the last run.
    std::vector<uint8_t> chunk{5, 1, 0, 0, 0, 4, 2, 3, 4, 5, 0, 2, 0, 5, 4, 4};
    platform::decodeRle8(chunk, formatOf(3, 2, 1), picture.target());
    EXPECT_EQ(picture.rows(), (Rows{{2, 3, 4}, {1, 1, 1}}));
    EXPECT_TRUE(picture.guardsIntact());
}

TEST(Video1Decoder, OneAndTwoColourBlocksFromTheBottomLeft) {
    Picture picture(8, 4);
    // The left block has two colours, flags 0x100F: bit k is pixel k % 4 of row k / 4 from the
    // bottom, and a set bit takes the first colour. So its bottom row and its top-left pixel
    // are 5, the rest 6. The right block is all 9.
    std::vector<uint8_t> chunk{0x0F, 0x10, 5, 6, 9, 0x80};
    platform::decodeVideo1(chunk, formatOf(8, 4, 0x4D415243), picture.target());
    EXPECT_EQ(picture.rows(), (Rows{{5, 6, 6, 6, 9, 9, 9, 9},
                                    {6, 6, 6, 6, 9, 9, 9, 9},
                                    {6, 6, 6, 6, 9, 9, 9, 9},
                                    {5, 5, 5, 5, 9, 9, 9, 9}}));
}

TEST(Video1Decoder, EightColourBlocksTakeAPairForEachQuarter) {
    Picture picture(4, 4);
    // Flags 0x9669: byte two is at least 0x90. The colour pairs in order: bottom left, bottom
    // right, top left, top right.
    std::vector<uint8_t> chunk{0x69, 0x96, 1, 2, 3, 4, 5, 6, 7, 8};
    platform::decodeVideo1(chunk, formatOf(4, 4, 0x4D415243), picture.target());
    // Bits from the bottom row: 1001, 0110, 0110, 1001 (pixel 0 first).
    EXPECT_EQ(picture.rows(), (Rows{{5, 6, 8, 7}, {6, 5, 7, 8}, {2, 1, 3, 4}, {1, 2, 4, 3}}));
}

TEST(Video1Decoder, SkipsKeepBlocksAndPartialBlocksAreCut) {
    Picture picture(6, 5);
    // 2 x 2 blocks. Skip 2 (0x84, count 2): the bottom row of blocks stays; then two blocks of
    // colour 3 and 4 at the top, cut to the picture.
    std::vector<uint8_t> chunk{2, 0x84, 3, 0x81, 4, 0x81};
    platform::decodeVideo1(chunk, formatOf(6, 5, 0x4D415243), picture.target());
    EXPECT_EQ(picture.rows(), (Rows{{3, 3, 3, 3, 4, 4},
                                    {b, b, b, b, b, b},
                                    {b, b, b, b, b, b},
                                    {b, b, b, b, b, b},
                                    {b, b, b, b, b, b}}));
    Picture first(6, 5);
    std::vector<uint8_t> whole{3, 0x81, 4, 0x81, 5, 0x81, 6, 0x81};
    platform::decodeVideo1(whole, formatOf(6, 5, 0x4D415243), first.target());
    EXPECT_EQ(first.rows(), (Rows{{5, 5, 5, 5, 6, 6},
                                  {3, 3, 3, 3, 4, 4},
                                  {3, 3, 3, 3, 4, 4},
                                  {3, 3, 3, 3, 4, 4},
                                  {3, 3, 3, 3, 4, 4}}));
    EXPECT_TRUE(first.guardsIntact());
}

TEST(Dib8Decoder, BottomUpAndTopDownRowsPaddedTo32Bits) {
    // 3 pixels a row, 4 bytes a row in the chunk.
    std::vector<uint8_t> chunk{1, 2, 3, 0, 4, 5, 6, 0};
    Picture bottomUp(3, 2);
    platform::decodeDib8(chunk, formatOf(3, 2, 0), bottomUp.target());
    EXPECT_EQ(bottomUp.rows(), (Rows{{4, 5, 6}, {1, 2, 3}}));
    Picture topDown(3, 2);
    platform::decodeDib8(chunk, formatOf(3, -2, 0), topDown.target());
    EXPECT_EQ(topDown.rows(), (Rows{{1, 2, 3}, {4, 5, 6}}));
    // A short chunk fills what it holds.
    Picture cut(3, 2);
    platform::decodeDib8(std::span(chunk).first(6), formatOf(3, -2, 0), cut.target());
    EXPECT_EQ(cut.rows(), (Rows{{1, 2, 3}, {4, 5, b}}));
}

TEST(VideoDecoders, AnyBytesStayInsideChunkAndPicture) {
    std::mt19937 random(7);
    using Decoder = void (*)(std::span<const uint8_t>, const VideoFormat&, const FrameTarget&);
    const Decoder decoders[] = {platform::decodeRle8, platform::decodeVideo1, platform::decodeDib8};
    for (int round = 0; round < 600; ++round) {
        const int32_t width = 1 + static_cast<int32_t>(random() % 13);
        const int32_t height = 1 + static_cast<int32_t>(random() % 9);
        // The format may claim another size than the picture has.
        const int32_t formatWidth = static_cast<int32_t>(random() % 17);
        const int32_t formatHeight = static_cast<int32_t>(random() % 21) - 10;
        // An exactly sized chunk, so that the sanitizers see any read past it.
        std::vector<uint8_t> chunk(random() % 120);
        for (uint8_t& byte : chunk)
            byte = static_cast<uint8_t>(random() % 4 == 0 ? random() % 4 : random());
        Picture picture(width, height);
        decoders[round % 3](chunk, formatOf(formatWidth, formatHeight, 1), picture.target());
        ASSERT_TRUE(picture.guardsIntact()) << "round " << round;
    }
}

}  // namespace
