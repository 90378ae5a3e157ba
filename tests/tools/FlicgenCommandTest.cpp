// The flicgen command: its arguments, its help, and the files it writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/FlicLayout.h"
#include "tools/flicgen/CommandLine.h"
#include "tools/flicgen/FlicWriter.h"
#include "tools/flicgen/Patterns.h"

using namespace flicgen;

namespace {

CommandLine parse(std::vector<std::string_view> args) {
    return parseCommandLine(args);
}

TEST(FlicgenCommandLine, DefaultsAndEveryOption) {
    CommandLine plain = parse({"pattern", "shapes", "out.flc"});
    EXPECT_EQ(plain.action, CommandLine::Action::Pattern);
    EXPECT_EQ(plain.pattern, "shapes");
    EXPECT_EQ(plain.output, "out.flc");
    EXPECT_EQ(plain.width, 320);
    EXPECT_EQ(plain.height, 200);
    EXPECT_EQ(plain.frames, 30);
    EXPECT_EQ(plain.format, FlicFormat::Flc);
    EXPECT_EQ(plain.speed(), 70u);
    EXPECT_FALSE(plain.postageStamp);
    EXPECT_TRUE(plain.fileOptions.frameOffsets);
    EXPECT_FALSE(plain.fileOptions.prefixChunk);

    CommandLine all = parse({"pattern", "--size", "33x17", "spin", "--frames", "5", "--fli",
                             "out.fli", "--speed", "100", "--stamp", "--no-offsets", "--prefix"});
    EXPECT_EQ(all.pattern, "spin");
    EXPECT_EQ(all.output, "out.fli");
    EXPECT_EQ(all.width, 33);
    EXPECT_EQ(all.height, 17);
    EXPECT_EQ(all.frames, 5);
    EXPECT_EQ(all.format, FlicFormat::Fli);
    EXPECT_EQ(all.speed(), 7u);  // 100 ms in 1/70 s
    EXPECT_TRUE(all.postageStamp);
    EXPECT_FALSE(all.fileOptions.frameOffsets);
    EXPECT_TRUE(all.fileOptions.prefixChunk);

    EXPECT_EQ(parse({"pattern", "noise", "a", "--fli", "--speed", "1"}).speed(), 1u);
    EXPECT_EQ(parse({"pattern", "noise", "a", "--fli", "--speed", "60000"}).speed(), 4200u);
    EXPECT_EQ(parse({"list"}).action, CommandLine::Action::List);
    EXPECT_EQ(parse({"pattern", "nothing", "--help"}).action, CommandLine::Action::Help);
}

TEST(FlicgenCommandLine, RefusesBadArguments) {
    const std::vector<std::vector<std::string_view>> bad{
        {},
        {"draw"},
        {"list", "x"},
        {"pattern", "shapes"},
        {"pattern", "circles", "out.flc"},
        {"pattern", "shapes", "out.flc", "extra"},
        {"pattern", "shapes", "out.flc", "--size", "0x5"},
        {"pattern", "shapes", "out.flc", "--size", "4097x5"},
        {"pattern", "shapes", "out.flc", "--size", "12"},
        {"pattern", "shapes", "out.flc", "--frames"},
        {"pattern", "shapes", "out.flc", "--frames", "3x"},
        {"pattern", "shapes", "out.flc", "--speed", "0"},
        {"pattern", "shapes", "out.flc", "--loud"},
    };
    for (const auto& args : bad)
        EXPECT_THROW(parse(args), std::invalid_argument) << args.size();
}

TEST(FlicgenCommandLine, HelpNamesEveryOptionAndPattern) {
    std::string help = usage();
    const std::vector<std::vector<std::string_view>> options{
        {"--size", "7x7"}, {"--frames", "7"}, {"--speed", "7"}, {"--fli"},
        {"--stamp"},       {"--no-offsets"},  {"--prefix"}};
    for (const auto& option : options) {
        EXPECT_NE(help.find(option[0]), std::string::npos) << option[0];
        std::vector<std::string_view> args{"pattern", "shapes", "x"};
        args.insert(args.end(), option.begin(), option.end());
        EXPECT_NO_THROW(parse(args)) << option[0] << " is not accepted as the help says";
    }
    for (const Pattern& p : patterns())
        EXPECT_NE(help.find(p.name), std::string::npos) << p.name;
}

// The command's file is the one the library makes from the same pattern.
TEST(FlicgenCommand, WritesThePatternItNames) {
    auto tool = std::filesystem::path(LUMIVALE_BINARY_DIR) / "tools" / "flicgen" / "flicgen";
    auto dir = std::filesystem::path(LUMIVALE_BINARY_DIR) / "test-files" / "flicgen";
    std::filesystem::create_directories(dir);
    auto out = dir / "kinds.fli";
    std::filesystem::remove(out);
    std::string command = tool.string() + " pattern kinds " + out.string() +
                          " --size 36x20 --frames 9 --fli --speed 100 --stamp --prefix";
    ASSERT_EQ(std::system((command + " >/dev/null").c_str()), 0) << command;

    FlicWriter writer(36, 20, FlicFormat::Fli, 7, {.frameOffsets = true, .prefixChunk = true});
    PatternFrame frame;
    for (int k = 0; k < 9; ++k) {
        findPattern("kinds")->render(36, 20, k, 9, frame);
        if (k == 0) frame.options.postageStamp = true;
        writer.addFrame(frame.pixels, frame.palette, frame.options);
    }
    EXPECT_EQ(testing_support::readBytes(out), writer.build());

    EXPECT_EQ(std::system((tool.string() + " --help >/dev/null").c_str()), 0);
    EXPECT_NE(std::system((tool.string() + " pattern nothing x 2>/dev/null").c_str()), 0);
    EXPECT_NE(
        std::system((tool.string() + " pattern shapes /nonexistent-dir/x.flc 2>/dev/null").c_str()),
        0);
}

}  // namespace
