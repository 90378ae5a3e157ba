// An SDL window on a real display (a private Xvfb), drawing into the display's root: what a
// thread draws reaches the screen, and the desktop loop's wait ends as soon as there is work
// for it, not when its time runs out. Where the display shares memory with us the drawing thread
// shows its frames itself; where it does not, the window's thread does, woken for each.
#include <SDL.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/platform/sdl/SdlWindow.h"
#include "tests/saver/SaverX.h"

namespace saver_x {
namespace {

// A window drawing on the root, its first events answered.
class SdlWindowWait : public SaverX {
  protected:
    void SetUp() override {
        SaverX::SetUp();
        if (IsSkipped()) return;
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("SDL_VIDEODRIVER", "x11", 1);
        std::string error;
        window = platform::SdlWindow::adoptRoot(error);
        ASSERT_TRUE(window) << error;
        // What the window said on arrival is answered first.
        for (int round = 0; round < 20; ++round) {
            window->waitForWork(20, -1);
            while (SDL_PollEvent(&event)) {
            }
        }
    }
    void TearDown() override { window.reset(); }

    // Waits for work, answering events, until the window's wake event or `limit`; the time it
    // took.
    std::chrono::milliseconds untilWoken(std::chrono::milliseconds limit, int alsoReady,
                                         bool& woken) {
        auto start = std::chrono::steady_clock::now();
        woken = false;
        while (!woken && std::chrono::steady_clock::now() - start < limit) {
            last = window->waitForWork(static_cast<int32_t>(limit.count()), alsoReady);
            while (SDL_PollEvent(&event))
                woken = woken || event.type == window->wakeEvent();
            if (alsoReady >= 0) {
                uint64_t count = 0;
                woken = woken || ::read(alsoReady, &count, sizeof count) == sizeof count;
            }
        }
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }

    // Draws a red frame at the top left on another thread.
    void drawOnAnotherThread() {
        std::thread drawer([this] {
            std::this_thread::sleep_for(100ms);
            auto context = window->getDC();
            context->frameRect({0, 0, 16, 16}, RgbQuad{0, 0, 255, 0});
        });
        drawer.join();
    }

    static bool redAtTopLeft() {
        auto picture = screenshot("root");
        return picture.width > 0 && picture.rgb[0] == 255 && picture.rgb[1] == 0 &&
               picture.rgb[2] == 0;
    }

    // Whether the root shows red at the top left within the time allowed.
    static bool redShows() {
        auto deadline = std::chrono::steady_clock::now() + showLimit;
        while (!redAtTopLeft()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(50ms);
        }
        return true;
    }

    bool wakeEventQueued() {
        return SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, window->wakeEvent(), window->wakeEvent()) >
               0;
    }

    std::unique_ptr<platform::SdlWindow> window;
    SDL_Event event{};
    platform::SdlWindow::Work last;
};

// The same on a display that shares no memory with its clients.
class SdlWindowWithoutSharedMemory : public SdlWindowWait {
  protected:
    static void SetUpTestSuite() { startServer({"-extension", "MIT-SHM"}); }
};

TEST_F(SdlWindowWait, AFrameIsShownByTheThreadThatDrewIt) {
    ASSERT_FALSE(redAtTopLeft());
    drawOnAnotherThread();
    // Nothing was left for the window's thread: the frame is on the screen without update().
    EXPECT_FALSE(wakeEventQueued());
    EXPECT_TRUE(redShows());
}

TEST_F(SdlWindowWithoutSharedMemory, AFrameIsShownByTheWindowsThreadWhenWoken) {
    ASSERT_FALSE(redAtTopLeft());
    drawOnAnotherThread();
    EXPECT_TRUE(wakeEventQueued());
    bool woken = false;
    untilWoken(5s, -1, woken);
    EXPECT_TRUE(woken);
    // The frame came through SDL's queue: the display and the root's watch had nothing to say.
    EXPECT_FALSE(last.display);
    EXPECT_FALSE(last.foreign);
    window->update();
    EXPECT_TRUE(redShows());
}

TEST_F(SdlWindowWait, AReadableDescriptorEndsTheWait) {
    int ready = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(ready, 0);
    std::thread signaller([ready] {
        std::this_thread::sleep_for(100ms);
        const uint64_t one = 1;
        EXPECT_EQ(::write(ready, &one, sizeof one), static_cast<ssize_t>(sizeof one));
    });
    bool woken = false;
    auto took = untilWoken(5s, ready, woken);
    signaller.join();
    ::close(ready);
    EXPECT_TRUE(woken);
    EXPECT_LT(took, 2s) << took.count() << " ms";
}

}  // namespace
}  // namespace saver_x
