// The pictures the README shows are what the savers draw with their demo scenes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/PngRead.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFile.h"

namespace {

void expectSnapshotMatches(const std::string& program, const std::string& documented,
                           const std::string& options = "") {
    std::string snapshot = testing_support::uniqueTempPath(".png");
    // From a folder without scene files, so that the demo scenes beside the program are used.
    auto run = testing_support::runCommand(
        "cd / && " + testing_support::builtProgram("saver/" + program) +
        " --headless 640x480 --duration 10 --snapshot " + snapshot + options);
    ASSERT_EQ(run.status, 0) << run.output;
    auto drawn = testing_support::readPng(snapshot);
    auto shown = testing_support::readPng(std::string(LUMIVALE_SOURCE_DIR) + "/docs/" + documented);
    std::filesystem::remove(snapshot);
    ASSERT_EQ(drawn.width, 640);
    ASSERT_EQ(drawn.height, 480);
    EXPECT_TRUE(drawn.rgb == shown.rgb) << documented << " differs from what " << program
                                        << " draws now: run it headless and update the picture";
}

TEST(DemoSnapshot, LumivaleIdeasAfterTenSimulatedSeconds) {
    expectSnapshotMatches("lumivale-ideas", "lumivale-ideas-640x480.png");
}

TEST(DemoSnapshot, LumivaleAfterTenSimulatedSeconds) {
    expectSnapshotMatches("lumivale", "lumivale-640x480.png");
}

// Showing every frame on a screen leaves the scene's pixels as they are.
TEST(DemoSnapshot, BothSaversPresentedOnAScreen) {
    expectSnapshotMatches("lumivale-ideas", "lumivale-ideas-640x480.png", " --present");
    expectSnapshotMatches("lumivale", "lumivale-640x480.png",
                          " --headless 1280x960 --present --scale 2");
}

}  // namespace
