// lumivale-play as people run it: its information, the frames it dumps, and its failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/PngRead.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFile.h"
#include "tools/flicgen/FlicWriter.h"

namespace fs = std::filesystem;
using testing_support::builtProgram;
using testing_support::runCommand;

namespace {

const std::string player = builtProgram("tools/lumivale-play/lumivale-play");

struct WrittenAnimation {
    std::string path;
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint8_t>> frames;  // expected RGB of each frame
};

// Three frames of 7×5 with a palette change in the last one: what was written is what a
// faithful dump must show.
WrittenAnimation writeAnimation(flicgen::FlicFormat format) {
    WrittenAnimation out{testing_support::uniqueTempPath(".flc"), 7, 5, {}};
    flicgen::FlicWriter writer(out.width, out.height, format, 5);
    flicgen::Palette palette{};
    for (int i = 0; i < 256; ++i) {
        // Multiples of 4 survive the 64-level palette of the older format unchanged.
        palette[static_cast<std::size_t>(i)] = {static_cast<uint8_t>(i & 0xfc),
                                                static_cast<uint8_t>((255 - i) & 0xfc),
                                                static_cast<uint8_t>((i * 8) & 0xfc)};
    }
    for (int frame = 0; frame < 3; ++frame) {
        if (frame == 2) palette[9] = {200, 4, 100};
        std::vector<uint8_t> pixels(static_cast<std::size_t>(out.width * out.height));
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>((i * 3 + static_cast<std::size_t>(frame) * 5) % 12);
        writer.addFrame(pixels, palette);
        std::vector<uint8_t> rgb;
        for (uint8_t index : pixels) {
            const auto& colour = palette[index];
            rgb.insert(rgb.end(), {colour.r, colour.g, colour.b});
        }
        out.frames.push_back(rgb);
    }
    writer.finish(out.path);
    return out;
}

TEST(LumivalePlay, InfoDescribesTheFile) {
    auto animation = writeAnimation(flicgen::FlicFormat::Flc);
    auto result = runCommand(player + " --info " + animation.path);
    fs::remove(animation.path);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("format: FLC"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("size: 7x5"), std::string::npos);
    EXPECT_NE(result.output.find("frames: 3"), std::string::npos);
    EXPECT_NE(result.output.find("frame time: 5 ms"), std::string::npos);
}

TEST(LumivalePlay, DumpWritesEveryFrameThroughItsPalette) {
    for (auto format : {flicgen::FlicFormat::Flc, flicgen::FlicFormat::Fli}) {
        auto animation = writeAnimation(format);
        fs::path folder = testing_support::uniqueTempPath("-dump");
        auto result = runCommand(player + " --dump " + folder.string() + " " + animation.path);
        EXPECT_EQ(result.status, 0) << result.output;
        for (std::size_t frame = 0; frame < animation.frames.size(); ++frame) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%04zu.png", frame);
            auto picture = testing_support::readPng((folder / name).string());
            EXPECT_EQ(picture.width, animation.width);
            EXPECT_EQ(picture.height, animation.height);
            EXPECT_EQ(picture.rgb, animation.frames[frame]) << name;
        }
        EXPECT_FALSE(fs::exists(folder / "frame-0003.png"));
        fs::remove_all(folder);
        fs::remove(animation.path);
    }
}

TEST(LumivalePlay, FailuresAreReportedWithAStatus) {
    auto missing = runCommand(player + " --info /nonexistent/lumivale.flc");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("mFile: File open error:/nonexistent/lumivale.flc"),
              std::string::npos)
        << missing.output;

    testing_support::TempFile garbage(std::string(300, 'x'), ".flc");
    auto notFlic = runCommand(player + " --bench " + garbage.path());
    EXPECT_EQ(notFlic.status, 1);
    EXPECT_NE(notFlic.output.find("mImageFlic"), std::string::npos) << notFlic.output;

    EXPECT_EQ(runCommand(player + " --bench --loops 0 x.flc").status, 2);
    EXPECT_EQ(runCommand(player).status, 2);
    auto help = runCommand(player + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--dump DIR FILE"), std::string::npos);
}

TEST(LumivalePlay, BenchDecodesEveryFrameTheAskedNumberOfTimes) {
    auto animation = writeAnimation(flicgen::FlicFormat::Flc);
    auto result = runCommand(player + " --bench --loops 4 " + animation.path);
    fs::remove(animation.path);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.rfind("12 frames in ", 0), 0u) << result.output;
}

}  // namespace
