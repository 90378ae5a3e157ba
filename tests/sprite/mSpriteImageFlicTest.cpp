// An image sprite over a FLIC animation on a stage, stepped on the virtual clock: what reaches
// the window must be the frames the reader decodes on its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/media/mImageFlic.h"
#include "engine/platform/Window.h"
#include "engine/sprite/mSpriteImage.h"
#include "tests/stage/StageTestSupport.h"
#include "tests/support/FlicTestFile.h"
#include "tests/support/PngRead.h"
#include "tests/support/RunCommand.h"
#include "tools/flicgen/FlicWriter.h"

using platform::Clock;
using stagetest::dirtyOf;
using testing_support::FlicTestFile;
using testing_support::pixelAt;
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
flicgen::Palette animationPalette() {
    flicgen::Palette palette{};
    for (int i = 0; i < 256; ++i) {
        palette[static_cast<std::size_t>(i)] = {
            static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 37)};
    }
    return palette;
}

// A picture with a frame of key-colour pixels and a key-colour diagonal; each later frame
// paints one more 3 × 2 block, so that a frame changes only a small area.
std::vector<uint8_t> animation() {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool border = x == 0 || y == 0 || x == width - 1 || y == height - 1 || x == y;
            pixels[static_cast<std::size_t>(y * width + x)] =
                border ? key : static_cast<uint8_t>(1 + (x + 3 * y) % 150);
        }
    }
    flicgen::FlicWriter writer(width, height, flicgen::FlicFormat::Flc, frameTime);
    flicgen::Palette palette = animationPalette();
    writer.addFrame(pixels, palette);
    for (int k = 1; k < frames; ++k) {
        int left = 2 + (5 * k) % 18;
        int top = 2 + (3 * k) % 11;
        for (int y = top; y < top + 2; ++y) {
            for (int x = left; x < left + 3; ++x)
                pixels[static_cast<std::size_t>(y * width + x)] = static_cast<uint8_t>(200 + k);
        }
        writer.addFrame(pixels, palette);
    }
    return writer.build();
}

uint32_t rgbOf(const RgbQuad& colour) {
    return uint32_t{colour.red} << 16 | uint32_t{colour.green} << 8 | colour.blue;
}

// A rectangle of the picture as the stage marks it: at the sprite, widened to multiples of 4.
Rect markedOnStage(const Rect& rect) {
    return {(rect.left + spriteX) & ~3, rect.top + spriteY, (rect.right + spriteX + 3) & ~3,
            rect.bottom + spriteY};
}

int64_t areaOf(const std::vector<Rect>& rects) {
    int64_t area = 0;
    for (const Rect& rect : rects)
        area += int64_t{rect.width()} * rect.height();
    return area;
}

class SpriteImageFlic : public stagetest::StageTest {
  protected:
    void SetUp() override {
        StageTest::SetUp();
        ASSERT_EQ(reference.flic.openImage(), 1);
        ASSERT_EQ(picture.createMemory(width, height, 8), 1);
        reference.flic.attachBitmap(&picture);
    }

    // The frame as the reader shows it alone: its pixels and its colours.
    void decodeAlone(int32_t frame) {
        reference.flic.seekFrame(frame, 0);
        reference.flic.readFrame(0, 0, nullptr);
    }

    // Puts the sprite, over its own reader of the animation with the key colour transparent,
    // on the stage and shows the first frame.
    bool showAnimation(mDirector& stage, mSpriteImage& sprite, int32_t remap) {
        auto flic = std::make_unique<mImageFlic>();
        if (flic->open(file.path(), 0) != 1) return false;
        flic->setRemap(remap);
        flic->setTransparent(1);
        sprite.setImage(flic.release());
        sprite.setPosition(spriteX, spriteY, 1);
        stage.add(sprite);
        stage.step();
        return true;
    }

