// lumivale-play with scripted sprites on a stage, checked from its --trace lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/PngRead.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFile.h"
#include "tools/flicgen/FlicWriter.h"

namespace fs = std::filesystem;
using testing_support::builtProgram;
using testing_support::runCommand;
using testing_support::TempFile;

namespace {

const std::string player = builtProgram("tools/lumivale-play/lumivale-play");
const std::string docs = std::string(LUMIVALE_SOURCE_DIR) + "/docs/scripts/";

// An 8×8 animation of `frames` frames of 100 ms each, filled with colours 1, 2, ... of a
// palette whose colour 0 is black; the top left pixel, colour 0, is the transparent colour.
class Animation {
  public:
    explicit Animation(int frames) : path(testing_support::uniqueTempPath(".flc")) {
        flicgen::FlicWriter writer(8, 8, flicgen::FlicFormat::Flc, 100);
        flicgen::Palette palette{};
        for (int i = 0; i < 256; ++i)
            palette[static_cast<std::size_t>(i)] = {static_cast<uint8_t>(i), 40, 200};
        palette[0] = {0, 0, 0};
        for (int frame = 0; frame < frames; ++frame) {
            std::vector<uint8_t> pixels(64, static_cast<uint8_t>(frame + 1));
            pixels[0] = 0;
            writer.addFrame(pixels, palette);
        }
        writer.finish(path);
    }
    ~Animation() { fs::remove(path); }
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    std::string path;
};

// One trace line: its keys in order and their values.
struct TraceLine {
    std::vector<std::string> keys;
    std::map<std::string, long> values;
    long operator[](const std::string& key) const { return values.at(key); }
};

std::vector<TraceLine> traceOf(const std::string& output) {
    std::vector<TraceLine> lines;
    std::istringstream in(output);
    for (std::string text; std::getline(in, text);) {
        if (!text.starts_with("t=")) continue;
        TraceLine line;
        std::istringstream words(text);
        for (std::string word; words >> word;) {
            auto equals = word.find('=');
            line.keys.push_back(word.substr(0, equals));
            line.values[word.substr(0, equals)] = std::stol(word.substr(equals + 1));
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<TraceLine> linesOf(const std::vector<TraceLine>& trace, long sprite) {
    std::vector<TraceLine> out;
    for (const auto& line : trace)
        if (line["sprite"] == sprite) out.push_back(line);
    return out;
}

constexpr const char* partWalker =
    "LABEL 1\nADVANCEFRAME\nMOVEX 4\nIFHIT 2\nLOOP 1\nLABEL 2\nHIDE\nPAUSE\n";
// A sprite that others run into: it tests nobody itself.
constexpr const char* wall = "HITID 2\nHITMASK 0\n";

TEST(LumivalePlayScript, TheWalkerWalksUntilHitThenHidesAndPauses) {
    Animation animation(4);
    TempFile walker(std::string{partWalker}), obstacle(std::string{wall});
    // The second walker shares the first one's script, on a row without a wall.
    auto result = runCommand(player + " --headless --duration 1.5 --trace --script " +
                             walker.path() + " --at 0,10 " + animation.path + " --script " +
                             obstacle.path() + " --at 40,10 " + animation.path + " --script " +
                             walker.path() + " --at 0,30 " + animation.path);
    ASSERT_EQ(result.status, 0) << result.output;
    auto trace = traceOf(result.output);
    ASSERT_FALSE(trace.empty()) << result.output;
    EXPECT_EQ(trace[0].keys,
              (std::vector<std::string>{"t", "sprite", "pc", "frame", "x", "y", "z", "shown",
                                        "paused", "interval", "speed", "bits", "hit"}));

    auto first = linesOf(trace, 0);
    auto second = linesOf(trace, 2);
    // One line for every tick, paused ones included: every 100 ms up to 1.5 s.
    ASSERT_EQ(first.size(), 15u);
    ASSERT_EQ(second.size(), 15u);
    for (std::size_t k = 0; k < first.size(); ++k) {
        SCOPED_TRACE(k);
        long step = static_cast<long>(k) + 1;
        EXPECT_EQ(first[k]["t"], 100 * step);
        EXPECT_EQ(second[k]["x"], 4 * step);
        EXPECT_EQ(second[k]["y"], 30);
        EXPECT_EQ(second[k]["shown"], 1);
        // The walker's rectangle meets the wall's at x 36, after the ninth step; the tenth
        // step still moves, then the hit is taken.
        if (step < 10) {
            EXPECT_EQ(first[k]["frame"], step % 4);
            EXPECT_EQ(first[k]["x"], 4 * step);
            EXPECT_EQ(first[k]["pc"], 0);
            EXPECT_EQ(first[k]["shown"], 1);
        } else {
            EXPECT_EQ(first[k]["frame"], 2);
            EXPECT_EQ(first[k]["x"], 40);
            EXPECT_EQ(first[k]["pc"], 8);
            EXPECT_EQ(first[k]["shown"], 0);
            EXPECT_EQ(first[k]["paused"], 1);
        }
        EXPECT_EQ(first[k]["y"], 10);
        EXPECT_EQ(first[k]["interval"], 100);
    }
    // Hidden and paused, it is still in the wall: the next hits stay pending.
    EXPECT_EQ(first.back()["hit"], 1);
}

TEST(LumivalePlayScript, TheDocumentedWalkerTurnsAtEachWall) {
    Animation animation(4);
    TempFile obstacle(std::string{wall});
    auto result = runCommand(player + " --headless --duration 3 --trace --script " + docs +
                             "walker.txt --at 20,10 " + animation.path + " --script " +
                             obstacle.path() + " --at 0,10 " + animation.path + " --script " +
                             obstacle.path() + " --at 60,10 " + animation.path);
    ASSERT_EQ(result.status, 0) << result.output;
    std::vector<long> xs;
    for (const auto& line : linesOf(traceOf(result.output), 0))
        xs.push_back(line["x"]);
    ASSERT_EQ(xs.size(), 30u);
    // Out to the right wall (at 60, 8 wide), back to the left one, and out again.
    auto right = std::max_element(xs.begin(), xs.end());
    auto left = std::min_element(right, xs.end());
    EXPECT_EQ(*right, 56);
    EXPECT_EQ(*left, 4);
    EXPECT_GT(xs.back(), *left);
    for (auto it = xs.begin() + 1; it != xs.end(); ++it)
        EXPECT_LE(std::abs(*it - *(it - 1)), 4);
}

TEST(LumivalePlayScript, TheDocumentedCounterBlinksThroughItsFrames) {
    Animation animation(10);
    auto result = runCommand(player + " --headless --duration 6 --trace --script " + docs +
                             "counter.txt " + animation.path);
    ASSERT_EQ(result.status, 0) << result.output;
    auto trace = traceOf(result.output);
    ASSERT_EQ(trace.size(), 24u);
    for (std::size_t k = 0; k < trace.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(trace[k]["t"], 100 + 250 * static_cast<long>(k));
        EXPECT_EQ(trace[k]["interval"], 250);
        EXPECT_EQ(trace[k]["shown"], k % 2 == 0 ? 1 : 0);
        EXPECT_EQ(trace[k]["bits"], k % 2 == 0 ? 1 : 0);
        EXPECT_EQ(trace[k]["frame"], static_cast<long>((k + 1) / 2 % 10));
    }
}

TEST(LumivalePlayScript, SnapshotAndRecordShowTheStage) {
    Animation animation(2);
    TempFile script(std::string("POSX 3\nPOSY 2\n"));
    std::string snapshot = testing_support::uniqueTempPath(".png");
    fs::path folder = testing_support::uniqueTempPath("-record");
    auto result = runCommand(player + " --headless --duration 0.25 --stage 16x12 --snapshot " +
                             snapshot + " --record " + folder.string() + " --script " +
                             script.path() + " " + animation.path);
    ASSERT_EQ(result.status, 0) << result.output;
    auto picture = testing_support::readPng(snapshot);
    fs::remove(snapshot);
    ASSERT_EQ(picture.width, 16);
    ASSERT_EQ(picture.height, 12);
    auto pixel = [&](int x, int y) {
        return std::vector<uint8_t>(picture.rgb.begin() + (y * 16 + x) * 3,
                                    picture.rgb.begin() + (y * 16 + x) * 3 + 3);
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<uint8_t>{0, 0, 0}));  // the black stage
    EXPECT_EQ(pixel(3, 2), (std::vector<uint8_t>{0, 0, 0}));  // transparent
    EXPECT_EQ(pixel(4, 2), (std::vector<uint8_t>{1, 40, 200}));
    EXPECT_EQ(pixel(10, 9), (std::vector<uint8_t>{1, 40, 200}));
    EXPECT_EQ(pixel(11, 10), (std::vector<uint8_t>{0, 0, 0}));
    // Steps at 0, 100, 200 and 250 ms.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4);
    fs::remove_all(folder);
}

TEST(LumivalePlayScript, WrongCommandsAndMissingFilesAreReported) {
    Animation animation(2);
    for (const std::string& arguments :
         {"--stage 0x5 " + animation.path, "--at 1 " + animation.path,
          "--script a --script b " + animation.path, animation.path + " --at 1,2",
          "--snapshot x.png " + animation.path, "--headless --duration 0 " + animation.path,
          std::string("--trace")}) {
        SCOPED_TRACE(arguments);
        auto result = runCommand(player + " " + arguments);
        EXPECT_EQ(result.status, 2) << result.output;
        EXPECT_NE(result.output.find("Usage: lumivale-play [--stage WxH]"), std::string::npos);
    }
    std::string missing = testing_support::uniqueTempPath(".txt");
    auto result =
        runCommand(player + " --headless --duration 1 --script " + missing + " " + animation.path);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("File open error:" + missing.substr(0, 30)), std::string::npos)
        << result.output;
}

}  // namespace
