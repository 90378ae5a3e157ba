// Both saver programs as processes without a display: the headless runs, the end on a
// termination signal, the about box, the help and the refusal of bad arguments.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/PngRead.h"
#include "tests/support/SaverRun.h"
#include "tests/support/TempFile.h"
#include "tests/support/TestSceneFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace testing_support;
using Program = TestSceneFolder::Program;

namespace {

constexpr int frames = TestSceneFolder::frameCount;
constexpr int delay = TestSceneFolder::frameDelay;

// Nothing here may reach a real display.
const EnvironmentChanges noDisplay{{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}};

struct HeadlessResult {
    ChildResult run;
    std::vector<std::string> trace;
    RgbPicture snapshot;
};

HeadlessResult runHeadless(Program program, const TestSceneFolder& scenes, const std::string& size,
                           const std::string& seconds) {
    std::string snapshot = uniqueTempPath(".png");
    HeadlessResult result;
    result.run = runChild(saverProgram(program),
                          {"--headless", size, "--duration", seconds, "--trace", "--snapshot",
                           snapshot, "--scene-dir", scenes.path()},
                          noDisplay);
    result.trace = traceLines(result.run.output);
    result.snapshot = readPng(snapshot);
    fs::remove(snapshot);
    return result;
}

std::vector<std::string> firstLines(const std::vector<std::string>& lines, std::size_t count) {
    return {lines.begin(),
            lines.begin() + static_cast<std::ptrdiff_t>(std::min(count, lines.size()))};
}

// The centre of a sprite of `file` placed at (x, y).
bool showsAt(const RgbPicture& picture, int32_t x, int32_t y, const SceneFileInfo& file) {
    return showsColourAt(picture, x + file.width / 2, y + file.height / 2, file);
}

TEST(SaverHeadless, BelowThreeHundredPixelsOnlyThePreviewSpriteShows) {
    struct Case {
        Program program;
        const char* previewFile;
        int32_t x;
        int32_t y;
    };
    for (const Case& c : {Case{Program::ideas, "Dots01.flc", 1, 19},
                          Case{Program::lumivale, "Setupimg.flc", 0, 0}}) {
        TestSceneFolder scenes(c.program);
        auto result = runHeadless(c.program, scenes, "299x200", "0.5");
        ASSERT_EQ(result.run.status, 0) << result.run.error;
        EXPECT_FALSE(holdsReport(result.run.error)) << result.run.error;
        // One placement at creation and no choreography afterwards.
        std::string place = "0 place 0 " + std::to_string(c.x) + " " + std::to_string(c.y) + " 4";
        EXPECT_EQ(result.trace, std::vector<std::string>{place});

        const auto& preview = scenes.file(c.previewFile);
        ASSERT_EQ(result.snapshot.width, 299);
        ASSERT_EQ(result.snapshot.height, 200);
        EXPECT_EQ(nonBlackBounds(result.snapshot),
                  (PictureBounds{c.x, c.y, c.x + preview.width, c.y + preview.height}));
        EXPECT_TRUE(showsAt(result.snapshot, c.x, c.y, preview)) << c.previewFile;
        // The top-left pixel is the transparent key: the black stage shows through.
        EXPECT_FALSE(showsColourAt(result.snapshot, c.x, c.y, preview));
    }
}

TEST(SaverHeadless, FromThreeHundredPixelsTheFullSceneShows) {
    TestSceneFolder ideasScenes(Program::ideas);
    auto ideas = runHeadless(Program::ideas, ideasScenes, "300x200", "0.1");
    ASSERT_EQ(ideas.run.status, 0) << ideas.run.error;
    // Sizes 60x40, 30x20, 24x16, 20x20 and 50x36 for sprites 0, 1, 2, 3 and 6.
    EXPECT_EQ(ideas.trace, (std::vector<std::string>{"0 place 0 120 80 6", "0 place 1 270 66 4",
                                                     "0 place 2 0 184 4", "0 place 3 280 0 4",
                                                     "0 place 6 125 82 6", "0 pause 2", "0 pause 3",
                                                     "0 pause 4", "0 pause 5", "0 pause 6"}));
    const auto& shot = ideas.snapshot;
    ASSERT_EQ(shot.width, 300);
    EXPECT_TRUE(showsAt(shot, 270, 66, ideasScenes.file("Cyber1.flc")));
    EXPECT_TRUE(showsAt(shot, 0, 184, ideasScenes.file("Cyber2.flc")));
    EXPECT_TRUE(showsAt(shot, 280, 0, ideasScenes.file("Cyber3.flc")));
    // Sprites 0 and 6 share the centre and z 6; the larger one shows around the smaller.
    EXPECT_TRUE(showsColourAt(shot, 121, 81, ideasScenes.file("Lvfin6.flc")));
    EXPECT_GT(pixelsOfColour(shot, ideasScenes.file("Xan2.flc")), 0u);

    TestSceneFolder lumivaleScenes(Program::lumivale);
    auto lumivale = runHeadless(Program::lumivale, lumivaleScenes, "300x200", "0.03");
    ASSERT_EQ(lumivale.run.status, 0) << lumivale.run.error;
    // The jumper (sprite 1) starts on its first frame, so the first pass moves it at once.
    ASSERT_EQ(lumivale.trace.size(), 4u);
    EXPECT_EQ(firstLines(lumivale.trace, 3),
              (std::vector<std::string>{"0 place 0 120 80 4", "0 place 1 161 100 2",
                                        "0 place 2 130 0 6"}));
    EXPECT_TRUE(lumivale.trace[3].starts_with("0 place 1 ")) << lumivale.trace[3];
    EXPECT_TRUE(showsAt(lumivale.snapshot, 120, 80, lumivaleScenes.file("SSaver11.flc")));
    EXPECT_TRUE(showsAt(lumivale.snapshot, 130, 0, lumivaleScenes.file("SSaver13.flc")));
    EXPECT_GT(pixelsOfColour(lumivale.snapshot, lumivaleScenes.file("SSaver06.flc")), 0u);
}

TEST(SaverHeadless, TheSameCommandGivesTheSameTraceAndPixels) {
    for (Program program : {Program::ideas, Program::lumivale}) {
        TestSceneFolder scenes(program);
        auto first = runHeadless(program, scenes, "320x240", "3");
        auto second = runHeadless(program, scenes, "320x240", "3");
        ASSERT_EQ(first.run.status, 0) << first.run.error;
        ASSERT_EQ(second.run.status, 0) << second.run.error;
        // Enough happened for a difference to show: the choreography ran many passes.
        EXPECT_GT(first.trace.size(), 20u);
        EXPECT_EQ(first.trace, second.trace);
        ASSERT_FALSE(first.snapshot.rgb.empty());
        EXPECT_TRUE(first.snapshot.rgb == second.snapshot.rgb) << "snapshots differ";
    }
}

TEST(SaverHeadless, TraceLinesCarryTheSimulatedMilliseconds) {
    const std::regex line(R"((\d+) (place (\d) -?\d+ -?\d+ -?\d+|pause \d|resume \d))");
    // A latch fires in the pass after the step that brought frame 0 back.
    const std::string firstCycle = std::to_string((frames + 1) * delay);

    TestSceneFolder ideasScenes(Program::ideas);
    auto ideas = runHeadless(Program::ideas, ideasScenes, "300x200", "2");
    ASSERT_EQ(ideas.run.status, 0) << ideas.run.error;
    long previous = 0;
    for (const auto& text : ideas.trace) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(text, parts, line)) << text;
        long t = std::stol(parts[1]);
        EXPECT_GE(t, previous) << text;
        EXPECT_LE(t, 2000) << text;
        previous = t;
    }
    EXPECT_GT(previous, 1500);
    auto swap = std::find_if(ideas.trace.begin(), ideas.trace.end(),
                             [](const std::string& s) { return s.ends_with(" resume 6"); });
    ASSERT_NE(swap, ideas.trace.end());
    EXPECT_EQ(*swap, firstCycle + " resume 6");
    EXPECT_NE(std::find(ideas.trace.begin(), ideas.trace.end(), firstCycle + " pause 0"),
              ideas.trace.end());

    TestSceneFolder lumivaleScenes(Program::lumivale);
    auto lumivale = runHeadless(Program::lumivale, lumivaleScenes, "300x200", "1");
    ASSERT_EQ(lumivale.run.status, 0) << lumivale.run.error;
    // Sprite 2 (40x24) steps down by its height plus one after its first full play.
    auto drop = std::find_if(lumivale.trace.begin(), lumivale.trace.end(),
                             [](const std::string& s) { return s.find(" place 2 ") != s.npos; });
    ASSERT_NE(drop, lumivale.trace.end());
    ++drop;
    drop = std::find_if(drop, lumivale.trace.end(),
                        [](const std::string& s) { return s.find(" place 2 ") != s.npos; });
    ASSERT_NE(drop, lumivale.trace.end());
    EXPECT_EQ(*drop, firstCycle + " place 2 130 25 -1");
}

