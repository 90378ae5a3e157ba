// The savers under what desktops do to their windows: a change of size, parts uncovered, the
// window destroyed or never there, and termination signals in states other than running.
#include <array>
#include <fstream>

#include "tests/saver/SaverX.h"

namespace {

using namespace saver_x;

class SaverXFaults : public SaverX {};

// "T place 0 X Y 6" with sprite 0 (60x40) centred in a client area of width × height.
std::string centredPlace(int32_t width, int32_t height) {
    return " place 0 " + std::to_string((width - 60) / 2) + " " +
           std::to_string((height - 40) / 2) + " 6\n";
}

TEST_F(SaverXFaults, ADesktopWindowThatShrinksAndGrowsFollowsItsSize) {
    auto saver = startSaver(Program::ideas, {"--window", "400x300"});
    Placed window = findWindow("Lumivale Ideas");
    ASSERT_FALSE(window.id.empty());

    // A smaller window: nothing may be pushed past its new edge.
    ASSERT_EQ(runX("xdotool", {"windowsize", window.id, "320", "200"}), 0);
    EXPECT_TRUE(saver->waitForOutput(centredPlace(320, 200), showLimit)) << saver->standardOutput();
    ASSERT_EQ(runX("xdotool", {"windowsize", window.id, "480", "360"}), 0);
    EXPECT_TRUE(saver->waitForOutput(centredPlace(480, 360), showLimit)) << saver->standardOutput();

    // The corner sprites at the corners of the larger window.
    auto picture = waitForColoursAt("root", {{window.x + 470, window.y + 10, "Cyber3.flc"},
                                             {window.x + 12, window.y + 352, "Cyber2.flc"}});
    EXPECT_TRUE(showsColourAt(picture, window.x + 470, window.y + 10, scenes->file("Cyber3.flc")));
    EXPECT_TRUE(showsColourAt(picture, window.x + 12, window.y + 352, scenes->file("Cyber2.flc")));
    EXPECT_EQ(saver->standardError().find("X error"), std::string::npos) << saver->standardError();
    expectCleanEnd(*saver, SIGTERM, "resized_window");
}

TEST_F(SaverXFaults, AForeignWindowThatGrowsGetsTheSceneLaidOutAnew) {
    std::string window = openForeignWindow("400x300");
    ASSERT_FALSE(window.empty()) << foreignOwner->standardError();
    auto saver = startSaver(Program::ideas, {"-window-id", window});
    waitForColour(window, "Cyber3.flc");

    ASSERT_EQ(runX("xdotool", {"windowsize", window, "600", "400"}), 0);
    EXPECT_TRUE(saver->waitForOutput(centredPlace(600, 400), showLimit)) << saver->standardOutput();
    // Laid out as on creation: Cyber3 in the new top right corner.
    EXPECT_TRUE(saver->waitForOutput(" place 3 580 0 4\n", showLimit));

    auto picture = waitForColoursAt(window, {{590, 10, "Cyber3.flc"}, {12, 392, "Cyber2.flc"}});
    ASSERT_EQ(picture.width, 600);
    EXPECT_TRUE(showsColourAt(picture, 590, 10, scenes->file("Cyber3.flc")));
    EXPECT_TRUE(showsColourAt(picture, 12, 392, scenes->file("Cyber2.flc")));
    expectCleanEnd(*saver, SIGTERM, "resized_window_id");
}

TEST_F(SaverXFaults, UncoveredPartsOfAForeignWindowAreRepainted) {
    std::string window = openForeignWindow("400x300+0+0");
    ASSERT_FALSE(window.empty()) << foreignOwner->standardError();
    auto saver = startSaver(Program::ideas, {"-window-id", window});
    waitForColour(window, "Cyber3.flc");

    // Another window over the top right corner, where Cyber3 stands paused; then it goes.
    {
        ChildProcess cover("xev", {"-geometry", "100x100+300+0"}, xEnvironment());
        ASSERT_TRUE(cover.waitForOutput("MapNotify", showLimit)) << cover.standardError();
    }
    auto deadline = std::chrono::steady_clock::now() + 2s;
    RgbPicture picture = screenshot(window);
    while (!showsColourAt(picture, 390, 10, scenes->file("Cyber3.flc")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
        picture = screenshot(window);
    }
    EXPECT_TRUE(showsColourAt(picture, 390, 10, scenes->file("Cyber3.flc")));
    EXPECT_TRUE(showsColourAt(picture, 385, 110, scenes->file("Cyber1.flc")));
    expectCleanEnd(*saver, SIGTERM, "exposed_window_id");
}

TEST_F(SaverXFaults, ScaleTwoShowsBlocksAndTheRateReadout) {
    std::string window = openForeignWindow("600x400+0+0");
    ASSERT_FALSE(window.empty()) << foreignOwner->standardError();
    auto saver = startSaver(Program::ideas, {"-window-id", window, "--scale", "2", "--fps"});
    // The stage is 300 x 200: the full scene, laid out for that size. The saver may still be
    // writing the lines when the first has arrived.
    EXPECT_TRUE(saver->waitForOutput(centredPlace(300, 200), showLimit)) << saver->standardOutput();
    EXPECT_TRUE(saver->waitForOutput(" place 3 280 0 4\n", showLimit)) << saver->standardOutput();

    auto picture = waitForColoursAt(window, {{590, 30, "Cyber3.flc"}, {20, 390, "Cyber2.flc"}});
    ASSERT_EQ(picture.width, 600);
    EXPECT_TRUE(showsColourAt(picture, 590, 30, scenes->file("Cyber3.flc")));
    EXPECT_TRUE(showsColourAt(picture, 20, 390, scenes->file("Cyber2.flc")));
    // Every stage pixel is a 2 x 2 block (right of the owner's own small child window).
    std::size_t broken = 0;
    auto colour = [&](int32_t x, int32_t y) {
        auto at = static_cast<std::size_t>((y * picture.width + x) * 3);
        return std::array{picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]};
    };
    for (int32_t y = 0; y + 1 < picture.height; y += 2) {
        for (int32_t x = 100; x + 1 < picture.width; x += 2) {
            auto block = colour(x, y);
            if (colour(x + 1, y) != block || colour(x, y + 1) != block ||
                colour(x + 1, y + 1) != block)
                ++broken;
        }
    }
    EXPECT_EQ(broken, 0u);
    // The readout's white letters in the top-left corner, above the owner's child window.
    std::size_t lit = 0;
    for (int32_t y = 0; y < 14; ++y) {
        for (int32_t x = 0; x < 100; ++x) {
            if (colour(x, y) == std::array<uint8_t, 3>{255, 255, 255}) ++lit;
        }
    }
    EXPECT_GT(lit, 40u);
    expectCleanEnd(*saver, SIGTERM, "scaled_window_id");
}

TEST_F(SaverXFaults, ADestroyedWindowEndsTheSaver) {
    std::string window = openForeignWindow("400x300");
    ASSERT_FALSE(window.empty()) << foreignOwner->standardError();
    auto saver = startSaver(Program::lumivale, {"-window-id", window});
    waitForColour(window, "SSaver11.flc");

    auto destroyed = std::chrono::steady_clock::now();
    ASSERT_TRUE(foreignOwner->signal(SIGTERM));
    ASSERT_TRUE(saver->waitFor(endLimit)) << "still running after its window went";
    double ms = std::chrono::duration<double, std::milli>(saver->endedAt() - destroyed).count();
    std::cout << "destroyed_window_end_ms " << ms << "\n";
    RecordProperty("destroyed_window_end_ms", std::to_string(ms));
    EXPECT_EQ(saver->exitStatus(), 0) << saver->standardError();
    EXPECT_FALSE(holdsReport(saver->standardError())) << saver->standardError();
}

TEST_F(SaverXFaults, AWindowThatDoesNotExistIsAClearError) {
    TestSceneFolder folder(Program::ideas);
    // Each run once read the size of the missing window from uninitialised memory.
    for (int run = 0; run < 12; ++run) {
        auto refused =
            runChild(saverProgram(Program::ideas),
                     {"-window-id", "0xdeadbeef", "--scene-dir", folder.path()}, xEnvironment());
        ASSERT_EQ(refused.status, 1) << refused.error;
        EXPECT_NE(refused.error.find("no such window: 0xdeadbeef"), std::string::npos)
            << refused.error;
    }
}

TEST_F(SaverXFaults, SigtermEndsTheAboutBoxAndLeavesNothingBehind) {
    // SDL shows message boxes through a dialog program it starts; this one stays open until
    // it is ended, as a box nobody closes does.
    std::string tools = uniqueTempPath("-bin");
    fs::create_directories(tools);
    {
        std::ofstream dialog(fs::path(tools) / "zenity");
        dialog << "#!/bin/sh\nexec sleep 600\n";
    }
    fs::permissions(fs::path(tools) / "zenity", fs::perms::owner_all);
    std::string tag = fs::path(tools).filename().string();
    auto environment = xEnvironment();
    environment["LUMIVALE_TEST_TAG"] = tag;
    environment["PATH"] = tools + ":" + std::getenv("PATH");
    ChildProcess about(saverProgram(Program::lumivale), {"--about"}, environment);

    // The saver and its dialog, seen on a few looks in a row: on the way to the dialog a
    // process that starts it may come and go.
    auto deadline = std::chrono::steady_clock::now() + showLimit;
    std::size_t running = 0;
    for (int steady = 0; steady < 3 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(20ms);
        running = processesWithEnvironment("LUMIVALE_TEST_TAG=" + tag);
        steady = running == 2 ? steady + 1 : 0;
    }
    ASSERT_EQ(running, 2u) << about.standardError();

    expectCleanEnd(about, SIGTERM, "about");
    // The dialog is ended by the saver, but a loaded machine may take a while to reap it.
    deadline = std::chrono::steady_clock::now() + endLimit;
    while (processesWithEnvironment("LUMIVALE_TEST_TAG=" + tag) > 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(processesWithEnvironment("LUMIVALE_TEST_TAG=" + tag), 0u);
    fs::remove_all(tools);
}

TEST_F(SaverXFaults, SigtermEndsASaverWhoseStageNeverAnimates) {
    // No file opens: no sprite ever gets a tick interval, and the thread waits for one.
    std::string empty = uniqueTempPath("-scenes");
    fs::create_directories(empty);
    ChildProcess saver(saverProgram(Program::ideas), {"--window", "320x200", "--scene-dir", empty},
                       xEnvironment());
    auto deadline = std::chrono::steady_clock::now() + showLimit;
    while (saver.standardError().find("File open error") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(saver.running()) << saver.standardError();
    auto end = endWithSignal(saver, SIGTERM, endLimit);
    ASSERT_TRUE(end.ended);
    std::cout << "never_animating_sigterm_ms " << end.milliseconds << "\n";
    RecordProperty("never_animating_sigterm_ms", std::to_string(end.milliseconds));
    EXPECT_EQ(saver.endingSignal(), SIGTERM) << saver.exitStatus();
    fs::remove_all(empty);
}

}  // namespace
