// Clips from the clip writer, every codec and layout, read by the reader and by ffmpeg; and the
// reader's stream choice and seeks on clips made for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/platform/VideoCompression.h"
#include "engine/platform/VideoDecoders.h"
#include "tests/support/AviClip.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/TempFile.h"
#include "tools/avigen/AviWriter.h"
#include "tools/flicgen/Patterns.h"

using avigen::AviWriter;
using avigen::Codec;
using testing_support::AviClip;
using testing_support::TempFile;

namespace {

avigen::VideoStream video(Codec codec, int keyInterval = 0, std::string handler = {},
                          bool bottomUp = true) {
    avigen::VideoStream stream;
    stream.codec = codec;
    stream.keyInterval = keyInterval;
    stream.handler = std::move(handler);
    stream.bottomUp = bottomUp;
    return stream;
}

avigen::ClipOptions clipOptions(bool index, bool absoluteIndex, bool recordLists, bool junk) {
    avigen::ClipOptions options;
    options.index = index;
    options.absoluteIndex = absoluteIndex;
    options.recordLists = recordLists;
    options.junk = junk;
    return options;
}

struct Clip {
    std::vector<uint8_t> bytes;
    std::vector<std::vector<uint8_t>> rgb;  // what was written, through each frame's palette
};

std::vector<uint8_t> rgbOf(const flicgen::PatternFrame& frame) {
    std::vector<uint8_t> out;
    for (uint8_t pixel : frame.pixels) {
        const flicgen::Rgb& colour = frame.palette[pixel];
        out.insert(out.end(), {colour.r, colour.g, colour.b});
    }
    return out;
}

Clip write(const char* pattern, int width, int height, int frames, avigen::VideoStream video,
           avigen::ClipOptions options = {}, bool sound = false) {
    AviWriter writer(width, height, options);
    int stream = writer.addVideoStream(video);
    if (sound) {
        avigen::AudioStream audio;
        for (int k = 0; k < frames * 1102; ++k)
            audio.samples.push_back(static_cast<uint8_t>(k * 7));
        audio.chunksPerFrame = 2;
        writer.addAudioStream(audio);
    }
    Clip clip;
    for (int k = 0; k < frames; ++k) {
        flicgen::PatternFrame frame;
        flicgen::findPattern(pattern)->render(width, height, k, frames, frame);
        writer.addFrame(stream, frame.pixels, frame.palette);
        clip.rgb.push_back(rgbOf(frame));
    }
    clip.bytes = writer.build();
    return clip;
}

struct Layout {
    const char* name;
    const char* pattern;
    int width;
    int height;
    avigen::VideoStream video;
    avigen::ClipOptions options;
    bool sound = false;
    bool lossless = true;
};

std::vector<Layout> layouts() {
    const avigen::ClipOptions plain;
    return {
        {"rle_shapes", "shapes", 48, 32, video(Codec::Rle8, 5), plain},
        {"rle_odd_noise", "noise", 33, 17, video(Codec::Rle8),
         clipOptions(false, false, false, false)},
        {"rle_palette", "cycle", 40, 24, video(Codec::Rle8, 4), plain},
        {"rle_records_junk_sound", "spin", 64, 48, video(Codec::Rle8, 3),
         clipOptions(true, false, true, true), true},
        {"video1_shapes", "shapes", 48, 32, video(Codec::Video1, 6), plain, false, false},
        {"video1_palette", "cycle", 32, 32, video(Codec::Video1),
         clipOptions(true, false, false, true), true, false},
        {"raw_bottom_up", "gradient", 35, 21, video(Codec::Raw), plain},
        {"raw_top_down", "spin", 20, 12, video(Codec::Raw, 0, {}, false),
         clipOptions(true, true, false, false), true},
    };
}

TEST(AviWriter, EveryCodecAndLayoutReadsAsFfmpegReadsIt) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    for (const Layout& layout : layouts()) {
        SCOPED_TRACE(layout.name);
        Clip clip = write(layout.pattern, layout.width, layout.height, 12, layout.video,
                          layout.options, layout.sound);
        TempFile file(clip.bytes, ".avi");
        std::string failure;
        auto theirs = testing_support::ffmpegDecode(file.path(), {}, &failure);
        ASSERT_TRUE(theirs) << failure;
        EXPECT_EQ(theirs->messages, "");
        auto ours = testing_support::decodeClip(file.path());
        ASSERT_TRUE(ours);
        ASSERT_EQ(ours->size(), theirs->frames.size());
        for (std::size_t k = 0; k < ours->size(); ++k) {
            EXPECT_TRUE((*ours)[k] == theirs->frames[k]) << "frame " << k;
            if (layout.lossless) {
                EXPECT_TRUE((*ours)[k] == clip.rgb[k]) << "frame " << k;
            }
        }
    }
}