TEST(SaverHeadless, AMissingFileIsReportedAndTheOtherSpritesStillShow) {
    TestSceneFolder scenes(Program::ideas);
    scenes.removeFile("Cyber2.flc");
    auto full = runHeadless(Program::ideas, scenes, "300x200", "0.1");
    EXPECT_EQ(full.run.status, 0) << full.run.error;
    EXPECT_NE(full.run.error.find("mFile: File open error:Cyber2.flc"), std::string::npos)
        << full.run.error;
    EXPECT_EQ(full.trace,
              (std::vector<std::string>{"0 place 0 120 80 6", "0 place 1 270 66 4",
                                        "0 place 3 280 0 4", "0 place 6 125 82 6", "0 pause 3",
                                        "0 pause 4", "0 pause 5", "0 pause 6"}));
    EXPECT_TRUE(showsAt(full.snapshot, 270, 66, scenes.file("Cyber1.flc")));
    EXPECT_TRUE(showsAt(full.snapshot, 280, 0, scenes.file("Cyber3.flc")));
    EXPECT_TRUE(showsColourAt(full.snapshot, 121, 81, scenes.file("Lvfin6.flc")));
    EXPECT_EQ(pixelsOfColour(full.snapshot, scenes.file("Cyber2.flc")), 0u);

    // Without the preview file no sprite ever ticks; the run still ends when it should.
    scenes.removeFile("Dots01.flc");
    auto preview = runHeadless(Program::ideas, scenes, "200x150", "0.5");
    EXPECT_EQ(preview.run.status, 0) << preview.run.error;
    EXPECT_NE(preview.run.error.find("mFile: File open error:Dots01.flc"), std::string::npos)
        << preview.run.error;
    EXPECT_TRUE(preview.trace.empty());
    EXPECT_EQ(nonBlackBounds(preview.snapshot), PictureBounds{});
}

