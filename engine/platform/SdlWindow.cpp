#include "engine/platform/SdlWindow.h"

#include <SDL.h>

namespace platform {

struct SdlWindow::Native {
    SDL_Window* window = nullptr;
    SDL_Surface* shadow = nullptr;  // over the present queue's pixels

    ~Native() {
        if (shadow) SDL_FreeSurface(shadow);
        if (window) SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

std::unique_ptr<SdlWindow> SdlWindow::open(const char* title, int32_t width, int32_t height,
                                           bool fullScreen, std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    auto native = std::make_unique<Native>();
    Uint32 flags = SDL_WINDOW_RESIZABLE | (fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    native->window = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                      width, height, flags);
    Uint32 wake = SDL_RegisterEvents(1);
    if (!native->window || wake == static_cast<Uint32>(-1)) {
        error = SDL_GetError();
        return nullptr;
    }
    int shownWidth = 0;
    int shownHeight = 0;
    SDL_GetWindowSize(native->window, &shownWidth, &shownHeight);
    auto opened =
        std::make_unique<SdlWindow>(Key{}, std::move(native), shownWidth, shownHeight, wake);
    if (!opened->native->shadow) {
        error = SDL_GetError();
        return nullptr;
    }
    return opened;
}

SdlWindow::SdlWindow(Key, std::unique_ptr<Native> opened, int32_t width, int32_t height,
                     uint32_t wake)
    : Window(width, height), native(std::move(opened)), queue(width, height), wakeType(wake) {
    makeShadow();
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
    makeShadow();
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
    std::vector<Rect> areas = queue.convert(surface());
    SDL_Surface* screen = SDL_GetWindowSurface(native->window);
    if (areas.empty() || !screen || !native->shadow) return;
    std::vector<SDL_Rect> pushed;
    pushed.reserve(areas.size());
    for (const Rect& area : areas) {
        SDL_Rect source{area.left, area.top, area.width(), area.height()};
        SDL_Rect target = source;
        SDL_BlitSurface(native->shadow, &source, screen, &target);
        pushed.push_back(source);
    }
    SDL_UpdateWindowSurfaceRects(native->window, pushed.data(), static_cast<int>(pushed.size()));
}

}  // namespace platform
