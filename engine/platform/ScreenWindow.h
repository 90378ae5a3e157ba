#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/platform/PresentQueue.h"
#include "engine/platform/ScreenPicture.h"
#include "engine/platform/Window.h"

namespace platform {

// A window shown on a screen picture, where each client pixel covers scale × scale screen
// pixels. On a true-colour display the window's surface keeps its pixels in the screen picture
// itself: what a copy writes is on the screen at once, and showing only says where. Otherwise
// (a palette display, whose pixels are system palette slots, an overlay, or a screen too small)
// what released contexts wrote is converted into the screen when shown; after a change of the
// system palette, all of it. The screen picture is one of its own (headless runs that measure
// what showing costs) unless a backend hands in the memory of a real one.
class ScreenWindow : public Window {
  public:
    // The pixel scale that `autoScale` picks: 2 from this screen width on, else 1.
    static constexpr int32_t doubledFromWidth = 2560;
    static constexpr int32_t autoScale = 0;
    static int32_t scaleFor(int32_t asked, int32_t screenWidth);
    // The overlay draws within this top-left part of the client area.
    static constexpr int32_t overlayWidth = 256;
    static constexpr int32_t overlayHeight = 32;

    // A client area of width × height shown at `scale` (1 or more) on `memory`, or on a picture
    // of its own when that holds no pixels.
    ScreenWindow(int32_t width, int32_t height, int32_t scale, const ScreenPicture& memory = {});
    ~ScreenWindow() override;

    // Brings the screen up to date with what was drawn since the last call and returns the screen
    // areas that changed, clipped to the screen. The caller may push them while it holds
    // surface().holdPixels().
    std::vector<Rect> present();
    // Marks the whole picture for the next present, for screens that lost what they showed.
    void presentAll();

    int32_t pixelScale() const { return scale; }
    const ScreenPicture& screen() const { return picture; }
    // Whether the surface keeps its pixels in the screen picture.
    bool drawsOnScreen() const { return surface().keptOnScreen(); }

    // Drawn over the picture at each present: it draws into pixels (0x00RRGGBB, width × height
    // client pixels from the client area's top-left, at most overlayWidth × overlayHeight) and
    // returns the area it covered.
    using Overlay = std::function<Rect(std::span<uint32_t> pixels, int32_t width, int32_t height)>;
    void setOverlay(Overlay drawn);

    void resizeClient(int32_t width, int32_t height) override;

  protected:
    void released(const std::vector<Rect>& written) override;
    // Shows the window on `memory` from now on (a picture of its own when it holds no pixels),
    // at `newScale`, keeping what was drawn. Called with the window's size held.
    void useScreen(const ScreenPicture& memory, int32_t newScale);

  private:
    void bind();
    Rect drawOverlay();
    Rect toScreen(const Rect& area) const;

    int32_t scale;
    PresentQueue queue;
    ScreenPicture given;
    ScreenPicture picture;
    std::vector<uint32_t> ownPicture;
    Overlay overlay;
    Rect overlaid;  // where the overlay was drawn at the last present
    std::vector<uint32_t> overlayPixels;
};

}  // namespace platform
