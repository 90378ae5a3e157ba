#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/platform/WindowSurface.h"

namespace platform {

class Palette;

// A window as the engine paints it: a client area of pixels reached through device contexts,
// and the area that needs painting. By itself it is off screen (headless runs and tests); a
// screen backend derives from it and shows what is released. Its surface may be read on one
// thread while another draws through a context; a change of size waits until no context is
// held. Paint areas belong to one thread at a time.
class Window {
  public:
    // Window messages a stage answers.
    static constexpr uint32_t wmSize = 5;
    static constexpr uint32_t wmPaint = 15;
    static constexpr uint32_t wmEraseBackground = 20;
    static constexpr uint32_t wmQueryNewPalette = 0x30F;
    static constexpr uint32_t wmPaletteChanged = 0x311;

    // A device context of the client area, held until released: what GetDC and ReleaseDC, or
    // BeginPaint and EndPaint, bracket. Empty when no context can be had.
    class Context {
      public:
        Context() = default;
        Context(Context&& other) noexcept;
        Context& operator=(Context&& other) noexcept;
        ~Context();

        explicit operator bool() const { return owner != nullptr; }
        WindowSurface* operator->() const { return &owner->surface(); }
        WindowSurface& operator*() const { return owner->surface(); }
        // Of a paint context: the area to repaint, empty if none.
        const Rect& paintArea() const { return area; }

      private:
        friend class Window;
        Context(Window& window, const Rect& paint, bool forPaint)
            : owner(&window), area(paint), painting(forPaint), held(window.sizeLock) {}
        Window* owner = nullptr;
        Rect area;
        bool painting = false;
        std::unique_lock<std::recursive_mutex> held;  // the surface stays while this is held
    };

    Window(int32_t width, int32_t height);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // (0, 0, width, height).
    Rect clientRect() const;

    // The client area's context; empty while the display refuses contexts.
    Context getDC();
    // The context for answering a paint request, with the area invalidated since the last one;
    // that area counts as painted once the context is released.
    Context beginPaint();
    // Marks an area for the next paint request; null marks the whole client area.
    void invalidateRect(const Rect* rect);
    bool needsPaint() const { return !invalid.isEmpty(); }

    // The client area changed size: a new, black surface, all of it in need of painting. Waits
    // for contexts held on other threads to be released.
    virtual void resizeClient(int32_t width, int32_t height);

    // A palette about to be deleted stops being selected here, for when it could not be
    // deselected through a context.
    void forgetPalette(const Palette& palette);

    WindowSurface& surface() { return *pixels; }
    const WindowSurface& surface() const { return *pixels; }
    // Contexts handed out so far, paint contexts included.
    uint32_t contextsTaken() const { return taken; }

  protected:
    // Holds the client area's size: no context is out on another thread while this is held.
    std::unique_lock<std::recursive_mutex> holdSize() { return std::unique_lock(sizeLock); }
    // A context was released; `written` holds the areas stored through it.
    virtual void released(const std::vector<Rect>& written);

  private:
    void release(bool painting);

    std::recursive_mutex sizeLock;
    std::unique_ptr<WindowSurface> pixels;
    Rect invalid;
    uint32_t taken = 0;
};

}  // namespace platform
