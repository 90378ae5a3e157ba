#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "engine/base/Rect.h"

struct SDL_Window;

// The few Xlib calls SDL's windows need on X11, kept apart from the SDL code.
namespace platform::xlib {

// Installs, before SDL starts video, an error handler that passes over errors about windows
// that have gone and writes every other error on standard error: no X error ends the process.
void ignoreVanishedWindows();
// Destroys the window; on X11 a full-screen one is taken off the screen first, and requests
// still in flight are answered before this returns.
void destroyWindow(SDL_Window* window);
// The root window of the default display; 0 without a display.
uint64_t rootWindow();
// The descriptor of the connection `window`'s events come over; -1 when it is not on X11.
int connectionOf(SDL_Window* window);
// Whether events of `window`'s connection were already read and wait in Xlib's queue, where no
// wait on the descriptor sees them.
bool eventsQueued(SDL_Window* window);

// The X window id of `window`; 0 when it is not on X11.
uint64_t windowIdOf(SDL_Window* window);

// A picture of a window, 0x00RRGGBB words, in memory the X server shares with us, pushed to the
// window over a display connection of its own. A push only sends the areas: it does not wait for
// the server, and any thread may push, so that a frame is shown by the thread that drew it
// without waking the one that answers the window's events.
class SharedPicture {
  public:
    // Null when the display shares no memory with us (another machine, no such extension) or
    // keeps the window's pixels otherwise than as 0x00RRGGBB words.
    static std::unique_ptr<SharedPicture> open(uint64_t window, int32_t width, int32_t height);
    ~SharedPicture();
    SharedPicture(const SharedPicture&) = delete;
    SharedPicture& operator=(const SharedPicture&) = delete;

    uint32_t* pixels() const;
    // Words from one row to the next.
    std::size_t pitch() const;
    int32_t width() const;
    int32_t height() const;
    // Sends the areas (clipped to the picture) to the window.
    void push(std::span<const Rect> areas);

    struct Parts;
    explicit SharedPicture(std::unique_ptr<Parts> made);

  private:
    std::unique_ptr<Parts> parts;
};

// A window someone else owns, followed over a display connection of its own: whether it has
// been destroyed, its size, and whether parts of it were uncovered. SDL is not told of these.
class WindowWatch {
  public:
    // Null, with `error` saying why, when there is no display or no such window.
    static std::unique_ptr<WindowWatch> open(uint64_t window, std::string& error);
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    struct Changes {
        bool destroyed = false;
        bool resized = false;
        bool exposed = false;
    };
    // Takes every event that arrived since the last call.
    Changes poll();
    // The descriptor the watched window's events come over.
    int connection() const;
    int32_t width() const { return currentWidth; }
    int32_t height() const { return currentHeight; }

    struct Connection;
    WindowWatch(std::unique_ptr<Connection> connection, uint64_t window, int32_t width,
                int32_t height);

  private:
    std::unique_ptr<Connection> display;
    uint64_t watched;
    int32_t currentWidth;
    int32_t currentHeight;
};

}  // namespace platform::xlib
