#pragma once
// The fixture of the tests that run the savers on a real X display: a private Xvfb for the
// whole suite, windows of other programs, screenshots, and the end on a signal.
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

namespace saver_x {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace testing_support;
using Program = TestSceneFolder::Program;

// Generous: a loaded machine must never fail these; the times measured are printed.
constexpr auto endLimit = 3s;
constexpr auto showLimit = 10s;

inline bool inPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && ::access((fs::path(folder) / name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

class SaverX : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { startServer({}); }

    // Starts the suite's server with `options` besides the usual ones.
    static void startServer(const std::vector<std::string>& options) {
        for (const char* tool : {"Xvfb", "xev", "xdotool", "xwd", "xwininfo", "ffmpeg"}) {
            if (!inPath(tool)) {
                skipReason = std::string(tool) + " is not installed";
                return;
            }
        }
        // The server picks a free display itself and says which once it accepts clients.
        std::vector<std::string> args{"-displayfd", "1",         "-screen", "0",
                                      "640x480x24", "-nolisten", "tcp",     "-noreset"};
        args.insert(args.end(), options.begin(), options.end());
        server = std::make_unique<ChildProcess>("Xvfb", args);
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

    // The id and the place on the screen of the top-level window titled `title`.
    struct Placed {
        std::string id;
        int32_t x = 0;
        int32_t y = 0;
    };
    static Placed findWindow(const std::string& title) {
        auto info = runChild("xwininfo", {"-name", title}, xEnvironment());
        std::smatch id;
        std::smatch x;
        std::smatch y;
        static const std::regex idLine("Window id: (0x[0-9a-fA-F]+)");
        static const std::regex xLine("Absolute upper-left X: +(-?[0-9]+)");
        static const std::regex yLine("Absolute upper-left Y: +(-?[0-9]+)");
        if (!std::regex_search(info.output, id, idLine) ||
            !std::regex_search(info.output, x, xLine) || !std::regex_search(info.output, y, yLine))
            return {};
        return {id[1], std::stoi(x[1]), std::stoi(y[1])};
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

    // A scene file's colour expected at a point of a picture.
    struct Spot {
        int32_t x;
        int32_t y;
        const char* name;
    };

    // Takes pictures of `window` until every spot shows its colour, or the limit passes; the
    // last picture. A repaint after a resize may still be under way in the first ones.
    RgbPicture waitForColoursAt(const std::string& window, std::vector<Spot> spots) const {
        auto shows = [&](const RgbPicture& picture) {
            for (const Spot& spot : spots) {
                if (!showsColourAt(picture, spot.x, spot.y, scenes->file(spot.name))) return false;
            }
            return true;
        };
        auto deadline = std::chrono::steady_clock::now() + showLimit;
        RgbPicture picture = screenshot(window);
        while (!shows(picture) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(50ms);
            picture = screenshot(window);
        }
        return picture;
    }

    // Sends `signal` and expects a quiet, clean and prompt end by that signal; prints how long
    // it took.
    static void expectCleanEnd(ChildProcess& saver, int signal, const std::string& mode) {
        auto end = endWithSignal(saver, signal, endLimit);
        ASSERT_TRUE(end.ended) << mode << ": still running " << endLimit.count() << " s after "
                               << strsignal(signal);
        std::string name = mode + (signal == SIGTERM ? "_sigterm_ms" : "_sigint_ms");
        RecordProperty(name, std::to_string(end.milliseconds));
        std::cout << name << " " << end.milliseconds << "\n";
        // After the clean end the saver ends by the signal, as hosts expect of a hack.
        EXPECT_EQ(saver.endingSignal(), signal) << mode << " exited with " << saver.exitStatus();
        EXPECT_FALSE(holdsReport(saver.standardError())) << saver.standardError();
    }

    static inline std::unique_ptr<ChildProcess> server;
    static inline std::string display;
    static inline std::string skipReason;

    std::unique_ptr<ChildProcess> foreignOwner;
    std::unique_ptr<TestSceneFolder> scenes;
};

}  // namespace saver_x
