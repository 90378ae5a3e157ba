#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/platform/ScreenWindow.h"
#include "engine/platform/Window.h"

namespace platform {

// A window on the desktop through SDL. Drawing goes into the window's surface as for any
// window, on any thread; on a true-colour display that surface keeps its pixels in the picture
// of the window. Only the areas released contexts wrote are pushed to the screen (converted
// first where the screen window needs it). On an X display that shares memory with us the
// picture is shared with the server and the releasing thread pushes them itself; otherwise the
// picture is SDL's and `update` pushes them, on the thread that opened the window. With a pixel
// scale of N the client area is 1/N of the screen window's size and each of its pixels is shown
// as an N × N block.
class SdlWindow : public ScreenWindow {
  public:
    // Null, with `error` saying why, when SDL's video or the window cannot be had. A full-screen
    // window takes the display's size; width and height are the screen window's.
    static std::unique_ptr<SdlWindow> open(const char* title, int32_t width, int32_t height,
                                           bool fullScreen, std::string& error, int32_t scale = 1);
    // Draws into a window someone else owns (an X window id), at that window's size; null with
    // `error` set when there is no display or no such window.
    static std::unique_ptr<SdlWindow> adopt(uint64_t nativeId, std::string& error,
                                            int32_t scale = 1);
    // Draws into the display's root window.
    static std::unique_ptr<SdlWindow> adoptRoot(std::string& error, int32_t scale = 1);
    ~SdlWindow() override;

    // Only open() makes SDL windows.
    struct Native;
    class Key {
        friend class SdlWindow;
        Key() = default;
    };
    SdlWindow(Key, std::unique_ptr<Native> opened, int32_t width, int32_t height, int32_t scale,
              uint32_t wake);

    // Shows what was drawn and not yet shown. Must run on the thread that opened the window.
    void update();
    // Answers the window's events for up to `milliseconds`; true when the user closed it or
    // pressed Escape.
    bool waitForClose(int32_t milliseconds);
    // As waitForClose, collecting the keys pressed on the way (SDL key codes, Escape aside).
    bool waitForInput(int32_t milliseconds, std::vector<int32_t>& keys);
    // What a wait found to do. Both are true when it cannot tell, and after a wait that ran
    // its full time, so that nothing is put off for longer than one wait.
    struct Work {
        // The display sent something: SDL must read its events (SDL_PumpEvents). Unless it is
        // true, SDL's queue holds all there is, and reading it costs no call to the display.
        bool display = true;
        // A window someone else owns may have changed: foreignChanges() has news.
        bool foreign = true;
    };
    // Waits up to `milliseconds` for work: an SDL event, something to show, a change of a
    // window someone else owns, or `alsoReady` (a descriptor, -1 for none) becoming readable.
    // Returns at once when an event waits. Off X11 it waits for SDL events only, and looks
    // at `alsoReady` no later than every fallbackWait milliseconds.
    Work waitForWork(int32_t milliseconds, int alsoReady);
    static constexpr int32_t fallbackWait = 20;
    // The SDL event type posted, once until the next update, when a released context left
    // something for update() to show; an event loop answers it with update().
    uint32_t wakeEvent() const { return wakeType; }
    uint32_t windowId() const;
    // Where the pointer is, in client coordinates (possibly outside the client area).
    void pointerPosition(int32_t& x, int32_t& y) const;
    // Pushes the whole picture again, for areas of the screen that were uncovered.
    void repaint();
    // The screen window took a new size: the client area follows at the pixel scale asked for.
    // False when the client area keeps its size.
    bool followScreenSize(int32_t width, int32_t height);

    // What happened to a window someone else owns since the last call. Our own windows say
    // the same through SDL's window events.
    struct ForeignChanges {
        bool destroyed = false;
        bool resized = false;  // to width × height
        bool exposed = false;
        int32_t width = 0;
        int32_t height = 0;
    };
    ForeignChanges foreignChanges();

    void resizeClient(int32_t width, int32_t height) override;

  protected:
    void released(const std::vector<Rect>& written) override;

  private:
    static std::unique_ptr<SdlWindow> wrap(std::unique_ptr<Native> native, int32_t scale,
                                           std::string& error);
    // Shows the window on SDL's picture of it as it is now, at `newScale`.
    void showOn(int32_t newScale);
    // Our own screen picture as an SDL surface, when the window is not shown on SDL's.
    void wrapPicture();

    std::unique_ptr<Native> native;
    int32_t askedScale;
    int32_t nextScale = 0;  // for the next resizeClient; 0 keeps the scale
    uint32_t wakeType;
    std::atomic<bool> wakePending{false};
};

}  // namespace platform