// The palette of the stage comes from the first image; the others are translated to it.
TEST(SaverHeadless, AMissingFirstFileLeavesTheOthersInTheirColours) {
    TestSceneFolder scenes(Program::lumivale);
    scenes.removeFile("SSaver11.flc");
    auto result = runHeadless(Program::lumivale, scenes, "300x200", "0.03");
    EXPECT_EQ(result.run.status, 0) << result.run.error;
    EXPECT_NE(result.run.error.find("mFile: File open error:SSaver11.flc"), std::string::npos);
    EXPECT_GT(pixelsOfColour(result.snapshot, scenes.file("SSaver06.flc")), 0u);
    EXPECT_GT(pixelsOfColour(result.snapshot, scenes.file("SSaver13.flc")), 0u);
}

TEST(SaverShutdown, HeadlessEndsOnSigtermAndSigint) {
    TestSceneFolder scenes(Program::ideas);
    for (int signal : {SIGTERM, SIGINT}) {
        // Far longer than the test: only the signal can end it.
        ChildProcess saver(saverProgram(Program::ideas),
                           {"--headless", "320x200", "--duration", "4000000", "--trace",
                            "--scene-dir", scenes.path()},
                           noDisplay);
        ASSERT_TRUE(saver.started()) << saver.failure();
        ASSERT_TRUE(saver.waitForOutput("0 pause 6", 10s)) << saver.standardError();
        auto end = endWithSignal(saver, signal, 3s);
        ASSERT_TRUE(end.ended) << "still running 3 s after signal " << signal;
        std::string name = signal == SIGTERM ? "headless_sigterm_ms" : "headless_sigint_ms";
        RecordProperty(name, std::to_string(end.milliseconds));
        std::cout << name << " " << end.milliseconds << "\n";
        // Ended cleanly, then by the signal itself, as hosts expect of a hack.
        EXPECT_EQ(saver.endingSignal(), signal) << "exit status " << saver.exitStatus();
        EXPECT_FALSE(holdsReport(saver.standardError())) << saver.standardError();
    }
}