// Counts the frames decoded, for clips whose handler is "CNTR" (uncompressed 8-bit frames).
int decoded = 0;

Clip countedClip(int frames, int keyInterval, bool index) {
    static const bool registered = [] {
        platform::VideoCompression::registerCodec(
            mFile::fourCC("CNTR"),
            {[](const platform::VideoFormat& format) { return format.bitCount == 8; },
             [](std::span<const uint8_t> chunk, const platform::VideoFormat& format,
                const platform::FrameTarget& target) {
                 ++decoded;
                 platform::decodeDib8(chunk, format, target);
             }});
        return true;
    }();
    EXPECT_TRUE(registered);
    return write("spin", 16, 8, frames, video(Codec::Raw, keyInterval, "CNTR"),
                 clipOptions(index, false, false, false));
}

TEST(AviWriter, LongSeeksRestartAtTheLastKeyFrameOfTheIndex) {
    Clip clip = countedClip(50, 15, true);
    TempFile file(clip.bytes, ".avi");
    AviClip reader(file.path());
    ASSERT_TRUE(reader.isOpen());
    ASSERT_EQ(reader.read(), 0);
    decoded = 0;
    EXPECT_EQ(reader.avi.seekFrame(40, 0), 40);
    // Frames 30 to 39 on the way, without copying.
    EXPECT_EQ(decoded, 10);
    EXPECT_EQ(reader.read(), 40);
    EXPECT_EQ(decoded, 11);
    EXPECT_TRUE(reader.rgb() == clip.rgb[40]);
    // Behind the decoded frame no key frame helps: decoding goes on from frame 41.
    decoded = 0;
    EXPECT_EQ(reader.avi.seekFrame(44, 0), 44);
    EXPECT_EQ(decoded, 3);
    EXPECT_EQ(reader.read(), 44);
    EXPECT_TRUE(reader.rgb() == clip.rgb[44]);
}

TEST(AviWriter, BackwardSeeksWithoutIndexDecodeFromTheFirstFrame) {
    Clip clip = countedClip(8, 0, false);
    TempFile file(clip.bytes, ".avi");
    AviClip reader(file.path());
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.avi.indexOffset, 0u);
    reader.avi.seekFrame(6, 0);
    ASSERT_EQ(reader.read(), 6);
    // Nothing of frames 0 to 2 may reach the destination.
    reader.target.fillRects(0xAB, nullptr, 0);
    Rect all{0, 0, 16, 8};
    reader.target.fillRects(0xAB, &all, 1);
    decoded = 0;
    EXPECT_EQ(reader.avi.seekFrame(3, 0), 3);
    EXPECT_EQ(decoded, 3);
    EXPECT_EQ(*reader.target.info->topRow, 0xAB);
    EXPECT_EQ(reader.read(), 3);
    EXPECT_TRUE(reader.rgb() == clip.rgb[3]);
}

TEST(AviWriter, StreamChoiceHandlerNamesAndIndexOffsets) {
    // Two video streams of priority 0 that differ: the second is shown.
    AviWriter writer(24, 16);
    int first = writer.addVideoStream(video(Codec::Rle8));
    int second = writer.addVideoStream(video(Codec::Rle8, 0, "RLE "));
    std::vector<std::vector<uint8_t>> expected;
    for (int k = 0; k < 4; ++k) {
        flicgen::PatternFrame a;
        flicgen::PatternFrame b;
        flicgen::findPattern("noise")->render(24, 16, k, 4, a);
        flicgen::findPattern("shapes")->render(24, 16, k, 4, b);
        writer.addFrame(first, a.pixels, a.palette);
        writer.addFrame(second, b.pixels, b.palette);
        expected.push_back(rgbOf(b));
    }
    TempFile file(writer.build(), ".avi");
    auto ours = testing_support::decodeClip(file.path());
    ASSERT_TRUE(ours);
    EXPECT_TRUE(*ours == expected);
    AviClip reader(file.path());
    EXPECT_EQ(reader.avi.videoStream, 1);
    // "RLE " opened the run-length decoder.
    EXPECT_NE(reader.avi.decompressor, 0u);
    ASSERT_EQ(reader.avi.streams.size(), 2u);
    EXPECT_EQ(reader.avi.streams[1].handler, mFile::fourCC("RLE "));
}