    // Every pixel of the sprite's area and a ring of pixels around it, as the window shows
    // them: the picture in its own colours, the background where the key colour is.
    void expectWindowShowsFrame(int32_t frame) {
        const platform::WindowSurface& shown = window.surface();
        uint32_t background = shown.pixel(0, 0);
        int mismatches = 0;
        for (int y = -1; y <= height; ++y) {
            for (int x = -1; x <= width; ++x) {
                uint32_t expected = background;
                if (x >= 0 && y >= 0 && x < width && y < height) {
                    uint8_t index = pixelAt(picture, x, y);
                    if (index != key) expected = rgbOf(reference.flic.palette[index]);
                }
                if (shown.pixel(spriteX + x, spriteY + y) != expected) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << "frame " << frame;
    }

    std::vector<uint8_t> bytes = animation();
    TempFile file{bytes, ".flc"};
    mBitmap picture;  // outlives the reader that holds a use of it
    FlicTestFile reference{bytes};
    platform::Window window{64, 48};
};

TEST_F(SpriteImageFlic, TheWindowShowsEachFrameInTurnAndLoops) {
    mDirector stage(window, 50);
    mSpriteImage sprite;
    ASSERT_TRUE(showAnimation(stage, sprite, 0));
    EXPECT_EQ(sprite.interval, frameTime);

    for (int32_t step = 0; step <= frames + 2; ++step) {
        int32_t frame = step % frames;
        ASSERT_EQ(sprite.frame, frame);
        decodeAlone(frame);
        expectWindowShowsFrame(frame);
        // The stage took the animation's colours.
        EXPECT_EQ(stage.info->colorTable[201], reference.flic.palette[201]);
        Clock::advance(frameTime);
        stage.step();
    }
}

TEST_F(SpriteImageFlic, TheWindowShowsTheFramesThePlayerDumps) {
    std::filesystem::path folder = testing_support::uniqueTempPath("-dump");
    auto dumped = testing_support::runCommand(
        testing_support::builtProgram("tools/lumivale-play/lumivale-play") + " --dump " +
        folder.string() + " " + file.path());
    ASSERT_EQ(dumped.status, 0) << dumped.output;

    mDirector stage(window, 50);
    mSpriteImage sprite;
    ASSERT_TRUE(showAnimation(stage, sprite, 0));
    const platform::WindowSurface& shown = window.surface();
    uint32_t background = shown.pixel(0, 0);
    flicgen::Rgb keyColour = animationPalette()[key];  // every colour of the palette is distinct
    for (int32_t step = 0; step <= frames; ++step) {
        int32_t frame = step % frames;
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

TEST_F(SpriteImageFlic, RemappingTranslatesToTheStagePalette) {
    mDirector stage(window, 50);
    // The same colours in reverse order: every colour has its entry, at another index.
    flicgen::Palette colours = animationPalette();
    std::vector<RgbQuad> reversed(256);
    for (std::size_t i = 0; i < 256; ++i) {
        const flicgen::Rgb& c = colours[255 - i];
        reversed[i] = RgbQuad{c.b, c.g, c.r, 0};
    }
    stage.setPalette(reversed.data(), 0, 256);

    mSpriteImage sprite;
    ASSERT_TRUE(showAnimation(stage, sprite, 1));
    EXPECT_EQ(stage.info->colorTable[0], reversed[0]);  // the stage keeps its own palette

    for (int32_t step = 0; step <= frames; ++step) {
        int32_t frame = step % frames;
        ASSERT_EQ(sprite.frame, frame);
        decodeAlone(frame);
        expectWindowShowsFrame(frame);
        // The back buffer holds the stage's indexes for the picture's colours.
        uint8_t index = pixelAt(picture, 5, 3);
        ASSERT_NE(index, key);
        EXPECT_EQ(pixelAt(stage, spriteX + 5, spriteY + 3), 255 - index);
        Clock::advance(frameTime);
        stage.step();
    }
}

TEST_F(SpriteImageFlic, AStandingSpriteRepaintsOnlyWhatEachFrameChanged) {
    mDirector stage(window, 50);
    mSpriteImage sprite;
    ASSERT_TRUE(showAnimation(stage, sprite, 0));
    decodeAlone(0);
    std::vector<uint8_t> before = testing_support::pixelsOf(picture);

    for (int32_t step = 1; step <= frames; ++step) {
        int32_t frame = step % frames;
        Clock::advance(frameTime);
        stage.tickAll();
        ASSERT_EQ(sprite.frame, frame);
        decodeAlone(frame);
        Rect changed = reference.flic.changed;
        std::vector<Rect> dirty = dirtyOf(stage);
        Rect expected = markedOnStage(changed);
        EXPECT_EQ(dirty, (std::vector<Rect>{expected})) << "frame " << frame;
        EXPECT_LT(areaOf(dirty), int64_t{width} * height) << "frame " << frame;

        // Every pixel that differs from the frame before lies in the marked area.
        std::vector<uint8_t> after = testing_support::pixelsOf(picture);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                auto at = static_cast<std::size_t>(y * width + x);
                if (before[at] == after[at]) continue;
                EXPECT_TRUE(x >= changed.left && x < changed.right && y >= changed.top &&
                            y < changed.bottom)
                    << "frame " << frame << " pixel " << x << "," << y;
            }
        }
        before = after;

        uint64_t writtenBefore = window.surface().pixelsWritten();
        stage.collide();
        stage.compose();
        stage.flush();
        EXPECT_EQ(window.surface().pixelsWritten() - writtenBefore,
                  static_cast<uint64_t>(areaOf(dirty)));
        expectWindowShowsFrame(frame);
    }
}

}  // namespace
