// lumivale-play with WAVE sounds: what it says about them, the bytes it hands a device, and
// the inputs it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFile.h"
#include "tests/support/WaveTestFile.h"

namespace fs = std::filesystem;
using testing_support::builtProgram;
using testing_support::runCommand;
using testing_support::TempFile;
using testing_support::WaveTestFile;

namespace {

const std::string player = builtProgram("tools/lumivale-play/lumivale-play");
const fs::path wavFolder = fs::path(LUMIVALE_TESTDATA) / "wav";

std::vector<uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The data of a WAVE file the player wrote: a 44-byte header, then the samples.
std::vector<uint8_t> dumpedData(const fs::path& path) {
    std::vector<uint8_t> bytes = readAll(path);
    if (bytes.size() < 44) return {};
    uint32_t size = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | uint32_t{bytes[43]} << 24;
    if (bytes.size() < 44 + size) return {};
    return {bytes.begin() + 44, bytes.begin() + 44 + size};
}

struct Layout {
    int rate = 0;
    int channels = 0;
    int bits = 0;
};

Layout layoutOf(const fs::path& file) {
    auto info = runCommand(player + " --info " + file.string());
    Layout layout;
    std::sscanf(info.output.c_str() + info.output.find("rate: "), "rate: %d", &layout.rate);
    std::sscanf(info.output.c_str() + info.output.find("channels: "), "channels: %d",
                &layout.channels);
    std::sscanf(info.output.c_str() + info.output.find("bits: "), "bits: %d", &layout.bits);
    return layout;
}

TEST(LumivalePlaySound, InfoGivesTheFormatAndLength) {
    auto info = runCommand(player + " --info " + (wavFolder / "ff_s16_stereo_44100.wav").string());
    EXPECT_EQ(info.status, 0) << info.output;
    for (const char* line :
         {"format: WAVE\n", "format tag: 1 (PCM)\n", "rate: 44100 Hz\n", "channels: 2\n",
          "bits: 16\n", "data bytes: 44100\n", "duration: 0.250 s\n"})
        EXPECT_NE(info.output.find(line), std::string::npos) << line << info.output;
}

TEST(LumivalePlaySound, DumpHandsTheDeviceTheDecodedDataLoopedFromTheStart) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    for (const auto& entry : fs::directory_iterator(wavFolder)) {
        SCOPED_TRACE(entry.path().filename().string());
        Layout layout = layoutOf(entry.path());
        ASSERT_TRUE(layout.bits == 8 || layout.bits == 16);
        auto decoded =
            testing_support::ffmpegDecodeAudio(entry.path(), layout.bits == 8 ? "u8" : "s16le");
        ASSERT_TRUE(decoded && !decoded->empty());

        TempFile out(std::string(), ".wav");
        auto whole =
            runCommand(player + " --dump-audio " + out.path() + " " + entry.path().string());
        ASSERT_EQ(whole.status, 0) << whole.output;
        EXPECT_EQ(dumpedData(out.path()), *decoded);

        // 100 ms in, twice: the start rounds up to a whole sample frame.
        auto looped = runCommand(player + " --dump-audio " + out.path() +
                                 " --loops 2 --start 100 " + entry.path().string());
        ASSERT_EQ(looped.status, 0) << looped.output;
        std::size_t frame = static_cast<std::size_t>(layout.channels * layout.bits / 8);
        std::size_t skip = (static_cast<std::size_t>(layout.rate) * 100 + 999) / 1000 * frame;
        std::vector<uint8_t> pass(decoded->begin() + static_cast<std::ptrdiff_t>(skip),
                                  decoded->end());
        std::vector<uint8_t> twice = pass;
        twice.insert(twice.end(), pass.begin(), pass.end());
        EXPECT_EQ(dumpedData(out.path()), twice);
    }
}

