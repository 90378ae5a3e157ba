#include "saver/host/AboutBox.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/platform/Module.h"
#include "saver/host/ScreenSaverLibrary.h"

namespace {

// Without a display the box is written to standard output, where the test can read it.
class NoDisplay {
  public:
    NoDisplay() {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (const char* value = std::getenv(names[i])) saved[i] = value;
            ::unsetenv(names[i]);
        }
    }
    ~NoDisplay() {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (saved[i]) ::setenv(names[i], saved[i]->c_str(), 1);
        }
    }

  private:
    static constexpr std::array<const char*, 2> names = {"DISPLAY", "WAYLAND_DISPLAY"};
    std::array<std::optional<std::string>, 2> saved;
};

platform::Module withDialog(const std::string& text) {
    platform::Module instance;
    instance.addResource("DIALOG", std::to_string(saverlib::configureDialog),
                         std::vector<uint8_t>(text.begin(), text.end()));
    return instance;
}

TEST(AboutBox, ShowsTheDialogOfTheProgramsInstance) {
    NoDisplay noDisplay;
    struct Case {
        std::string resource;
        std::string shown;
    };
    for (const Case& c :
         {Case{"Caption\nFirst line\nSecond line", "Caption\nFirst line\nSecond line\n"},
          Case{"Only a caption", "Only a caption\n\n"}}) {
        auto instance = withDialog(c.resource);
        testing::internal::CaptureStdout();
        int status = showAboutBox(instance);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.shown);
        EXPECT_EQ(status, 0);
    }
}

TEST(AboutBox, AnInstanceWithoutTheDialogShowsNothingAndFails) {
    NoDisplay noDisplay;
    platform::Module instance;
    instance.addResource("DIALOG", "2004", {'x'});
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(showAboutBox(instance), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no about box"), std::string::npos);
}

}  // namespace
