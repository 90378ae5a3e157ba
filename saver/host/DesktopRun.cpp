#include "saver/host/DesktopRun.h"

#include <SDL.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/platform/sdl/SdlWindow.h"
#include "saver/host/HostState.h"
#include "saver/host/ScreenSaverLibrary.h"
#include "saver/host/Signals.h"

namespace {

// How long the loop waits for an event before it looks at the termination signals again.
constexpr int signalPollMs = 20;

std::unique_ptr<platform::SdlWindow> openWindow(const HostOptions& options, const char* title,
                                                std::string& error) {
    using Mode = HostOptions::Mode;
    switch (options.mode) {
        case Mode::fullscreen:
            return platform::SdlWindow::open(title, 0, 0, true, error);
        case Mode::preview:
        case Mode::embedded:
            return options.rootWindow ? platform::SdlWindow::adoptRoot(error)
                                      : platform::SdlWindow::adopt(options.windowId, error);
        default:
            return platform::SdlWindow::open(title, options.width, options.height, false, error);
    }
}

int64_t mousePosition(int32_t x, int32_t y) {
    return static_cast<int64_t>((static_cast<uint32_t>(y) & 0xffff) << 16 |
                                (static_cast<uint32_t>(x) & 0xffff));
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
                ScreenSaverProc(window, saverlib::wmEraseBackground, 0, 0);
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
    if (options.mode == HostOptions::Mode::fullscreen) {
        SDL_ShowCursor(SDL_DISABLE);
        // Moves are measured from where the pointer is now, not from the first move reported.
        window->pointerPosition(state.cursorX, state.cursorY);
    }

    ScreenSaverProc(*window, saverlib::wmCreate, 0, 0);
    SDL_Event event;
    while (!state.quitPosted) {
        if (SDL_WaitEventTimeout(&event, signalPollMs)) handle(*window, event);
        if (terminationRequested()) closeSaverWindow();
    }
    state.window = nullptr;
    return state.exitCode;
}
