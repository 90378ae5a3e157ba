#include "saver/host/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

HostOptions parse(std::vector<std::string_view> args, const char* env = nullptr) {
    return parseCommandLine(args, env);
}

TEST(CommandLine, ModesAndSizes) {
    auto none = parse({});
    EXPECT_EQ(none.mode, HostOptions::Mode::window);
    EXPECT_TRUE(none.error.empty());

    auto window = parse({"--window", "320x200"});
    EXPECT_EQ(window.mode, HostOptions::Mode::window);
    EXPECT_EQ(window.width, 320);
    EXPECT_EQ(window.height, 200);

    auto headless = parse({"--headless", "--duration", "2.5", "--snapshot", "a.png"});
    EXPECT_EQ(headless.mode, HostOptions::Mode::headless);
    EXPECT_EQ(headless.width, 640);
    EXPECT_EQ(headless.height, 480);
    EXPECT_EQ(headless.durationMs, 2500u);
    EXPECT_EQ(headless.snapshotPath, "a.png");
    EXPECT_FALSE(headless.present);
    EXPECT_TRUE(parse({"--headless", "--present"}).present);

    EXPECT_EQ(parse({"/s"}).mode, HostOptions::Mode::fullscreen);
    EXPECT_EQ(parse({"/c"}).mode, HostOptions::Mode::about);
    EXPECT_EQ(parse({"--about"}).mode, HostOptions::Mode::about);
    EXPECT_EQ(parse({"--window", "--help"}).mode, HostOptions::Mode::help);
}

TEST(CommandLine, ForeignWindows) {
    auto preview = parse({"/p", "12345"});
    EXPECT_EQ(preview.mode, HostOptions::Mode::preview);
    EXPECT_EQ(preview.windowId, 12345u);

    auto embedded = parse({"-window-id", "0x2a00007"});
    EXPECT_EQ(embedded.mode, HostOptions::Mode::embedded);
    EXPECT_EQ(embedded.windowId, 0x2a00007u);
    EXPECT_FALSE(embedded.rootWindow);

    auto root = parse({"-root"});
    EXPECT_TRUE(root.rootWindow);
    auto handedOver = parse({"-root"}, "0x400001");
    EXPECT_FALSE(handedOver.rootWindow);
    EXPECT_EQ(handedOver.windowId, 0x400001u);
    EXPECT_TRUE(parse({"-root"}, "garbage").rootWindow);
    // Started by the daemon without a mode: its window all the same.
    auto daemon = parse({"--fps"}, "0x400001");
    EXPECT_EQ(daemon.mode, HostOptions::Mode::embedded);
    EXPECT_EQ(daemon.windowId, 0x400001u);
    EXPECT_EQ(parse({"--window"}, "0x400001").mode, HostOptions::Mode::window);
}

TEST(CommandLine, RefusesWhatItCannotDo) {
    EXPECT_FALSE(parse({"/p"}).error.empty());
    EXPECT_FALSE(parse({"-window-id", "zero"}).error.empty());
    EXPECT_FALSE(parse({"--duration", "-1", "--headless"}).error.empty());
    EXPECT_FALSE(parse({"--snapshot", "a.png"}).error.empty());  // needs --headless
    EXPECT_FALSE(parse({"--present"}).error.empty());
    EXPECT_FALSE(parse({"--bogus"}).error.empty());
    EXPECT_FALSE(parse({"--scene-dir"}).error.empty());
    // A size that does not parse is not taken as a size.
    auto window = parse({"--window", "0x10"});
    EXPECT_FALSE(window.error.empty());
    EXPECT_EQ(window.width, 800);
}

TEST(CommandLine, OptionsOtherScreenSaversShare) {
    auto shared = parse({"-root", "-fps", "-delay", "20000", "--display", ":3", "--scale", "2"});
    EXPECT_TRUE(shared.error.empty()) << shared.error;
    EXPECT_TRUE(shared.frameRate);
    EXPECT_EQ(shared.display, ":3");
    EXPECT_EQ(shared.scale, 2);
    EXPECT_EQ(parse({"--scale", "auto"}).scale, 0);
    EXPECT_EQ(parse({}).scale, 1);
    for (std::vector<std::string_view> bad :
         std::vector<std::vector<std::string_view>>{{"--scale", "0"},
                                                    {"--scale", "9"},
                                                    {"--scale", "2x"},
                                                    {"--delay", "-5"},
                                                    {"--delay"},
                                                    {"-display"}})
        EXPECT_FALSE(parse(bad).error.empty()) << bad[0];

    std::string help = usageText("lumivale", "Lumivale");
    for (const char* listed :
         {"--root", "--window-id ID", "--fps", "--scale N|auto", "--display NAME", "--delay N"})
        EXPECT_NE(help.find(listed), std::string::npos) << listed;
}

TEST(CommandLine, SizeErrorsSayWhatIsWrong) {
    EXPECT_EQ(parse({"--window", "0x0"}).error,
              "--window: the size 0x0 has no area (width and height start at 1)");
    EXPECT_EQ(parse({"--headless", "99999x99999"}).error,
              "--headless: the size 99999x99999 is too large (at most 8192x8192)");
    EXPECT_EQ(parse({"--headless", "8193x10"}).error,
              "--headless: the size 8193x10 is too large (at most 8192x8192)");
    auto largest = parse({"--headless", "8192x8192"});
    EXPECT_TRUE(largest.error.empty()) << largest.error;
    EXPECT_EQ(largest.width, 8192);
    // Digits that overflow are too large too, not garbage.
    EXPECT_NE(parse({"--window", "99999999999x1"}).error.find("too large"), std::string::npos);
}

}  // namespace