TEST(SaverShutdown, WithoutADisplayEveryWindowModeIsAClearError) {
    TestSceneFolder scenes(Program::lumivale);
    for (std::vector<std::string> mode :
         std::vector<std::vector<std::string>>{{},
                                               {"--window"},
                                               {"--fullscreen"},
                                               {"-root"},
                                               {"-window-id", "0x400001"},
                                               {"/p", "4194305"}}) {
        mode.insert(mode.end(), {"--scene-dir", scenes.path()});
        auto refused = runChild(saverProgram(Program::lumivale), mode, noDisplay, 5s);
        EXPECT_EQ(refused.status, 1) << mode[0] << ": " << refused.error;
        EXPECT_NE(refused.error.find("no X display"), std::string::npos) << refused.error;
    }
}

TEST(SaverHeadless, TheFrameRateReadoutLeavesTheSceneOutsideItsBox) {
    for (Program program : {Program::ideas, Program::lumivale}) {
        TestSceneFolder scenes(program);
        std::string plain = uniqueTempPath(".png");
        std::string withRate = uniqueTempPath(".png");
        for (const auto& [path, extra] : {std::pair{plain, std::vector<std::string>{}},
                                          std::pair{withRate, std::vector<std::string>{"--fps"}}}) {
            std::vector<std::string> args{"--headless", "320x200", "--duration",  "2",
                                          "--snapshot", path,      "--scene-dir", scenes.path()};
            args.insert(args.end(), extra.begin(), extra.end());
            auto run = runChild(saverProgram(program), args, noDisplay);
            ASSERT_EQ(run.status, 0) << run.error;
        }
        auto without = readPng(plain);
        auto with = readPng(withRate);
        ASSERT_EQ(without.width, with.width);
        ASSERT_EQ(without.rgb.size(), with.rgb.size());
        // The readout: white letters on black in the top-left corner, at most 60 x 11 pixels.
        std::size_t lit = 0;
        std::size_t changedOutside = 0;
        for (int32_t y = 0; y < with.height; ++y) {
            for (int32_t x = 0; x < with.width; ++x) {
                auto at = static_cast<std::size_t>((y * with.width + x) * 3);
                bool inBox = x < 60 && y < 11;
                bool same = std::equal(with.rgb.begin() + at, with.rgb.begin() + at + 3,
                                       without.rgb.begin() + at);
                if (!inBox && !same) ++changedOutside;
                if (inBox && with.rgb[at] == 255 && with.rgb[at + 1] == 255 &&
                    with.rgb[at + 2] == 255)
                    ++lit;
            }
        }
        EXPECT_EQ(changedOutside, 0u);
        EXPECT_GT(lit, 20u);
        fs::remove(plain);
        fs::remove(withRate);
    }
}

