#include "engine/platform/sdl/SdlWindow.h"

#include <SDL.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "engine/platform/sdl/Xlib.h"

namespace platform {

namespace {

// The window's picture is fresh memory, mostly shared with the X server, and the first frame
// writes all of it. Mapped in one call it costs a fraction of a fault for each page: on a
// virtual machine each such fault is a trip through the host.
void mapWhole(void* pixels, std::size_t bytes) {
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<uintptr_t>(pixels) & ~(page - 1);
    const auto end = reinterpret_cast<uintptr_t>(pixels) + bytes;
    // Only a hint: older kernels refuse it, and the pages then come one fault at a time.
    ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

bool startVideo(std::string& error) {
    // The picture is drawn in software and pushed by rectangles. A framebuffer through OpenGL
    // would gain nothing; SDL would re-create the window for it (hiding and showing it at the
    // start) and load a GL driver, which leaks at exit.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Nothing here reads text, but on X11 SDL opens an input method, which parses the locale's
    // whole compose table (thousands of lines, about 10 ms) on every start. A table the user
    // names is still read.
    ::setenv("XCOMPOSEFILE", "/dev/null", 0);
    xlib::ignoreVanishedWindows();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    error = SDL_GetError();
    return false;
}

}  // namespace

struct SdlWindow::Native {
    SDL_Window* window = nullptr;
    // On a display that shares memory with us, the window's picture, pushed by the thread that
    // drew; otherwise SDL's, pushed by the window's thread.
    std::unique_ptr<xlib::SharedPicture> shared;
    SDL_Surface* screen = nullptr;   // the window's, owned by SDL
    SDL_Surface* picture = nullptr;  // over a picture of our own, when the screen's is no use
    // Of a window someone else owns; SDL does not follow such a window's changes.
    std::unique_ptr<xlib::WindowWatch> watch;
    uint64_t foreignId = 0;
    // Readable while something released waits to be shown. SDL's own wake-up is sent to a
    // window of ours, and so never arrives at a window someone else owns.
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    ~Native() {
        if (wake >= 0) ::close(wake);
        if (picture) SDL_FreeSurface(picture);
        if (window) xlib::destroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // The window's picture, mapped whole before the first frame writes it.
    ScreenPicture screenPicture() {
        ScreenPicture found = pictureOfWindow();
        if (found.pixels)
            mapWhole(found.pixels,
                     found.pitch * sizeof(uint32_t) * static_cast<std::size_t>(found.height));
        return found;
    }

    // Our own shared picture where the display allows it, else SDL's when its pixels are
    // 0x00RRGGBB words, as ours are; else none.
    ScreenPicture pictureOfWindow() {
        int width = 0;
        int height = 0;
        if (window) SDL_GetWindowSize(window, &width, &height);
        shared = xlib::SharedPicture::open(xlib::windowIdOf(window), width, height);
        if (shared) {
            screen = nullptr;
            return {shared->pixels(), shared->pitch(), shared->width(), shared->height()};
        }
        screen = window ? SDL_GetWindowSurface(window) : nullptr;
        if (!screen || screen->format->format != SDL_PIXELFORMAT_RGB888 || screen->pitch % 4 != 0)
            return {};
        return {static_cast<uint32_t*>(screen->pixels), static_cast<std::size_t>(screen->pitch / 4),
                screen->w, screen->h};
    }
};

std::unique_ptr<SdlWindow> SdlWindow::wrap(std::unique_ptr<Native> native, int32_t scale,
                                           std::string& error) {
    Uint32 wake = SDL_RegisterEvents(1);
    if (!native->window || wake == static_cast<Uint32>(-1)) {
        error = SDL_GetError();
        return nullptr;
    }
    int shownWidth = 0;
    int shownHeight = 0;
    SDL_GetWindowSize(native->window, &shownWidth, &shownHeight);
    if (shownWidth <= 0 || shownHeight <= 0) {
        error = "the window has no area";
        return nullptr;
    }
    auto opened =
        std::make_unique<SdlWindow>(Key{}, std::move(native), shownWidth, shownHeight, scale, wake);
    const Native& made = *opened->native;
    if (!made.shared &&
        (!made.screen || (opened->screen().pixels != made.screen->pixels && !made.picture))) {
        error = SDL_GetError();
        return nullptr;
    }
    return opened;
}

std::unique_ptr<SdlWindow> SdlWindow::open(const char* title, int32_t width, int32_t height,
                                           bool fullScreen, std::string& error, int32_t scale) {
    if (!startVideo(error)) return nullptr;
    auto native = std::make_unique<Native>();
    Uint32 flags = SDL_WINDOW_RESIZABLE | (fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    int x = SDL_WINDOWPOS_UNDEFINED;
    int y = SDL_WINDOWPOS_UNDEFINED;
    // A full-screen window covers the display by its own size and place too: where no window
    // manager answers the full-screen request it would otherwise stay at its asked size.
    if (SDL_Rect display; fullScreen && SDL_GetDisplayBounds(0, &display) == 0) {
        x = display.x;
        y = display.y;
        width = display.w;
        height = display.h;
    }
    native->window = SDL_CreateWindow(title, x, y, width, height, flags);
    return wrap(std::move(native), scale, error);
}

namespace {

SDL_Window* windowFrom(uint64_t nativeId) {
    return SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<uintptr_t>(nativeId)));
}

}  // namespace

std::unique_ptr<SdlWindow> SdlWindow::adopt(uint64_t nativeId, std::string& error, int32_t scale) {
    // Checked first: SDL takes the size of a window that does not exist from uninitialised
    // attributes.
    auto watch = xlib::WindowWatch::open(nativeId, error);
    if (!watch || !startVideo(error)) return nullptr;
    auto native = std::make_unique<Native>();
    native->watch = std::move(watch);
    native->foreignId = nativeId;
    native->window = windowFrom(nativeId);
    return wrap(std::move(native), scale, error);
}

std::unique_ptr<SdlWindow> SdlWindow::adoptRoot(std::string& error, int32_t scale) {
    uint64_t root = xlib::rootWindow();
    if (!root) {
        error = "no X display";
        return nullptr;
    }
    return adopt(root, error, scale);
}

SdlWindow::ForeignChanges SdlWindow::foreignChanges() {
    if (!native->watch) return {};
    auto changes = native->watch->poll();
    return {changes.destroyed, changes.resized, changes.exposed, native->watch->width(),
            native->watch->height()};
}

void SdlWindow::pointerPosition(int32_t& x, int32_t& y) const {
    int globalX = 0;
    int globalY = 0;
    int windowX = 0;
    int windowY = 0;
    SDL_GetGlobalMouseState(&globalX, &globalY);
    SDL_GetWindowPosition(native->window, &windowX, &windowY);
    x = globalX - windowX;
    y = globalY - windowY;
}

SdlWindow::Work SdlWindow::waitForWork(int32_t milliseconds, int alsoReady) {
    // Events still unread wake the poll below; only those already read must be looked for.
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        return {false, false};
    const int connection = xlib::connectionOf(native->window);
    if (connection < 0 || native->wake < 0) {
        SDL_WaitEventTimeout(nullptr, std::clamp(milliseconds, 1, fallbackWait));
        return {};
    }
    if (xlib::eventsQueued(native->window)) return {true, false};
    const int watched = native->watch ? native->watch->connection() : -1;
    std::array<pollfd, 4> waited{};
    std::size_t count = 0;
    for (int descriptor : {connection, watched, native->wake, alsoReady}) {
        if (descriptor >= 0) waited[count++] = {descriptor, POLLIN, 0};
    }
    int ready = ::poll(waited.data(), count, std::max(milliseconds, 0));
    uint64_t woken = 0;
    [[maybe_unused]] ssize_t drained = ::read(native->wake, &woken, sizeof woken);
    if (ready <= 0) return {};
    return {waited[0].revents != 0, watched >= 0 && waited[1].revents != 0};
}

bool SdlWindow::waitForClose(int32_t milliseconds) {
    std::vector<int32_t> ignored;
    return waitForInput(milliseconds, ignored);
}

bool SdlWindow::waitForInput(int32_t milliseconds, std::vector<int32_t>& keys) {
    SDL_Event event;
    if (!SDL_WaitEventTimeout(&event, std::max(milliseconds, 1))) return false;
    do {
        if (event.type == wakeType) {
            update();
        } else if (event.type == SDL_QUIT) {
            return true;
        } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) {
            return true;
        } else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) {
            return true;
        } else if (event.type == SDL_KEYDOWN) {
            keys.push_back(event.key.keysym.sym);
        } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            // What the screen lost is pushed again from the picture.
            repaint();
        }
    } while (SDL_PollEvent(&event));
    return false;
}

