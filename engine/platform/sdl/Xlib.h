#pragma once
#include <cstdint>

struct SDL_Window;

// The few Xlib calls SDL's windows need on X11, kept apart from the SDL code.
namespace platform::xlib {

// Installs, before SDL starts video, an error handler that passes over errors about windows
// that have gone; every other error goes to the handler that was installed before.
void ignoreVanishedWindows();
// Destroys the window; on X11 a full-screen one is taken off the screen first, and requests
// still in flight are answered before this returns.
void destroyWindow(SDL_Window* window);
// The root window of the default display; 0 without a display.
uint64_t rootWindow();

}  // namespace platform::xlib
