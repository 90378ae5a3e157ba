// An image sprite over an AVI clip on a stage, stepped on the virtual clock, the way a FLIC is
// shown: what reaches the window must be the frames the player dumps, with the first frame's
// top-left colour transparent.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/media/mImageAVI.h"
#include "engine/platform/Window.h"
#include "engine/sprite/mSpriteImage.h"
#include "tests/stage/StageTestSupport.h"
#include "tests/support/PngRead.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFile.h"
#include "tools/avigen/AviWriter.h"

using platform::Clock;
using testing_support::TempFile;

namespace {

constexpr int width = 24;
constexpr int height = 16;
constexpr int frames = 8;
constexpr uint32_t frameTime = 40;
constexpr uint8_t key = 0;  // the top-left pixel of the first frame
constexpr int32_t spriteX = 10;
constexpr int32_t spriteY = 7;

// 256 different colours, so that every colour has exactly one entry.
flicgen::Palette clipPalette() {
    flicgen::Palette palette{};
    for (int i = 0; i < 256; ++i) {
        palette[static_cast<std::size_t>(i)] = {
            static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 37)};
    }
    return palette;
}

// A picture with a frame of key-colour pixels; each later frame paints one more 3 x 2 block,
// as run-length delta frames with a key frame every fourth.
std::vector<uint8_t> clip() {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool border = x == 0 || y == 0 || x == width - 1 || y == height - 1 || x == y;
            pixels[static_cast<std::size_t>(y * width + x)] =
                border ? key : static_cast<uint8_t>(1 + (x + 3 * y) % 150);
        }
    }
    avigen::ClipOptions options;
    options.microsecondsPerFrame = frameTime * 1000;
    avigen::AviWriter writer(width, height, options);
    avigen::VideoStream video;
    video.codec = avigen::Codec::Rle8;
    video.keyInterval = 4;
    int stream = writer.addVideoStream(video);
    for (int k = 0; k < frames; ++k) {
        int left = 2 + (5 * k) % 18;
        int top = 2 + (3 * k) % 11;
        for (int y = top; y < top + 2; ++y) {
            for (int x = left; x < left + 3; ++x)
                pixels[static_cast<std::size_t>(y * width + x)] = static_cast<uint8_t>(200 + k);
        }
        writer.addFrame(stream, pixels, clipPalette());
    }
    return writer.build();
}

class SpriteImageAvi : public stagetest::StageTest {};

TEST_F(SpriteImageAvi, TheWindowShowsTheFramesThePlayerDumps) {
    std::vector<uint8_t> bytes = clip();
    TempFile file(bytes, ".avi");
    std::filesystem::path folder = testing_support::uniqueTempPath("-dump");
    auto dumped = testing_support::runCommand(
        testing_support::builtProgram("tools/lumivale-play/lumivale-play") + " --dump " +
        folder.string() + " " + file.path());
    ASSERT_EQ(dumped.status, 0) << dumped.output;

    platform::Window window{64, 48};
    mDirector stage(window, 50);
    mSpriteImage sprite;
    auto avi = std::make_unique<mImageAVI>();
    ASSERT_EQ(avi->open(file.path(), 0), 1);
    avi->setTransparent(1);
    sprite.setImage(avi.release());
    sprite.setPosition(spriteX, spriteY, 1);
    stage.add(sprite);
    stage.step();
    EXPECT_EQ(sprite.interval, frameTime);
    EXPECT_EQ(sprite.image->transparentColour, key);

    const platform::WindowSurface& shown = window.surface();
    uint32_t background = shown.pixel(0, 0);
    flicgen::Rgb keyColour = clipPalette()[key];
    for (int32_t step = 0; step <= frames; ++step) {
        int32_t frame = step % frames;
        ASSERT_EQ(sprite.frame, frame);
        char name[32];
        std::snprintf(name, sizeof name, "frame-%04d.png", frame);
        auto dumpedFrame = testing_support::readPng((folder / name).string());
        ASSERT_EQ(dumpedFrame.width, width) << name;
        int mismatches = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint8_t* rgb =
                    &dumpedFrame.rgb[static_cast<std::size_t>((y * width + x) * 3)];
                bool isKey =
                    rgb[0] == keyColour.r && rgb[1] == keyColour.g && rgb[2] == keyColour.b;
                uint32_t expected =
                    isKey ? background : uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
                if (shown.pixel(spriteX + x, spriteY + y) != expected) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << name;
        Clock::advance(frameTime);
        stage.step();
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
