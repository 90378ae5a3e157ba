#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/AviClip.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFile.h"

using testing_support::builtProgram;
using testing_support::runCommand;

namespace {

const std::string avigen = builtProgram("tools/avigen/avigen");

TEST(AvigenCommand, WritesAClipTheReaderPlays) {
    const std::string out = testing_support::uniqueTempPath(".avi");
    auto written = runCommand(avigen + " spin " + out +
                              " --codec video1 --size 36x20 --frames 9 --key 4 --fps 25 --sound");
    ASSERT_EQ(written.status, 0) << written.output;
    testing_support::AviClip clip(out);
    ASSERT_TRUE(clip.isOpen());
    EXPECT_EQ(clip.avi.frameCount, 9);
    EXPECT_EQ(clip.avi.width, 36);
    EXPECT_EQ(clip.avi.frameTime, 40);
    EXPECT_EQ(clip.avi.mImage::count, 1);
    EXPECT_TRUE(testing_support::decodeClip(out));
    std::filesystem::remove(out);
}

TEST(AvigenCommand, WrongCommandLinesExitWith2) {
    for (const char* args : {"", "spin", "nosuch out.avi", "spin out.avi --codec cinepak",
                             "spin out.avi --size 20", "spin out.avi --frames"}) {
        auto result = runCommand(avigen + " " + args);
        EXPECT_EQ(result.status, 2) << args << ": " << result.output;
    }
}

}  // namespace
