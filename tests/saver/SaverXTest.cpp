// The savers on a real X display (a private Xvfb): drawing into windows other programs own,
// the desktop and full-screen windows, closing on input, and the end on a termination signal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

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

// Generous: a loaded machine must never fail these; the times measured are printed.
constexpr auto endLimit = 3s;
constexpr auto showLimit = 10s;

bool inPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && ::access((fs::path(folder) / name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

class SaverX : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        for (const char* tool : {"Xvfb", "xev", "xdotool", "xwd", "xwininfo", "ffmpeg"}) {
            if (!inPath(tool)) {
                skipReason = std::string(tool) + " is not installed";
                return;
            }
        }
        // The server picks a free display itself and says which once it accepts clients.
        server = std::make_unique<ChildProcess>(
            "Xvfb", std::vector<std::string>{"-displayfd", "1", "-screen", "0", "640x480x24",
                                             "-nolisten", "tcp", "-noreset"});
        auto said = server->waitForOutput("\n", 10s);
        if (!said) {
            skipReason = "Xvfb did not start: " + server->standardError();
            server.reset();
            return;
        }
        display = ':' + said->substr(0, said->find('\n'));
    }

    static void TearDownTestSuite() {
        if (server) server->signal(SIGTERM);
        server.reset();
        display.clear();
    }

    void SetUp() override {
        if (display.empty()) GTEST_SKIP() << skipReason;
    }

    static EnvironmentChanges xEnvironment(const std::string& screenSaverWindow = {}) {
        // The private display has no session bus. Without an address the D-Bus library would
        // try to start one for it, leaving a daemon behind or, where it cannot, leaking.
        EnvironmentChanges changes{{"DISPLAY", display},
                                   {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"},
                                   {"WAYLAND_DISPLAY", std::nullopt},
                                   {"SDL_VIDEODRIVER", "x11"},
                                   {"XSCREENSAVER_WINDOW", std::nullopt}};
        if (!screenSaverWindow.empty()) changes["XSCREENSAVER_WINDOW"] = screenSaverWindow;
        return changes;
    }

    static int runX(const std::string& tool, const std::vector<std::string>& args) {
        return runChild(tool, args, xEnvironment()).status;
    }

    // A top-level window of another program (xev); its id as X tools write it.
    std::string openForeignWindow(const std::string& geometry) {
        foreignOwner = std::make_unique<ChildProcess>(
            "xev", std::vector<std::string>{"-geometry", geometry}, xEnvironment());
        auto said = foreignOwner->waitForOutput("inner window", 10s);
        std::smatch id;
        static const std::regex outer("Outer window is (0x[0-9a-fA-F]+)");
        if (!said || !std::regex_search(*said, id, outer)) return {};
        return id[1];
    }

    // Starts a saver on the display and waits until it has built its scene.
    std::unique_ptr<ChildProcess> startSaver(Program program, std::vector<std::string> args,
                                             const std::string& screenSaverWindow = {}) {
        scenes = std::make_unique<TestSceneFolder>(program);
        args.insert(args.end(), {"--trace", "--scene-dir", scenes->path()});
        auto saver = std::make_unique<ChildProcess>(saverProgram(program), args,
                                                    xEnvironment(screenSaverWindow));
        EXPECT_TRUE(saver->waitForOutput(" place ", showLimit)) << saver->standardError();
        return saver;
    }

    // A picture of an X window ("root" for the whole screen), through xwd and ffmpeg.
    static RgbPicture screenshot(const std::string& window) {
        std::string dump = uniqueTempPath(".xwd");
        std::string png = uniqueTempPath(".png");
        std::vector<std::string> which{"-root"};
        if (window != "root") which = {"-id", window};
        which.insert(which.end(), {"-nobdrs", "-silent", "-out", dump});
        RgbPicture picture;
        if (runX("xwd", which) == 0 &&
            // The dump's fourth byte is not an alpha channel: it must not blend the picture.
            runChild("ffmpeg", {"-loglevel", "error", "-y", "-i", dump, "-pix_fmt", "rgb24", png})
                    .status == 0) {
            picture = readPng(png);
        }
        fs::remove(dump);
        fs::remove(png);
        return picture;
    }

    // Takes pictures of `window` until the colour of the scene file `name` shows in one, or the
    // limit passes; the last picture.
    RgbPicture waitForColour(const std::string& window, const std::string& name) const {
        SceneFileInfo file = scenes->file(name);
        auto deadline = std::chrono::steady_clock::now() + showLimit;
        RgbPicture picture = screenshot(window);
        while (pixelsOfColour(picture, file) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ADD_FAILURE() << name << " never showed in window " << window;
                break;
            }
            std::this_thread::sleep_for(50ms);
            picture = screenshot(window);
        }
        return picture;
    }

    // Sends `signal` and expects a quiet, clean and prompt end; prints how long it took.
    static void expectCleanEnd(ChildProcess& saver, int signal, const std::string& mode) {
        auto end = endWithSignal(saver, signal, endLimit);
        ASSERT_TRUE(end.ended) << mode << ": still running " << endLimit.count() << " s after "
                               << strsignal(signal);
        std::string name = mode + (signal == SIGTERM ? "_sigterm_ms" : "_sigint_ms");
        RecordProperty(name, std::to_string(end.milliseconds));
        std::cout << name << " " << end.milliseconds << "\n";
        EXPECT_EQ(saver.exitStatus(), 0) << mode << " ended by signal " << saver.endingSignal();
        EXPECT_FALSE(holdsReport(saver.standardError())) << saver.standardError();
    }

    static inline std::unique_ptr<ChildProcess> server;
    static inline std::string display;
    static inline std::string skipReason;

    std::unique_ptr<ChildProcess> foreignOwner;
    std::unique_ptr<TestSceneFolder> scenes;
};