SdlWindow::SdlWindow(Key, std::unique_ptr<Native> opened, int32_t width, int32_t height,
                     int32_t scaleAsked, uint32_t wake)
    : ScreenWindow(std::max(width / scaleFor(scaleAsked, width), 1),
                   std::max(height / scaleFor(scaleAsked, width), 1), scaleFor(scaleAsked, width),
                   opened->screenPicture()),
      native(std::move(opened)),
      askedScale(scaleAsked),
      wakeType(wake) {
    wrapPicture();
}

bool SdlWindow::followScreenSize(int32_t width, int32_t height) {
    int32_t newScale = scaleFor(askedScale, width);
    int32_t clientWidth = std::max(width / newScale, 1);
    int32_t clientHeight = std::max(height / newScale, 1);
    Rect client = clientRect();
    if (newScale == pixelScale() && clientWidth == client.width() &&
        clientHeight == client.height())
        return false;
    nextScale = newScale;
    resizeClient(clientWidth, clientHeight);
    return true;
}

SdlWindow::~SdlWindow() = default;

uint32_t SdlWindow::windowId() const {
    return SDL_GetWindowID(native->window);
}

void SdlWindow::wrapPicture() {
    if (native->picture) SDL_FreeSurface(native->picture);
    native->picture = nullptr;
    if (native->shared || (native->screen && screen().pixels == native->screen->pixels)) return;
    native->picture = SDL_CreateRGBSurfaceWithFormatFrom(
        screen().pixels, screen().width, screen().height, 32, static_cast<int>(screen().pitch * 4),
        SDL_PIXELFORMAT_RGB888);
}