TEST(AviWriter, IndexesOfFileOffsetsAreRecognised) {
    Clip clip =
        write("spin", 16, 8, 40, video(Codec::Rle8, 10), clipOptions(true, true, false, false));
    TempFile file(clip.bytes, ".avi");
    AviClip reader(file.path());
    ASSERT_TRUE(reader.isOpen());
    ASSERT_EQ(reader.read(), 0);
    EXPECT_EQ(reader.avi.seekFrame(35, 0), 35);
    EXPECT_EQ(reader.read(), 35);
    EXPECT_TRUE(reader.rgb() == clip.rgb[35]);
}

TEST(AviWriter, PaletteChangesAreUndoneBySeeksBack) {
    Clip clip = write("cycle", 16, 8, 30, video(Codec::Rle8, 7));
    TempFile file(clip.bytes, ".avi");
    AviClip reader(file.path());
    ASSERT_TRUE(reader.isOpen());
    for (int32_t target : {25, 3, 20, 0, 29, 14}) {
        SCOPED_TRACE(target);
        reader.avi.seekFrame(target, 0);
        ASSERT_EQ(reader.read(), target);
        EXPECT_TRUE(reader.rgb() == clip.rgb[static_cast<std::size_t>(target)]);
    }
}

TEST(AviWriter, EmptyChunksRepeatThePictureBefore) {
    // Without an index, whose entries could look like empty chunks.
    AviWriter writer(16, 8, clipOptions(false, false, false, false));
    avigen::VideoStream stream = video(Codec::Rle8, 0);
    stream.emptyRepeats = true;
    int number = writer.addVideoStream(stream);
    std::vector<std::vector<uint8_t>> expected;
    for (int k = 0; k < 6; ++k) {
        flicgen::PatternFrame frame;
        // Frames 1, 2, 4 and 5 repeat the one before.
        flicgen::findPattern("shapes")->render(16, 8, k < 3 ? 0 : 3, 6, frame);
        writer.addFrame(number, frame.pixels, frame.palette);
        expected.push_back(rgbOf(frame));
    }
    std::vector<uint8_t> bytes = writer.build();
    const std::vector<uint8_t> empty{'0', '0', 'd', 'c', 0, 0, 0, 0};
    int emptyChunks = 0;
    for (auto at = bytes.begin();
         (at = std::search(at, bytes.end(), empty.begin(), empty.end())) != bytes.end(); ++at)
        ++emptyChunks;
    EXPECT_EQ(emptyChunks, 4);
    TempFile file(bytes, ".avi");
    AviClip reader(file.path());
    ASSERT_TRUE(reader.isOpen());
    reader.avi.setAutoAdvance(1);
    for (int32_t k = 0; k < 6; ++k) {
        ASSERT_EQ(reader.read(), k);
        EXPECT_TRUE(reader.rgb() == expected[static_cast<std::size_t>(k)]) << "frame " << k;
    }
}

TEST(AviWriter, AnIndexShorterThanTheClipLeavesDecodingWhereItWas) {
    Clip clip = write("spin", 16, 8, 30, video(Codec::Rle8, 5));
    // The index keeps its first 8 entries, so it ends long before frame 25.
    std::vector<uint8_t>& bytes = clip.bytes;
    const std::string tag = "idx1";
    auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end()) - bytes.begin();
    ASSERT_LT(static_cast<std::size_t>(at), bytes.size());
    const uint32_t entries = 8 * 16;
    for (int b = 0; b < 4; ++b)
        bytes[static_cast<std::size_t>(at + 4 + b)] = static_cast<uint8_t>(entries >> (8 * b));
    TempFile file(bytes, ".avi");
    AviClip reader(file.path());
    ASSERT_TRUE(reader.isOpen());
    ASSERT_EQ(reader.read(), 0);
    EXPECT_EQ(reader.avi.seekFrame(25, 0), 25);
    EXPECT_EQ(reader.read(), 25);
    EXPECT_TRUE(reader.rgb() == clip.rgb[25]);
    // Going back rewinds to the first frame, index or not.
    EXPECT_EQ(reader.avi.seekFrame(1, 0), 1);
    EXPECT_EQ(reader.read(), 1);
    EXPECT_TRUE(reader.rgb() == clip.rgb[1]);
}

}  // namespace
