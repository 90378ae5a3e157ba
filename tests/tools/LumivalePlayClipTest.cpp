// lumivale-play with AVI clips: the stream listing, frames dumped as PNG and the sound written
// out, checked against ffmpeg.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/FfmpegDecode.h"
#include "tests/support/PngRead.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFile.h"

namespace fs = std::filesystem;
using testing_support::builtProgram;
using testing_support::runCommand;

namespace {

const std::string player = builtProgram("tools/lumivale-play/lumivale-play");
const fs::path aviFolder = fs::path(LUMIVALE_TESTDATA) / "avi";

TEST(LumivalePlayClip, InfoListsEveryStream) {
    auto info =
        runCommand(player + " --info " + (aviFolder / "ff_raw_pal8_80x60_u8audio.avi").string());
    EXPECT_EQ(info.status, 0) << info.output;
    for (const char* line :
         {"format: AVI\n", "size: 80x60\n", "frames: 10\n", "frame time: 100 ms\n", "streams: 2\n",
          "stream 0: \"vids\", handler none, priority 0, length 10", "stream 1: \"auds\"",
          "audio format tag 1, 1 channels, 11025 Hz, 8 bits"})
        EXPECT_NE(info.output.find(line), std::string::npos) << line << info.output;
    auto refused = runCommand(player + " --info " + (aviFolder / "ff_cram16_64x48.avi").string());
    EXPECT_EQ(refused.status, 1) << refused.output;
}

TEST(LumivalePlayClip, DumpedFramesAndSoundEqualFfmpegs) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path clip = aviFolder / "ff_raw_pal8_33x17_s16audio.avi";
    const std::string folder = testing_support::uniqueTempPath("-frames");
    auto dump = runCommand(player + " --dump " + folder + " " + clip.string());
    ASSERT_EQ(dump.status, 0) << dump.output;
    auto theirs = testing_support::ffmpegDecode(clip);
    ASSERT_TRUE(theirs);
    ASSERT_EQ(theirs->frames.size(), 5u);
    for (std::size_t k = 0; k < theirs->frames.size(); ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%04zu.png", k);
        testing_support::RgbPicture picture = testing_support::readPng(folder + name);
        EXPECT_EQ(picture.width, 33);
        EXPECT_TRUE(picture.rgb == theirs->frames[k]) << "frame " << k;
    }
    fs::remove_all(folder);

    const std::string wave = testing_support::uniqueTempPath(".wav");
    auto sound = runCommand(player + " --dump-audio " + wave + " " + clip.string());
    ASSERT_EQ(sound.status, 0) << sound.output;
    auto ours = testing_support::ffmpegDecodeAudio(wave, "s16le");
    auto expected = testing_support::ffmpegDecodeAudio(clip, "s16le");
    fs::remove(wave);
    ASSERT_TRUE(ours && expected);
    EXPECT_TRUE(*ours == *expected) << ours->size() << " bytes, ffmpeg " << expected->size();
}

TEST(LumivalePlayClip, AClipWithoutSoundHasNoneToDump) {
    const std::string wave = testing_support::uniqueTempPath(".wav");
    auto sound =
        runCommand(player + " --dump-audio " + wave + " " + (aviFolder / "upload.avi").string());
    EXPECT_EQ(sound.status, 1);
    EXPECT_NE(sound.output.find("has no sound"), std::string::npos) << sound.output;
    EXPECT_FALSE(fs::exists(wave));
}

}  // namespace