void SdlWindow::showOn(int32_t newScale) {
    // The old picture lasts until the window has moved to the new one.
    auto old = std::move(native->shared);
    useScreen(native->screenPicture(), newScale);
    wrapPicture();
}

void SdlWindow::resizeClient(int32_t width, int32_t height) {
    auto held = holdSize();
    // A fresh surface of its own first: SDL may free the memory of the old screen below.
    Window::resizeClient(width, height);
    // SDL keeps the size a window someone else owns had when it was taken over, and sizes its
    // surface by it: taken over again, it has the new one.
    if (native->watch) {
        SDL_DestroyWindow(native->window);
        native->window = windowFrom(native->foreignId);
    }
    showOn(nextScale ? std::exchange(nextScale, 0) : pixelScale());
}

void SdlWindow::repaint() {
    presentAll();
    update();
}

void SdlWindow::released(const std::vector<Rect>& written) {
    ScreenWindow::released(written);
    if (native->shared) {
        // The releasing context still holds the window's size.
        native->shared->push(present());
        return;
    }
    if (wakePending.exchange(true)) return;
    SDL_Event event{};
    event.type = wakeType;
    event.user.windowID = windowId();
    SDL_PushEvent(&event);
    if (native->wake < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t posted = ::write(native->wake, &one, sizeof one);
}

void SdlWindow::update() {
    wakePending = false;
    if (native->shared) {
        auto held = holdSize();
        native->shared->push(present());
        return;
    }
    std::vector<Rect> areas = present();
    if (areas.empty() || !native->window) return;
    std::vector<SDL_Rect> pushed;
    pushed.reserve(areas.size());
    for (const Rect& area : areas)
        pushed.push_back({area.left, area.top, area.width(), area.height()});
    bool lost = false;
    {
        auto held = surface().holdPixels();
        if (native->picture && native->screen) {
            // Our own picture, of the screen's size, into a screen of another layout.
            for (SDL_Rect& area : pushed) {
                SDL_Rect target = area;
                SDL_BlitSurface(native->picture, &area, native->screen, &target);
            }
        }
        // Until the resize reaches us the screen may be smaller than the picture; an area pushed
        // past its edge is refused by the X server.
        if (native->screen) {
            SDL_Rect edge{0, 0, native->screen->w, native->screen->h};
            std::erase_if(pushed, [&](SDL_Rect& area) {
                SDL_Rect inside;
                if (!SDL_IntersectRect(&area, &edge, &inside)) return true;
                area = inside;
                return false;
            });
        }
        lost =
            !pushed.empty() && SDL_UpdateWindowSurfaceRects(native->window, pushed.data(),
                                                            static_cast<int>(pushed.size())) != 0;
    }
    if (!lost) return;
    // SDL dropped the screen's pixels (the window changed size): take the new ones, keeping the
    // picture, and show all of it.
    {
        auto held = holdSize();
        useScreen({}, pixelScale());
        showOn(pixelScale());
    }
    presentAll();
}

}  // namespace platform
