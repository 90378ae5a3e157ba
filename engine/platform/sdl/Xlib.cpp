#include "engine/platform/sdl/Xlib.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

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

uint64_t windowIdOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
    return info.info.x11.window;
}

struct SharedPicture::Parts {
    Display* display = nullptr;
    ::Window window = 0;
    GC context = nullptr;
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    std::mutex pushing;  // one connection, pushed to from any thread

    ~Parts() {
        if (image) {
            // The pixels are the shared segment's, not Xlib's to free.
            image->data = nullptr;
            XDestroyImage(image);
        }
        if (context) XFreeGC(display, context);
        // Closing the connection ends the server's use of the segment.
        if (display) XCloseDisplay(display);
        if (segment.shmaddr) shmdt(segment.shmaddr);
    }
};

namespace {

// The server refuses to attach a segment of a machine it is not on; only that is asked of it
// while this handler is in place.
bool attachRefused = false;
int noteRefusal(Display*, XErrorEvent*) {
    attachRefused = true;
    return 0;
}

bool holdsRgbWords(const XImage& image) {
    return image.bits_per_pixel == 32 && image.red_mask == 0xFF0000 && image.green_mask == 0xFF00 &&
           image.blue_mask == 0xFF && image.byte_order == LSBFirst && image.bytes_per_line % 4 == 0;
}

}  // namespace

std::unique_ptr<SharedPicture> SharedPicture::open(uint64_t window, int32_t width, int32_t height) {
    if (window == 0 || width <= 0 || height <= 0) return nullptr;
    auto parts = std::make_unique<Parts>();
    parts->display = XOpenDisplay(nullptr);
    Display* display = parts->display;
    if (!display || !XShmQueryExtension(display)) return nullptr;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return nullptr;
    parts->window = window;
    parts->image = XShmCreateImage(
        display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap, nullptr,
        &parts->segment, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!parts->image || !holdsRgbWords(*parts->image)) return nullptr;
    auto bytes =
        static_cast<std::size_t>(parts->image->bytes_per_line) * static_cast<std::size_t>(height);
    parts->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (parts->segment.shmid < 0) return nullptr;
    void* memory = shmat(parts->segment.shmid, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(parts->segment.shmid, IPC_RMID, nullptr);
        return nullptr;
    }
    parts->segment.shmaddr = static_cast<char*>(memory);
    parts->image->data = parts->segment.shmaddr;
    parts->segment.readOnly = False;
    attachRefused = false;
    auto previous = XSetErrorHandler(noteRefusal);
    Status attached = XShmAttach(display, &parts->segment);
    XSync(display, False);
    XSetErrorHandler(previous);
    // Marked for removal now, the segment goes when the server and we have both let it go.
    shmctl(parts->segment.shmid, IPC_RMID, nullptr);
    if (!attached || attachRefused) return nullptr;
    parts->context = XCreateGC(display, window, 0, nullptr);
    return std::make_unique<SharedPicture>(std::move(parts));
}

SharedPicture::SharedPicture(std::unique_ptr<Parts> made) : parts(std::move(made)) {}

SharedPicture::~SharedPicture() = default;

uint32_t* SharedPicture::pixels() const {
    return reinterpret_cast<uint32_t*>(parts->image->data);
}

std::size_t SharedPicture::pitch() const {
    return static_cast<std::size_t>(parts->image->bytes_per_line) / 4;
}

int32_t SharedPicture::width() const {
    return parts->image->width;
}

int32_t SharedPicture::height() const {
    return parts->image->height;
}

void SharedPicture::push(std::span<const Rect> areas) {
    std::lock_guard guard(parts->pushing);
    for (const Rect& area : areas) {
        Rect inside{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width()),
                    std::min(area.bottom, height())};
        if (inside.isEmpty()) continue;
        XShmPutImage(parts->display, parts->window, parts->context, parts->image, inside.left,
                     inside.top, inside.left, inside.top, static_cast<unsigned>(inside.width()),
                     static_cast<unsigned>(inside.height()), False);
    }
    XFlush(parts->display);
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
