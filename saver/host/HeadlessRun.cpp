#include "saver/host/HeadlessRun.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/platform/Clock.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/ScreenWindow.h"
#include "engine/platform/Window.h"
#include "saver/host/FrameRateReadout.h"
#include "saver/host/HostState.h"
#include "saver/host/PngWriter.h"
#include "saver/host/ScreenSaverLibrary.h"
#include "saver/host/Signals.h"

namespace {

constexpr uint32_t hostClose = platform::messageUser + 1;
// How long the host's loop sleeps between looks at the termination signals.
constexpr uint32_t signalPoll = 20;
// How long the end of a run waits for the window thread to pass the quit message on.
constexpr uint32_t handOverLimit = 5000;

// The readout, when there is one, is drawn over a copy: the window keeps the scene's pixels.
bool writeSurface(const platform::Window& window, const FrameRateReadout* readout,
                  const std::string& path) {
    auto pixels = window.surface().readPixels();
    auto rect = window.clientRect();
    if (readout) readout->draw(pixels, rect.width(), rect.height());
    return PngWriter::writePixels(path, rect.width(), rect.height(), pixels);
}

std::string framePath(const std::string& folder, uint32_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%05u.png", index);
    return folder + name;
}

}  // namespace

int runHeadless(const HostOptions& options) {
    platform::Clock::useVirtual(0);
    // Presented, the headless size is the screen's and the client area is 1/scale of it.
    std::unique_ptr<platform::Window> made;
    platform::ScreenWindow* screen = nullptr;
    if (options.present) {
        int32_t scale = platform::ScreenWindow::scaleFor(options.scale, options.width);
        auto presented = std::make_unique<platform::ScreenWindow>(
            std::max(options.width / scale, 1), std::max(options.height / scale, 1), scale);
        screen = presented.get();
        made = std::move(presented);
    } else {
        made = std::make_unique<platform::Window>(options.width, options.height);
    }
    platform::Window& window = *made;
    auto& state = hostState();
    state.mode = options.mode;
    state.window = &window;
    platform::MessageQueue::forCurrentThread();
    uint32_t hostThread = platform::MessageQueue::currentThreadId();

    uint32_t recorded = 0;
    std::string recordFailed;  // the first frame that could not be written
    std::atomic<bool> stopAsked{false};
    FrameRateReadout readout;
    const FrameRateReadout* shownReadout = options.frameRate ? &readout : nullptr;
    // Runs on the animation thread after each step's sleep: the frame just shown is complete.
    platform::Clock::setSleepHook([&](uint32_t now) {
        if (screen) screen->present();
        if (!stopAsked) readout.frameAt(now);
        if (!options.recordDir.empty() && !stopAsked) {
            std::string path = framePath(options.recordDir, recorded++);
            if (!writeSurface(window, shownReadout, path) && recordFailed.empty())
                recordFailed = path;
        }
        if (now >= options.durationMs && !stopAsked.exchange(true)) {
            platform::MessageQueue::post(hostThread, {hostClose, 0, 0, nullptr});
            // Hold the clock here until the quit message has arrived, so that every run stops
            // after the same frame.
            platform::MessageQueue::waitForPost(handOverLimit);
        }
    });

    ScreenSaverProc(window, saverlib::wmCreate, 0, 0);
    platform::Message message;
    while (!state.quitPosted) {
        if (terminationRequested() ||
            (platform::MessageQueue::wait(message, signalPoll) && message.id == hostClose)) {
            closeSaverWindow();
        }
    }
    // The window's destruction returned once the animation thread had ended: the frame is final.
    platform::Clock::setSleepHook(nullptr);

    int status = state.exitCode;
    if (!recordFailed.empty()) {
        std::fprintf(stderr, "could not write %s (and maybe later frames)\n", recordFailed.c_str());
        status = 1;
    }
    if (!options.snapshotPath.empty()) {
        if (writeSurface(window, shownReadout, options.snapshotPath)) {
            std::printf("snapshot: %s\n", options.snapshotPath.c_str());
        } else {
            std::fprintf(stderr, "could not write %s\n", options.snapshotPath.c_str());
            status = 1;
        }
    }
    state.window = nullptr;
    return status;
}
