#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/platform/PresentQueue.h"
#include "engine/platform/Window.h"

namespace platform {

// A window shown on a screen: what released contexts wrote is converted, on the thread that
// shows the window, into a picture of the screen's pixels (0x00RRGGBB, rows from the top) where
// each client pixel covers scale × scale screen pixels. By itself the screen is a picture of its
// own (headless runs that measure what showing costs); a screen backend hands in the memory of
// the real one.
class ScreenWindow : public Window {
  public:
    // Where screen pixels go: `pitch` values from one row to the next.
    struct ScreenPicture {
        uint32_t* pixels = nullptr;
        std::size_t pitch = 0;
        int32_t width = 0;
        int32_t height = 0;
    };

    // The pixel scale that `autoScale` picks: 2 from this screen width on, else 1.
    static constexpr int32_t doubledFromWidth = 2560;
    static constexpr int32_t autoScale = 0;
    static int32_t scaleFor(int32_t asked, int32_t screenWidth);

    // A client area of width × height shown at `scale` (1 or more).
    ScreenWindow(int32_t width, int32_t height, int32_t scale);
    ~ScreenWindow() override;

    // Converts what was drawn since the last call onto the screen and returns the screen areas
    // it changed, clipped to the screen.
    std::vector<Rect> present();
    // Marks the whole picture for the next present, for screens that lost what they showed.
    void presentAll();

    int32_t pixelScale() const { return scale; }
    // The screen picture; of its own unless a backend hands one in.
    virtual ScreenPicture screen();

    void resizeClient(int32_t width, int32_t height) override;

  protected:
    void released(const std::vector<Rect>& written) override;
    // A new pixel scale, taking effect with the next resizeClient.
    void setPixelScale(int32_t newScale) { scale = newScale; }

  private:
    int32_t scale;
    PresentQueue queue;
    std::vector<uint32_t> ownScreen;
};

}  // namespace platform