TEST_F(SaverX, DrawsIntoAWindowItDidNotCreate) {
    std::string window = openForeignWindow("400x300");
    ASSERT_FALSE(window.empty()) << foreignOwner->standardError();
    auto saver = startSaver(Program::ideas, {"-window-id", window});
    // Placed for the foreign window's size.
    EXPECT_NE(saver->standardOutput().find(" place 0 170 130 6\n"), std::string::npos)
        << saver->standardOutput();

    auto picture = waitForColour(window, "Cyber3.flc");
    ASSERT_EQ(picture.width, 400);
    ASSERT_EQ(picture.height, 300);
    // The corner sprites never move: Cyber3 top right, Cyber1 on the right a third down,
    // Cyber2 bottom left.
    EXPECT_TRUE(showsColourAt(picture, 390, 10, scenes->file("Cyber3.flc")));
    EXPECT_TRUE(showsColourAt(picture, 385, 110, scenes->file("Cyber1.flc")));
    EXPECT_TRUE(showsColourAt(picture, 12, 292, scenes->file("Cyber2.flc")));
    EXPECT_GT(pixelsOfColour(picture, scenes->file("Lvfin6.flc")), 0u);

    expectCleanEnd(*saver, SIGTERM, "window_id");
    // The window still belongs to its owner.
    EXPECT_EQ(runX("xwininfo", {"-id", window}), 0);
}

TEST_F(SaverX, PreviewIntoASmallWindowEndsOnSigint) {
    std::string window = openForeignWindow("200x150");
    ASSERT_FALSE(window.empty()) << foreignOwner->standardError();
    auto saver = startSaver(Program::lumivale, {"/p", window});
    auto trace = traceLines(saver->standardOutput());
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_TRUE(trace[0].ends_with(" place 0 0 0 4")) << trace[0];

    auto picture = waitForColour(window, "Setupimg.flc");
    EXPECT_TRUE(showsColourAt(picture, 3, 20, scenes->file("Setupimg.flc")));
    for (const char* full : {"SSaver11.flc", "SSaver06.flc", "SSaver13.flc"})
        EXPECT_EQ(pixelsOfColour(picture, scenes->file(full)), 0u) << full;

    expectCleanEnd(*saver, SIGINT, "preview");
}

TEST_F(SaverX, RootDrawsIntoTheWindowTheDaemonHandsOver) {
    std::string window = openForeignWindow("400x300");
    ASSERT_FALSE(window.empty()) << foreignOwner->standardError();
    auto saver = startSaver(Program::ideas, {"-root"}, window);
    // The handed-over window's size, not the 640x480 screen's.
    EXPECT_NE(saver->standardOutput().find(" place 0 170 130 6\n"), std::string::npos)
        << saver->standardOutput();
    auto picture = waitForColour(window, "Cyber3.flc");
    EXPECT_TRUE(showsColourAt(picture, 390, 10, scenes->file("Cyber3.flc")));
    expectCleanEnd(*saver, SIGTERM, "root");
}

TEST_F(SaverX, DesktopAndFullScreenWindowsEndOnSigterm) {
    auto windowed = startSaver(Program::lumivale, {"--window", "320x200"});
    waitForColour("root", "SSaver11.flc");
    expectCleanEnd(*windowed, SIGTERM, "window");

    auto full = startSaver(Program::ideas, {"--fullscreen"});
    // The whole 640x480 screen: sprite 0 (60x40) in its middle.
    EXPECT_NE(full->standardOutput().find(" place 0 290 220 6\n"), std::string::npos)
        << full->standardOutput();
    auto picture = waitForColour("root", "Cyber3.flc");
    EXPECT_TRUE(showsColourAt(picture, 630, 10, scenes->file("Cyber3.flc")));
    expectCleanEnd(*full, SIGTERM, "fullscreen");
}

TEST_F(SaverX, FullScreenIgnoresSmallMovesAndClosesOnALargerOne) {
    ASSERT_EQ(runX("xdotool", {"mousemove", "100", "100"}), 0);
    auto saver = startSaver(Program::ideas, {"--fullscreen"});
    waitForColour("root", "Cyber3.flc");

    // 3 + 1 pixels away from where the pointer was at the start.
    ASSERT_EQ(runX("xdotool", {"mousemove", "103", "101"}), 0);
    EXPECT_FALSE(saver->waitFor(700ms)) << "closed on a move of 4 pixels";
    // 5 pixels away from the start, though only 3 from the last position.
    ASSERT_EQ(runX("xdotool", {"mousemove", "105", "100"}), 0);
    ASSERT_TRUE(saver->waitFor(endLimit)) << "still running after a move of 5 pixels";
    EXPECT_EQ(saver->exitStatus(), 0) << saver->standardError();
    EXPECT_FALSE(holdsReport(saver->standardError())) << saver->standardError();
}

TEST_F(SaverX, FullScreenClosesOnAKey) {
    auto saver = startSaver(Program::lumivale, {"--fullscreen"});
    waitForColour("root", "SSaver11.flc");
    ASSERT_EQ(runX("xdotool", {"key", "a"}), 0);
    ASSERT_TRUE(saver->waitFor(endLimit)) << "still running after a key";
    EXPECT_EQ(saver->exitStatus(), 0) << saver->standardError();
    EXPECT_FALSE(holdsReport(saver->standardError())) << saver->standardError();
}

}  // namespace
