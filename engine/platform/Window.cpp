#include "engine/platform/Window.h"

#include <algorithm>
#include <utility>

#include "engine/platform/Display.h"

namespace platform {

Window::Context::Context(Context&& other) noexcept
    : owner(std::exchange(other.owner, nullptr)),
      area(other.area),
      painting(other.painting),
      held(std::move(other.held)) {}

Window::Context& Window::Context::operator=(Context&& other) noexcept {
    if (this != &other) {
        if (owner) owner->release(painting);
        owner = std::exchange(other.owner, nullptr);
        area = other.area;
        painting = other.painting;
        held = std::move(other.held);
    }
    return *this;
}

Window::Context::~Context() {
    if (owner) owner->release(painting);
}

Window::Window(int32_t width, int32_t height)
    : pixels(std::make_unique<WindowSurface>(width, height)) {}

Window::~Window() = default;

Rect Window::clientRect() const {
    return {0, 0, pixels->width(), pixels->height()};
}

Window::Context Window::getDC() {
    if (Display::contextsRefused()) return {};
    ++taken;
    return Context(*this, {}, false);
}

Window::Context Window::beginPaint() {
    if (Display::contextsRefused()) return {};
    ++taken;
    return Context(*this, invalid, true);
}

void Window::invalidateRect(const Rect* rect) {
    Rect client = clientRect();
    Rect area =
        rect ? Rect{std::max(rect->left, 0), std::max(rect->top, 0),
                    std::min(rect->right, client.right), std::min(rect->bottom, client.bottom)}
             : client;
    if (area.isEmpty()) return;
    if (invalid.isEmpty()) {
        invalid = area;
        return;
    }
    invalid = {std::min(invalid.left, area.left), std::min(invalid.top, area.top),
               std::max(invalid.right, area.right), std::max(invalid.bottom, area.bottom)};
}

void Window::resizeClient(int32_t width, int32_t height) {
    std::lock_guard guard(sizeLock);
    pixels = std::make_unique<WindowSurface>(width, height);
    invalid = {};
    invalidateRect(nullptr);
}

void Window::forgetPalette(const Palette& palette) {
    if (pixels->selectedPalette() == &palette) pixels->selectPalette(nullptr, false);
}

void Window::release(bool painting) {
    if (painting) invalid = {};
    released(pixels->takeWrittenAreas());
}

void Window::released(const std::vector<Rect>&) {}

}  // namespace platform
