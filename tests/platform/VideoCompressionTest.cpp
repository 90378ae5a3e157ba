#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/platform/VideoCompression.h"

using platform::FrameTarget;
using platform::VideoCompression;

namespace {

uint32_t code(const char (&text)[5]) {
    return littleEndian::load32(reinterpret_cast<const uint8_t*>(text));
}

// A BITMAPINFO record of a 4x2 picture with `colours` palette entries (entry k: k, 2k, 3k).
std::vector<uint8_t> formatRecord(uint16_t bitCount, uint32_t compression, uint32_t colours) {
    std::vector<uint8_t> record(40 + colours * 4);
    littleEndian::store32(&record[0], 40);
    littleEndian::store32(&record[4], 4);
    littleEndian::store32(&record[8], 2);
    littleEndian::store16(&record[12], 1);
    littleEndian::store16(&record[14], bitCount);
    littleEndian::store32(&record[16], compression);
    littleEndian::store32(&record[32], colours);
    for (uint32_t k = 0; k < colours; ++k) {
        record[40 + k * 4] = static_cast<uint8_t>(k);
        record[41 + k * 4] = static_cast<uint8_t>(2 * k);
        record[42 + k * 4] = static_cast<uint8_t>(3 * k);
    }
    return record;
}

struct Frame {
    std::array<uint8_t, 8> pixels{};
    FrameTarget target() { return {pixels.data(), 4, 4, 2}; }
};

TEST(VideoCompression, HandlersMatchWhateverTheirCase) {
    for (uint32_t handler : {code("mrle"), code("MRLE"), code("cram"), code("MSVC"), code("msvc"),
                             code("DIB "), uint32_t{0}}) {
        uint32_t handle = VideoCompression::open(VideoCompression::typeVideo, handler,
                                                 VideoCompression::modeFastDecompress);
        EXPECT_NE(handle, 0u) << handler;
        EXPECT_EQ(VideoCompression::close(handle), VideoCompression::ok);
        EXPECT_EQ(VideoCompression::close(handle), VideoCompression::errBadHandle);
    }
    EXPECT_EQ(VideoCompression::open(VideoCompression::typeVideo, code("RLE "), 3), 0u);
    EXPECT_EQ(VideoCompression::open(VideoCompression::typeVideo, code("cvid"), 3), 0u);
    EXPECT_EQ(VideoCompression::open(code("vidx"), code("MRLE"), 3), 0u);
}

TEST(VideoCompression, BeginRefusesFormatsTheDecoderDoesNotTake) {
    Frame frame;
    FrameTarget target = frame.target();
    uint32_t video1 = VideoCompression::open(VideoCompression::typeVideo, code("MSVC"), 3);
    auto begin = [&](uint32_t handle, const std::vector<uint8_t>& record) {
        return VideoCompression::sendMessage(handle, VideoCompression::decompressBegin, record,
                                             &target, nullptr);
    };
    EXPECT_EQ(begin(video1, formatRecord(16, code("MSVC"), 0)), VideoCompression::errBadFormat);
    EXPECT_EQ(VideoCompression::decompress(video1, 0, std::vector<uint8_t>{5, 0x80}, target),
              VideoCompression::errBadFormat);
    EXPECT_EQ(begin(video1, formatRecord(8, code("CRAM"), 0)), VideoCompression::ok);
    VideoCompression::close(video1);

    uint32_t rle = VideoCompression::open(VideoCompression::typeVideo, code("MRLE"), 3);
    EXPECT_EQ(begin(rle, formatRecord(8, 0, 0)), VideoCompression::errBadFormat);
    // A record cut inside its header.
    EXPECT_EQ(begin(rle, std::vector<uint8_t>(39, 0)), VideoCompression::errBadFormat);
    ASSERT_EQ(begin(rle, formatRecord(8, 1, 0)), VideoCompression::ok);
    EXPECT_EQ(VideoCompression::decompress(rle, 0, std::vector<uint8_t>{4, 9, 0, 0, 2, 3}, target),
              VideoCompression::ok);
    EXPECT_EQ(frame.pixels, (std::array<uint8_t, 8>{3, 3, 0, 0, 9, 9, 9, 9}));
    EXPECT_EQ(
        VideoCompression::sendMessage(rle, VideoCompression::decompressEnd, {}, nullptr, nullptr),
        VideoCompression::ok);
    EXPECT_EQ(VideoCompression::decompress(rle, 0, std::vector<uint8_t>{4, 1}, target),
              VideoCompression::errBadFormat);
    VideoCompression::close(rle);
}

TEST(VideoCompression, PaletteComesFromTheFormatAndTheRestIsCleared) {
    uint32_t handle = VideoCompression::open(VideoCompression::typeVideo, 0, 3);
    std::array<RgbQuad, 256> colours;
    colours.fill(RgbQuad{1, 1, 1, 1});
    ASSERT_EQ(VideoCompression::sendMessage(handle, VideoCompression::decompressGetPalette,
                                            formatRecord(8, 0, 3), nullptr, colours.data()),
              VideoCompression::ok);
    EXPECT_EQ(colours[2], (RgbQuad{2, 4, 6, 0}));
    EXPECT_EQ(colours[3], RgbQuad{});
    EXPECT_EQ(colours[255], RgbQuad{});
    // A used-colour count of 0 means all 256, as many as the record holds.
    ASSERT_EQ(VideoCompression::sendMessage(handle, VideoCompression::decompressGetPalette,
                                            formatRecord(8, 0, 256), nullptr, colours.data()),
              VideoCompression::ok);
    EXPECT_EQ(colours[255], (RgbQuad{255, 254, 253, 0}));
    VideoCompression::close(handle);
}

TEST(VideoCompression, RegisteredCodecsReplaceByFoldedCode) {
    static int calls = 0;
    VideoCompression::registerCodec(code("tEsT"),
                                    {[](const platform::VideoFormat&) { return true; },
                                     [](std::span<const uint8_t>, const platform::VideoFormat&,
                                        const FrameTarget&) { ++calls; }});
    uint32_t handle = VideoCompression::open(VideoCompression::typeVideo, code("TEST"), 3);
    ASSERT_NE(handle, 0u);
    Frame frame;
    FrameTarget target = frame.target();
    ASSERT_EQ(VideoCompression::sendMessage(handle, VideoCompression::decompressBegin,
                                            formatRecord(24, 0, 0), &target, nullptr),
              VideoCompression::ok);
    VideoCompression::decompress(handle, 0, {}, target);
    EXPECT_EQ(calls, 1);
    VideoCompression::close(handle);
}

}  // namespace
