#include "saver/host/DesktopRun.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/platform/Clock.h"
#include "engine/platform/sdl/SdlWindow.h"
#include "saver/host/FrameRateReadout.h"
#include "saver/host/HostState.h"
#include "saver/host/ScreenSaverLibrary.h"
#include "saver/host/Signals.h"

namespace {

// The longest the loop sleeps: it wakes for events, frames, changes of a foreign window and
// termination signals, and this only bounds the wait should one of those go unseen.
constexpr int idleWaitMs = 250;

std::unique_ptr<platform::SdlWindow> openWindow(const HostOptions& options, const char* title,
                                                std::string& error) {
    using Mode = HostOptions::Mode;
    switch (options.mode) {
        case Mode::fullscreen:
            return platform::SdlWindow::open(title, 0, 0, true, error, options.scale);
        case Mode::preview:
        case Mode::embedded:
            return options.rootWindow
                       ? platform::SdlWindow::adoptRoot(error, options.scale)
                       : platform::SdlWindow::adopt(options.windowId, error, options.scale);
        default:
            return platform::SdlWindow::open(title, options.width, options.height, false, error,
                                             options.scale);
    }
}

int64_t mousePosition(int32_t x, int32_t y) {
    return static_cast<int64_t>((static_cast<uint32_t>(y) & 0xffff) << 16 |
                                (static_cast<uint32_t>(x) & 0xffff));
}

// The client area took a new size: the window's surface follows, and the saver is created anew
// at that size.
void resize(platform::SdlWindow& window, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 ||
        (width == window.clientRect().width() && height == window.clientRect().height()))
        return;
    window.resizeClient(width, height);
    ScreenSaverProc(window, saverlib::wmCreate, 0, 0);
}

// Uncovered parts of the screen get the picture again at once, and the saver redraws it all.
void expose(platform::SdlWindow& window) {
    window.repaint();
    ScreenSaverProc(window, saverlib::wmEraseBackground, 0, 0);
}

// A window someone else owns tells of its changes over a connection of its own.
void followForeignWindow(platform::SdlWindow& window) {
    auto changes = window.foreignChanges();
    if (changes.destroyed) {
        closeSaverWindow();
        return;
    }
    if (changes.resized) resize(window, changes.width, changes.height);
    if (changes.exposed) expose(window);
}

void handle(platform::SdlWindow& window, const SDL_Event& event) {
    if (event.type == window.wakeEvent()) {
        window.update();
        return;
    }
    switch (event.type) {
        case SDL_QUIT:
            closeSaverWindow();
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                expose(window);
            } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                resize(window, event.window.data1, event.window.data2);
            } else if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                closeSaverWindow();
            }
            break;
        case SDL_KEYDOWN:
            ScreenSaverProc(window, saverlib::wmKeyDown,
                            static_cast<uint64_t>(event.key.keysym.sym), 0);
            break;
        case SDL_MOUSEBUTTONDOWN:
            ScreenSaverProc(window, saverlib::wmButtonDown, 0,
                            mousePosition(event.button.x, event.button.y));
            break;
        case SDL_MOUSEMOTION:
            ScreenSaverProc(window, saverlib::wmMouseMove, 0,
                            mousePosition(event.motion.x, event.motion.y));
            break;
        default:
            break;
    }
}

}  // namespace

int runDesktop(const HostOptions& options, const char* title) {
    if (!options.display.empty()) ::setenv("DISPLAY", options.display.c_str(), 1);
    // Without a display SDL may still find a video driver that shows nothing, for ever.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "cannot open the saver window: no X display (DISPLAY is not set)\n");
        return 1;
    }
    // A screen saver must not keep the desktop's own screen saver from starting.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    std::string error;
    auto window = openWindow(options, title, error);
    if (!window) {
        std::fprintf(stderr, "cannot open the saver window: %s\n", error.c_str());
        return 1;
    }
    auto& state = hostState();
    state.mode = options.mode;
    state.window = window.get();
    FrameRateReadout readout;
    if (options.frameRate) {
        window->setOverlay([&readout](std::span<uint32_t> pixels, int32_t width, int32_t height) {
            readout.frameAt(platform::Clock::now());
            return readout.draw(pixels, width, height);
        });
    }
    if (options.mode == HostOptions::Mode::fullscreen) {
        SDL_ShowCursor(SDL_DISABLE);
        // Moves are measured from where the pointer is now, not from the first move reported.
        window->pointerPosition(state.cursorX, state.cursorY);
    }

    ScreenSaverProc(*window, saverlib::wmCreate, 0, 0);
    SDL_Event event;
    while (!state.quitPosted) {
        auto work = window->waitForWork(idleWaitMs, terminationDescriptor());
        // Each pump asks the display for events; a frame to show comes through SDL's queue
        // alone and needs none.
        if (work.display) SDL_PumpEvents();
        while (!state.quitPosted &&
               SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
            handle(*window, event);
        if (work.foreign) followForeignWindow(*window);
        if (terminationRequested()) closeSaverWindow();
    }
    state.window = nullptr;
    return state.exitCode;
}