TEST(SaverHeadless, OutputPathsAreSeenFromWhereTheSaverStarted) {
    TestSceneFolder scenes(Program::lumivale);
    std::string start = uniqueTempPath("-start");
    fs::create_directories(start);
    // The saver moves into its scene folder; a read-only install would refuse the files there.
    auto run = runChild("sh",
                        {"-c",
                         "cd \"$0\" && exec \"$1\" --headless 320x200 --duration 0.1 "
                         "--snapshot rel.png --record new/frames --scene-dir \"$2\"",
                         start, saverProgram(Program::lumivale), scenes.path()},
                        noDisplay);
    EXPECT_EQ(run.status, 0) << run.error;
    EXPECT_TRUE(fs::is_regular_file(fs::path(start) / "rel.png"));
    EXPECT_TRUE(fs::is_regular_file(fs::path(start) / "new/frames/frame-00000.png"));
    EXPECT_FALSE(fs::exists(fs::path(scenes.path()) / "rel.png"));

    auto refused = runChild(
        saverProgram(Program::lumivale),
        {"--headless", "--record", "/proc/no/such", "--scene-dir", scenes.path()}, noDisplay);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.error.find("cannot make the folder /proc/no/such"), std::string::npos)
        << refused.error;
    fs::remove_all(start);
}

// The saver children run under the same sanitizer settings as the tests, so that a leak or
// an error in a child fails the test that started it.
TEST(SaverShutdown, ChildrenInheritTheEnvironmentWithTheTestsChanges) {
    ::setenv("LUMIVALE_CHILD_CHECK", "inherited", 1);
    auto env = runChild("env", {}, {{"DISPLAY", std::nullopt}, {"LUMIVALE_ADDED", "added"}});
    ::unsetenv("LUMIVALE_CHILD_CHECK");
    ASSERT_EQ(env.status, 0) << env.error;
    std::string lines = "\n" + env.output;
    EXPECT_NE(lines.find("\nLUMIVALE_CHILD_CHECK=inherited\n"), std::string::npos);
    EXPECT_NE(lines.find("\nLUMIVALE_ADDED=added\n"), std::string::npos);
    EXPECT_EQ(lines.find("\nDISPLAY="), std::string::npos);
    if (const char* asan = std::getenv("ASAN_OPTIONS")) {
        EXPECT_NE(lines.find("\nASAN_OPTIONS=" + std::string(asan) + "\n"), std::string::npos);
    }
}

TEST(SaverProgram, AboutHelpAndBadArguments) {
    for (Program program : {Program::ideas, Program::lumivale}) {
        std::string saver = saverProgram(program);
        for (const char* about : {"--about", "/c"}) {
            auto shown = runChild(saver, {about}, noDisplay);
            EXPECT_EQ(shown.status, 0) << shown.error;
            EXPECT_NE(shown.output.find("Lumivale Screen Saver"), std::string::npos)
                << shown.output;
            EXPECT_NE(shown.output.find("Version 1.00.00"), std::string::npos);
        }

        auto help = runChild(saver, {"--help"}, noDisplay);
        EXPECT_EQ(help.status, 0);
        std::string title = program == Program::ideas ? "Lumivale Ideas" : "Lumivale";
        EXPECT_TRUE(help.output.starts_with(title + " screen saver\n")) << help.output;
        for (const char* mode : {"--window", "--fullscreen", "/p ID", "-window-id ID", "-root",
                                 "--headless", "--about", "--scene-dir", "--trace"}) {
            EXPECT_NE(help.output.find(mode), std::string::npos) << mode;
        }

        for (std::vector<std::string> bad :
             std::vector<std::vector<std::string>>{{"--bogus"},
                                                   {"-window-id"},
                                                   {"--headless", "--duration", "soon"},
                                                   {"--window", "--snapshot", "x.png"}}) {
            auto refused = runChild(saver, bad, noDisplay);
            EXPECT_EQ(refused.status, 2) << bad[0];
            EXPECT_NE(refused.error.find("--help"), std::string::npos) << refused.error;
        }
    }
}

}  // namespace
