#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "engine/media/mImageFlic.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/FlicTestFile.h"

using platform::ReportSink;
using testing_support::pixelsOf;

namespace {

struct FlicFile {
    const char* name;
    int32_t frames;
    int32_t width;
    int32_t height;
    int32_t frameTime;
    std::vector<std::string> reports;  // expected while decoding the frames once
};

void PrintTo(const FlicFile& file, std::ostream* out) {
    *out << file.name;
}

std::string pathOf(const char* name) {
    return std::string(LUMIVALE_TESTDATA) + "/flic/" + name;
}

std::vector<std::string> textsOf(const ReportSink::Capture& capture) {
    std::vector<std::string> texts;
    for (const auto& run : capture.runs())
        texts.insert(texts.end(), run.count, run.report.text);
    return texts;
}

// One decoded frame: the picture and the colours.
struct Frame {
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> colours;
    friend bool operator==(const Frame&, const Frame&) = default;
};

Frame frameOf(const mImageFlic& flic, const mBitmap& target) {
    const auto* colours = reinterpret_cast<const uint8_t*>(flic.palette);
    return {pixelsOf(target), std::vector<uint8_t>(colours, colours + 1024)};
}

// Opens a file with the given buffer sizes and decodes every frame through seekFrame and
// readFrame into an 8-bit destination.
std::vector<Frame> decodeAll(mImageFlic& flic, const FlicFile& file, int32_t buffer, int32_t wrap) {
    flic.setBufferSizes(buffer, wrap);
    EXPECT_EQ(flic.open(pathOf(file.name).c_str(), 0), 1);
    EXPECT_EQ(flic.openImage(), 1);
    std::vector<Frame> frames;
    mBitmap target(flic.frameWidth, flic.frameHeight, 8);
    flic.attachBitmap(&target);
    for (int32_t frame = 0; frame < flic.frameCount; ++frame) {
        EXPECT_EQ(flic.seekFrame(frame, 0), frame);
        EXPECT_EQ(flic.readFrame(0, 0, nullptr), frame);
        frames.push_back(frameOf(flic, target));
    }
    flic.attachBitmap(nullptr);
    return frames;
}

class FlicFiles : public ::testing::TestWithParam<FlicFile> {};

TEST_P(FlicFiles, EveryFrameDecodesAndTheAnimationLoops) {
    const FlicFile& file = GetParam();
    ReportSink::Capture capture;
    mImageFlic flic;
    auto frames = decodeAll(flic, file, mFile::defaultBufferSize, mFile::defaultWrapSize);
    EXPECT_EQ(flic.frameCount, file.frames);
    EXPECT_EQ(flic.frameWidth, file.width);
    EXPECT_EQ(flic.frameHeight, file.height);
    EXPECT_EQ(flic.frameTime, file.frameTime);
    EXPECT_EQ(textsOf(capture), file.reports);
    capture.clear();

    // Back to the start, through the ring frame or by replaying, and round once more.
    mBitmap target(flic.frameWidth, flic.frameHeight, 8);
    flic.attachBitmap(&target);
    flic.setAutoAdvance(1);
    EXPECT_EQ(flic.seekFrame(0, 0), 0);
    for (int32_t frame = 0; frame < flic.frameCount; ++frame) {
        ASSERT_EQ(flic.readFrame(0, 0, nullptr), frame);
        EXPECT_EQ(frameOf(flic, target), frames[frame]) << "frame " << frame;
    }
    flic.attachBitmap(nullptr);
    for (const auto& text : textsOf(capture))
        EXPECT_EQ(text, "Not tested:LITERAL");
}

// Buffers far smaller than the frames and their rows: the decoders read in pieces.
TEST_P(FlicFiles, TinyBuffersDecodeTheSameFrames) {
    const FlicFile& file = GetParam();
    ReportSink::Capture capture;
    mImageFlic usual;
    mImageFlic tiny;
    auto expected = decodeAll(usual, file, mFile::defaultBufferSize, mFile::defaultWrapSize);
    auto frames = decodeAll(tiny, file, 12, 4);
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t frame = 0; frame < frames.size(); ++frame) {
        EXPECT_EQ(frames[frame], expected[frame]) << "frame " << frame;
    }
}

const std::vector<std::string> none;
const std::vector<std::string> literal{"Not tested:LITERAL"};

INSTANTIATE_TEST_SUITE_P(
    TestData, FlicFiles,
    ::testing::Values(FlicFile{"ANN2.FLI", 19, 320, 200, 71, none},
                      FlicFile{"a.fli", 384, 320, 200, 71, none},
                      FlicFile{"2422.flc", 27, 320, 200, 171, none},
                      FlicFile{"APWCOL.CEL", 1, 161, 193, 71, none},
                      FlicFile{"S-BULLET.CEL", 1, 8, 6, 71, literal},
                      FlicFile{"gimp_testsrc_320x200.fli", 9, 320, 200, 28, none},
                      FlicFile{"ase_gradient_320x200.flc", 12, 320, 200, 70, none},
                      FlicFile{"ase_noise_33x17.flc", 10, 33, 17, 100, none},
                      FlicFile{"ase_block_640x480.flc", 40, 640, 480, 50, none},
                      FlicFile{"ase_palchange_160x120.flc", 16, 160, 120, 80, none},
                      FlicFile{"ase_static_64x48.flc", 6, 64, 48, 100, none},
                      FlicFile{"ase_tiny_3x2.flc", 5, 3, 2, 200, none}),
    [](const auto& param) {
        std::string name = param.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

// The copy chunk states a size 2 bytes short of the 48 pixels that follow it; all 48 are the
// picture, and the ring frame after them is found.
TEST(FlicFileQuirks, CopyChunkLongerThanItsSize) {
    mImageFlic flic;
    ReportSink::Capture capture;
    ASSERT_EQ(flic.open(pathOf("S-BULLET.CEL").c_str(), 0), 1);
    ASSERT_EQ(flic.openImage(), 1);
    std::array<uint8_t, 48> pixels{};
    ASSERT_EQ(flic.seek(1254, 0), 1254);
    uint8_t chunk[6];
    ASSERT_EQ(flic.read(chunk, 6), 6);
    EXPECT_EQ(chunk[0], 52);
    EXPECT_EQ(chunk[4], 16);
    ASSERT_EQ(flic.read(pixels.data(), 48), 48);
    EXPECT_EQ(pixelsOf(*flic.frameBitmap), std::vector<uint8_t>(pixels.begin(), pixels.end()));
    EXPECT_EQ(flic.frameOffset2(), 1308);
}

TEST(FlicFileQuirks, IdenticalFramesChangeNothing) {
    mImageFlic flic;
    ReportSink::Capture capture;
    ASSERT_EQ(flic.open(pathOf("ase_static_64x48.flc").c_str(), 0), 1);
    ASSERT_EQ(flic.openImage(), 1);
    auto first = pixelsOf(*flic.frameBitmap);
    for (int32_t frame = 1; frame < flic.frameCount; ++frame) {
        ASSERT_EQ(flic.seekFrame(frame, 0), frame);
        EXPECT_TRUE(flic.changed.isEmpty());
        EXPECT_EQ(pixelsOf(*flic.frameBitmap), first);
    }
    EXPECT_EQ(capture.count(), 0u);
}

}  // namespace
