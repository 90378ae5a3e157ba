#include "engine/platform/sdl/Xlib.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <cstdio>

namespace platform::xlib {

namespace {

// A window can go away under us: one someone else owns is destroyed by its owner, and our own
// is destroyed while the display still has requests about it in flight. Xlib's default handler
// would end the process for any error, leaving the animation thread running under the exit;
// the saver goes on instead and says what the server refused.
int passOverVanishedWindows(Display* display, XErrorEvent* event) {
    if (event->error_code == BadWindow || event->error_code == BadDrawable) return 0;
    char text[160] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr, "X error ignored: %s (request %d.%d)\n", text, event->request_code,
                 event->minor_code);
    return 0;
}

// With the display gone nothing can be shown. Xlib's default would exit through the static
// destructors while the animation thread still runs; the process ends here instead.
int displayLost(Display*) {
    std::fprintf(stderr, "lost the connection to the X display\n");
    std::fflush(stderr);
    ::_exit(1);
}

}  // namespace

void ignoreVanishedWindows() {
    // Installed before SDL starts, so that the handler SDL puts back when video shuts down (and
    // its connections are closed), and the one its own handler passes errors on to, is this one.
    XSetErrorHandler(passOverVanishedWindows);
    XSetIOErrorHandler(displayLost);
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

namespace {

Display* displayOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return nullptr;
    return info.info.x11.display;
}

}  // namespace

int connectionOf(SDL_Window* window) {
    Display* display = displayOf(window);
    return display ? ConnectionNumber(display) : -1;
}

bool eventsQueued(SDL_Window* window) {
    Display* display = displayOf(window);
    return display && XEventsQueued(display, QueuedAlready) > 0;
}

struct WindowWatch::Connection {
    Display* display = nullptr;
    ~Connection() {
        if (display) XCloseDisplay(display);
    }
};

std::unique_ptr<WindowWatch> WindowWatch::open(uint64_t window, std::string& error) {
    ignoreVanishedWindows();
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(nullptr);
    if (!connection->display) {
        error = "no X display";
        return nullptr;
    }
    XWindowAttributes attributes{};
    // A window that does not exist fails here (its BadWindow passed over) and leaves the
    // attributes as they were.
    if (!XGetWindowAttributes(connection->display, window, &attributes)) {
        char id[32];
        std::snprintf(id, sizeof id, "0x%llx", static_cast<unsigned long long>(window));
        error = std::string("no such window: ") + id;
        return nullptr;
    }
    // Event masks belong to each connection: these do not disturb the owner's or SDL's.
    XSelectInput(connection->display, window, StructureNotifyMask | ExposureMask);
    XSync(connection->display, False);
    return std::make_unique<WindowWatch>(std::move(connection), window, attributes.width,
                                         attributes.height);
}

WindowWatch::WindowWatch(std::unique_ptr<Connection> connection, uint64_t window, int32_t width,
                         int32_t height)
    : display(std::move(connection)), watched(window), currentWidth(width), currentHeight(height) {}

WindowWatch::~WindowWatch() = default;

int WindowWatch::connection() const {
    return ConnectionNumber(display->display);
}

WindowWatch::Changes WindowWatch::poll() {
    Changes changes;
    Display* x = display->display;
    while (XPending(x) > 0) {
        XEvent event;
        XNextEvent(x, &event);
        if (event.xany.window != watched) continue;
        switch (event.type) {
            case DestroyNotify:
                changes.destroyed = true;
                break;
            case ConfigureNotify:
                if (event.xconfigure.width != currentWidth ||
                    event.xconfigure.height != currentHeight) {
                    currentWidth = event.xconfigure.width;
                    currentHeight = event.xconfigure.height;
                    changes.resized = true;
                }
                break;
            case Expose:
                changes.exposed = true;
                break;
            default:
                break;
        }
    }
    return changes;
}

}  // namespace platform::xlib
