#include "engine/platform/sdl/Xlib.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace platform::xlib {

namespace {

XErrorHandler previousErrorHandler = nullptr;

// A window can go away under us: one someone else owns is destroyed by its owner, and our own
// is destroyed while the display still has requests about it in flight. Xlib's default would
// end the process for that; anything else still goes to it.
int passOverVanishedWindows(Display* display, XErrorEvent* event) {
    if (event->error_code == BadWindow || event->error_code == BadDrawable) return 0;
    return previousErrorHandler ? previousErrorHandler(display, event) : 0;
}

}  // namespace

void ignoreVanishedWindows() {
    // Installed before SDL starts, so that the handler SDL puts back when video shuts down (and
    // its connections are closed) is this one.
    if (XErrorHandler current = XSetErrorHandler(passOverVanishedWindows);
        current != passOverVanishedWindows) {
        previousErrorHandler = current;
    }
}

// Leaving full screen, SDL waits up to 100 ms for a window manager to move and resize the
// window back, and the full time where none answers: a full-screen window taken off the screen
// first is left without that wait, and the saver ends at once. Errors about requests still in
// flight for the window arrive, and are ignored, before video shuts down.
void destroyWindow(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    bool onX11 = SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11;
    if (onX11 && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN)) {
        XUnmapWindow(info.info.x11.display, info.info.x11.window);
        XSync(info.info.x11.display, False);
    }
    SDL_DestroyWindow(window);
    if (onX11) XSync(info.info.x11.display, False);
}

uint64_t rootWindow() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    uint64_t root = DefaultRootWindow(display);
    XCloseDisplay(display);
    return root;
}

}  // namespace platform::xlib