// Plays on SDL's disk driver, which writes what the device plays to a file, in the sound's own
// format; returns that file's bytes.
std::vector<uint8_t> playedOnDisk(const fs::path& file, const std::vector<std::string>& options,
                                  int* status = nullptr) {
    std::string output = testing_support::uniqueTempPath(".raw");
    std::vector<std::string> args = options;
    args.push_back(file.string());
    auto result = testing_support::runChild(
        player, args, {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", output}});
    if (status) *status = result.status;
    std::vector<uint8_t> played = readAll(output);
    fs::remove(output);
    return played;
}

bool silent(std::vector<uint8_t>::const_iterator from, std::vector<uint8_t>::const_iterator to,
            int bits) {
    return std::all_of(from, to, [&](uint8_t b) { return b == (bits == 8 ? 0x80 : 0); });
}

TEST(LumivalePlaySound, TheSoundDevicePlaysWhatFfmpegDecodes) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    for (const auto& entry : fs::directory_iterator(wavFolder)) {
        SCOPED_TRACE(entry.path().filename().string());
        Layout layout = layoutOf(entry.path());
        auto decoded =
            testing_support::ffmpegDecodeAudio(entry.path(), layout.bits == 8 ? "u8" : "s16le");
        ASSERT_TRUE(decoded && !decoded->empty());
        int status = -1;
        std::vector<uint8_t> played = playedOnDisk(entry.path(), {}, &status);
        EXPECT_EQ(status, 0);
        // Silence while the device waits for the first buffer and after the last, the data
        // exactly in between.
        auto found = std::search(played.begin(), played.end(), decoded->begin(), decoded->end());
        ASSERT_NE(found, played.end()) << played.size() << " bytes played";
        EXPECT_TRUE(silent(played.begin(), found, layout.bits));
        EXPECT_TRUE(silent(found + static_cast<std::ptrdiff_t>(decoded->size()), played.end(),
                           layout.bits));
    }
}

TEST(LumivalePlaySound, VolumeIsAGainOnEachChannel) {
    WaveTestFile wave;
    wave.channels = 2;
    wave.bits = 16;
    wave.rate = 22050;
    for (int i = 0; i < 4000; ++i) {
        auto sample = static_cast<uint16_t>(i * 16);
        wave.data.insert(wave.data.end(),
                         {static_cast<uint8_t>(sample), static_cast<uint8_t>(sample >> 8),
                          static_cast<uint8_t>(sample), static_cast<uint8_t>(sample >> 8)});
    }
    TempFile file(wave.bytes(), ".wav");
    std::vector<uint8_t> played = playedOnDisk(file.path(), {"--volume", "50,100"});
    auto sampleAt = [&](std::size_t at) {
        return static_cast<int16_t>(played[at] | played[at + 1] << 8);
    };
    // The right channel is the data unchanged: find its ramp from its second sample (the first
    // is silence's value), then check the left beside it.
    std::size_t start = 0;
    while (start + 4 * 4000 <= played.size() && sampleAt(start + 2) != 16)
        start += 4;
    ASSERT_LE(start + 4 * 4000, played.size());
    for (int i = 1; i < 4000; ++i) {
        auto original = static_cast<int16_t>(i * 16);
        std::size_t at = start + static_cast<std::size_t>(i - 1) * 4;
        ASSERT_EQ(sampleAt(at + 2), original) << i;
        ASSERT_NEAR(sampleAt(at), original / 2, 1) << i;
    }
}

TEST(LumivalePlaySound, CtrlCStopsASoundThatRepeatsForEver) {
    std::string output = testing_support::uniqueTempPath(".raw");
    testing_support::ChildProcess child(
        player, {"--loops", "0", (wavFolder / "ff_u8_mono_11025.wav").string()},
        {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", output}});
    ASSERT_TRUE(child.started()) << child.failure();
    // Past the first pass of half a second, so the repeat has begun.
    EXPECT_FALSE(child.waitFor(std::chrono::milliseconds(800)));
    auto interrupted = std::chrono::steady_clock::now();
    ASSERT_TRUE(child.signal(SIGINT));
    ASSERT_TRUE(child.waitFor(std::chrono::seconds(2)));
    EXPECT_LT(child.endedAt() - interrupted, std::chrono::milliseconds(300));
    EXPECT_EQ(child.exitStatus(), 130) << child.standardError();
    EXPECT_GT(fs::file_size(output), 11025u * 6 / 10);
    fs::remove(output);
}

TEST(LumivalePlaySound, DamagedAndUnplayableSoundsAreRefusedWithTheReason) {
    struct Case {
        WaveTestFile wave;
        const char* says;
    };
    std::vector<Case> cases(4);
    cases[0].wave.formatTag = 0x55;
    cases[0].says = "format tag 85 is not PCM";
    cases[1].wave.channels = 0;
    cases[1].says = "0 channels";
    cases[2].wave.rate = 0;
    cases[2].says = "a rate of 0";
    cases[3].wave.bits = 12;
    cases[3].says = "12 bits per sample";
    for (Case& c : cases) {
        c.wave.data = testing_support::soundPattern(100);
        TempFile file(c.wave.bytes(), ".wav");
        TempFile out(std::string(), ".wav");
        auto result = runCommand(player + " --dump-audio " + out.path() + " " + file.path());
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_NE(result.output.find(c.says), std::string::npos) << result.output;
    }

    // A file cut inside its "data" chunk plays what is there.
    WaveTestFile wave;
    wave.data = testing_support::soundPattern(3000);
    std::vector<uint8_t> bytes = wave.bytes();
    bytes.resize(bytes.size() - 1000);
    TempFile cut(bytes, ".wav");
    TempFile out(std::string(), ".wav");
    auto result = runCommand(player + " --dump-audio " + out.path() + " " + cut.path());
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(dumpedData(out.path()),
              std::vector<uint8_t>(wave.data.begin(), wave.data.begin() + 2000));

    std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 30);
    TempFile stub(header, ".wav");
    auto noData = runCommand(player + " --info " + std::string(stub.path()));
    EXPECT_EQ(noData.status, 1);
    EXPECT_NE(noData.output.find("no \"fmt \" or \"data\" chunk"), std::string::npos)
        << noData.output;
    EXPECT_EQ(runCommand(player + " --info /nonexistent/lumivale.wav").status, 1);
}

TEST(LumivalePlaySound, CommandLinesThatMakeNoSenseAreRefused) {
    for (const char* arguments :
         {"--volume 101 a.wav", "--volume 50, a.wav", "--start -5 a.wav", "--loops x a.wav",
          "--dump-audio o.wav --volume 50 a.wav", "--dump-audio o.wav --loops 0 a.wav",
          "--start 100 a.flc", "--dump d a.wav", "--dump-audio o.wav a.flc", "a.wav b.wav",
          "--volume"}) {
        auto result = runCommand(player + " " + arguments);
        EXPECT_EQ(result.status, 2) << arguments << "\n" << result.output;
    }
}

}  // namespace
