// The savers on a real X display (a private Xvfb): drawing into windows other programs own,
// the desktop and full-screen windows, closing on input, and the end on a termination signal.
#include "tests/saver/SaverX.h"

namespace {

using namespace saver_x;
using namespace testing_support;
using namespace std::chrono_literals;
using Program = TestSceneFolder::Program;

TEST_F(SaverX, DrawsIntoAWindowItDidNotCreate) {
    std::string window = openForeignWindow("400x300");
    ASSERT_FALSE(window.empty()) << foreignOwner->standardError();
    auto saver = startSaver(Program::ideas, {"-window-id", window});
    // Placed for the foreign window's size.
    EXPECT_TRUE(saver->waitForOutput(" place 0 170 130 6\n", showLimit)) << saver->standardOutput();

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
    EXPECT_TRUE(saver->waitForOutput(" place 0 170 130 6\n", showLimit)) << saver->standardOutput();
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
    EXPECT_TRUE(full->waitForOutput(" place 0 290 220 6\n", showLimit)) << full->standardOutput();
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
