#include "engine/platform/sdl/SdlWindow.h"

#include <SDL.h>

#include <algorithm>
#include <array>

#include "engine/platform/sdl/Xlib.h"

namespace platform {

namespace {

bool startVideo(std::string& error) {
    // The picture is drawn in software and pushed by rectangles. A framebuffer through OpenGL
    // would gain nothing; SDL would re-create the window for it (hiding and showing it at the
    // start) and load a GL driver, which leaks at exit.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    xlib::ignoreVanishedWindows();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    error = SDL_GetError();
    return false;
}

}  // namespace

struct SdlWindow::Native {
    SDL_Window* window = nullptr;
    SDL_Surface* shadow = nullptr;  // over the present queue's pixels
    // Of a window someone else owns; SDL does not follow such a window's changes.
    std::unique_ptr<xlib::WindowWatch> watch;
    uint64_t foreignId = 0;

    ~Native() {
        if (shadow) SDL_FreeSurface(shadow);
        if (window) xlib::destroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
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
    if (!opened->native->shadow) {
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

bool SdlWindow::waitForClose(int32_t milliseconds) {
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
        } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            // What the screen lost is pushed again from the shadow picture.
            repaint();
        }
    } while (SDL_PollEvent(&event));
    return false;
}

SdlWindow::SdlWindow(Key, std::unique_ptr<Native> opened, int32_t width, int32_t height,
                     int32_t scaleAsked, uint32_t wake)
    : Window(std::max(width / ScreenWindow::scaleFor(scaleAsked, width), 1),
             std::max(height / ScreenWindow::scaleFor(scaleAsked, width), 1)),
      native(std::move(opened)),
      askedScale(scaleAsked),
      scale(ScreenWindow::scaleFor(scaleAsked, width)),
      queue(clientRect().width(), clientRect().height()),
      wakeType(wake) {
    makeShadow();
}

bool SdlWindow::followScreenSize(int32_t width, int32_t height) {
    int32_t newScale = ScreenWindow::scaleFor(askedScale, width);
    int32_t clientWidth = std::max(width / newScale, 1);
    int32_t clientHeight = std::max(height / newScale, 1);
    Rect client = clientRect();
    if (newScale == scale && clientWidth == client.width() && clientHeight == client.height())
        return false;
    scale = newScale;
    resizeClient(clientWidth, clientHeight);
    return true;
}

SdlWindow::~SdlWindow() = default;

uint32_t SdlWindow::windowId() const {
    return SDL_GetWindowID(native->window);
}

void SdlWindow::makeShadow() {
    if (native->shadow) SDL_FreeSurface(native->shadow);
    // 0x00RRGGBB words, the queue's layout.
    native->shadow =
        SDL_CreateRGBSurfaceWithFormatFrom(queue.shadow().data(), queue.width(), queue.height(), 32,
                                           queue.width() * 4, SDL_PIXELFORMAT_RGB888);
}

void SdlWindow::resizeClient(int32_t width, int32_t height) {
    Window::resizeClient(width, height);
    queue.resize(width, height);
    overlaid = {};
    makeShadow();
    // SDL keeps the size a window someone else owns had when it was taken over, and sizes its
    // surface by it: taken over again, it has the new one.
    if (native->watch) {
        SDL_DestroyWindow(native->window);
        native->window = windowFrom(native->foreignId);
    }
}

void SdlWindow::repaint() {
    queue.add(std::array{clientRect()});
    update();
}

void SdlWindow::released(const std::vector<Rect>& written) {
    queue.add(written);
    if (wakePending.exchange(true)) return;
    SDL_Event event{};
    event.type = wakeType;
    event.user.windowID = windowId();
    SDL_PushEvent(&event);
}

void SdlWindow::update() {
    wakePending = false;
    // What the overlay covered shows the picture again, unless the overlay covers it anew.
    if (overlay && !overlaid.isEmpty()) queue.add(std::array{overlaid});
    std::vector<Rect> areas = queue.convert(surface());
    if (overlay) {
        overlaid = overlay(queue.shadow(), queue.width(), queue.height());
        if (!overlaid.isEmpty()) areas.push_back(overlaid);
    }
    SDL_Surface* screen = native->window ? SDL_GetWindowSurface(native->window) : nullptr;
    if (areas.empty() || !screen || !native->shadow) return;
    // Until the resize reaches us the screen surface may be smaller than the picture; an area
    // pushed past its edge is refused by the X server.
    SDL_Rect edge{0, 0, screen->w, screen->h};
    std::vector<SDL_Rect> pushed;
    pushed.reserve(areas.size());
    for (const Rect& area : areas) {
        SDL_Rect asked{area.left * scale, area.top * scale, area.width() * scale,
                       area.height() * scale};
        SDL_Rect target;
        if (!SDL_IntersectRect(&asked, &edge, &target)) continue;
        SDL_Rect source{target.x / scale, target.y / scale, (target.w + scale - 1) / scale,
                        (target.h + scale - 1) / scale};
        if (scale == 1) {
            SDL_BlitSurface(native->shadow, &source, screen, &target);
        } else {
            // Whole blocks only: a block cut by the screen's edge is left to the clipping.
            SDL_Rect blocks{source.x * scale, source.y * scale, source.w * scale, source.h * scale};
            SDL_BlitScaled(native->shadow, &source, screen, &blocks);
        }
        pushed.push_back(target);
    }
    if (pushed.empty()) return;
    SDL_UpdateWindowSurfaceRects(native->window, pushed.data(), static_cast<int>(pushed.size()));
}

}  // namespace platform
