// lumivale-play as people run it: its information, the frames it dumps, and its failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/FfmpegDecode.h"
#include "tests/support/PictureReading.h"
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

TEST(LumivalePlay, InfoDescribesPictures) {
    const fs::path data(LUMIVALE_TESTDATA);
    auto dcx = runCommand(player + " --info " + (data / "dcx/im_pal8_3pages.dcx").string());
    EXPECT_EQ(dcx.status, 0) << dcx.output;
    for (const char* line : {"format: DCX", "size: 160x120", "depth: 8 bits", "planes: 1",
                             "palette: 256 colours", "pages: 3"})
        EXPECT_NE(dcx.output.find(line), std::string::npos) << line << "\n" << dcx.output;
    auto rose = runCommand(player + " --info " + (data / "pcx/rose.pcx").string());
    EXPECT_NE(rose.output.find("planes: 4\npalette: 16 colours"), std::string::npos) << rose.output;
    auto deep = runCommand(player + " --info " + (data / "dcx/hopper.dcx").string());
    EXPECT_NE(deep.output.find("palette: none"), std::string::npos) << deep.output;
    auto bmp = runCommand(player + " --info " + (data / "bmp/pal4rle.bmp").string());
    EXPECT_NE(bmp.output.find("format: BMP"), std::string::npos) << bmp.output;
    EXPECT_EQ(bmp.output.find("mFile"), std::string::npos) << bmp.output;
    EXPECT_EQ(runCommand(player + " --info picture.gif").status, 1);
}

// Each page through the palette in force, as the independent decoders show it; the 24-bit
// page in the default colours.
TEST(LumivalePlay, DumpWritesEveryPageOfAPicture) {
    if (!testing_support::magickAvailable() || !testing_support::ffmpegAvailable())
        GTEST_SKIP() << "ImageMagick or ffmpeg is not installed";
    const fs::path data(LUMIVALE_TESTDATA);
    struct Case {
        const char* file;
        int pages;
        bool deep;
    };
    for (Case c : {Case{"dcx/im_pal8_3pages.dcx", 3, false}, Case{"dcx/hopper.dcx", 1, true},
                   Case{"bmp/pal8rle.bmp", 1, false}, Case{"pcx/CGA_FSD.PCX", 1, false}}) {
        SCOPED_TRACE(c.file);
        fs::path folder = testing_support::uniqueTempPath("-dump");
        auto result =
            runCommand(player + " --dump " + folder.string() + " " + (data / c.file).string());
        EXPECT_EQ(result.status, 0) << result.output;
        for (int page = 0; page < c.pages; ++page) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%04d.png", page);
            auto picture = testing_support::readPng((folder / name).string());
            auto theirs = std::string(c.file).starts_with("dcx")
                              ? testing_support::magickDecodePage(data / c.file, page)
                              : testing_support::ffmpegDecode(data / c.file);
            ASSERT_TRUE(theirs);
            EXPECT_EQ(picture.width, theirs->width);
            auto expected = c.deep ? testing_support::throughDefaultColours(theirs->frames[0])
                                   : theirs->frames[0];
            EXPECT_EQ(picture.rgb, expected) << name;
        }
        EXPECT_FALSE(fs::exists(folder / ("frame-000" + std::to_string(c.pages) + ".png")));
        fs::remove_all(folder);
    }
}

TEST(LumivalePlay, APageThatIsNotThereIsRefused) {
    auto dcx = (fs::path(LUMIVALE_TESTDATA) / "dcx/im_pal8_3pages.dcx").string();
    EXPECT_EQ(runCommand(player + " --page 0 " + dcx).status, 2);
    auto missing = runCommand(player + " --page 4 " + dcx);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("no page 4: the file has 3"), std::string::npos)
        << missing.output;
}

}  // namespace
