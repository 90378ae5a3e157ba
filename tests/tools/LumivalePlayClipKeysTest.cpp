// lumivale-play's clip window on a real X display: Space pauses and resumes, Left and Right
// seek by a second, Escape ends.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/saver/SaverX.h"
#include "tests/support/RunCommand.h"
#include "tools/avigen/AviWriter.h"

namespace {

using namespace std::chrono_literals;

constexpr int frames = 40;
constexpr int perSecond = 5;

// Frame k is painted in a colour of its own, so a picture of the window names the frame.
avigen::Rgb colourOf(int frame) {
    return {static_cast<uint8_t>(frame * 6), static_cast<uint8_t>(250 - frame * 6), 128};
}

std::vector<uint8_t> numberedClip() {
    avigen::ClipOptions options;
    options.microsecondsPerFrame = 1000000 / perSecond;
    avigen::AviWriter writer(32, 24, options);
    const int stream = writer.addVideoStream({});
    for (int k = 0; k < frames; ++k) {
        avigen::Palette palette{};
        palette[1] = colourOf(k);
        writer.addFrame(stream, std::vector<uint8_t>(32 * 24, 1), palette);
    }
    return writer.build();
}

class LumivalePlayClipKeys : public saver_x::SaverX {
  protected:
    // The frame the window shows, or -1 when its colour is no frame's.
    int shownFrame() const {
        saver_x::RgbPicture picture = screenshot(window.id);
        if (picture.rgb.size() < 3) return -1;
        for (int k = 0; k < frames; ++k) {
            avigen::Rgb colour = colourOf(k);
            if (picture.rgb[0] == colour.r && picture.rgb[1] == colour.g &&
                picture.rgb[2] == colour.b)
                return k;
        }
        return -1;
    }
    // Waits until the window shows a frame `accepted` takes; that frame, or -1.
    template <class Accepted>
    int waitForFrame(Accepted accepted) const {
        auto deadline = std::chrono::steady_clock::now() + saver_x::showLimit;
        for (;;) {
            int frame = shownFrame();
            if (accepted(frame) || std::chrono::steady_clock::now() >= deadline) return frame;
            std::this_thread::sleep_for(50ms);
        }
    }
    void press(const char* key) {
        ASSERT_EQ(runX("xdotool", {"windowfocus", window.id}), 0);
        ASSERT_EQ(runX("xdotool", {"key", key}), 0);
    }

    testing_support::TempFile clip{numberedClip(), ".avi"};
    Placed window;
};

TEST_F(LumivalePlayClipKeys, SpacePausesArrowsSeekBySecondsAndEscapeEnds) {
    const std::string program = testing_support::builtProgram("tools/lumivale-play/lumivale-play");
    auto environment = xEnvironment();
    environment["SDL_AUDIODRIVER"] = "dummy";
    testing_support::ChildProcess player(program, {clip.path()}, environment);
    const std::string title =
        "lumivale-play: " + std::filesystem::path(clip.path()).filename().string();
    auto deadline = std::chrono::steady_clock::now() + saver_x::showLimit;
    while ((window = findWindow(title)).id.empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    ASSERT_FALSE(window.id.empty()) << player.standardError();

    // Paused early in the clip, so that a second on still lies inside it.
    ASSERT_GE(waitForFrame([](int frame) { return frame >= 0; }), 0);
    press("space");
    std::this_thread::sleep_for(300ms);
    const int paused = shownFrame();
    ASSERT_GE(paused, 0);
    ASSERT_LT(paused, frames - 2 * perSecond) << "the clip ran on too far before the pause";
    std::this_thread::sleep_for(3 * 1000ms / perSecond);
    EXPECT_EQ(shownFrame(), paused) << "frames went on while paused";

    press("Right");
    EXPECT_EQ(waitForFrame([&](int frame) { return frame == paused + perSecond; }),
              paused + perSecond);
    std::this_thread::sleep_for(3 * 1000ms / perSecond);
    EXPECT_EQ(shownFrame(), paused + perSecond) << "a seek while paused let the clip run";
    press("Left");
    EXPECT_EQ(waitForFrame([&](int frame) { return frame == paused; }), paused);

    press("space");
    EXPECT_NE(waitForFrame([&](int frame) { return frame != paused; }), paused)
        << "the clip did not resume";

    press("Escape");
    ASSERT_TRUE(player.waitFor(saver_x::endLimit)) << "still running after Escape";
    EXPECT_EQ(player.exitStatus(), 0) << player.standardError();
}

}  // namespace
