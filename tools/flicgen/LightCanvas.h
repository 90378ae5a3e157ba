#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "tools/flicgen/ArtMath.h"
#include "tools/flicgen/DemoPalette.h"

namespace flicgen {

// How new light meets light already there: Screen adds like two lamps (brighter, never past
// white), Max keeps the brighter, so the pieces of one stroke do not brighten where they meet.
enum class Blend { Screen, Max };

// A round brush of light: full `peak` out to `core` pixels from its centre, then fading to
// nothing over `halo` more.
struct Pen {
    int ramp = 0;
    float peak = 1.0f;
    float core = 1.0f;
    float halo = 2.0f;
    Blend blend = Blend::Screen;
};

// Draws with light on black and turns it into palette entries of a DemoPalette. Each pixel
// holds an amount of light of one ramp, or a place in the palette's colour loop. Unlit pixels
// become entry 0, the transparent background.
class LightCanvas {
  public:
    LightCanvas(int width, int height, const DemoPalette& palette);

    int width() const { return w; }
    int height() const { return h; }

    void clear();

    // Light below the cover level leaves a colour-loop pixel as it is; brighter light replaces
    // it, so lit things pass in front of cycled areas without a dim fringe.
    static constexpr float coverLevel = 0.5f;

    void add(int x, int y, int ramp, float amount, Blend blend = Blend::Screen);
    void cycle(int x, int y, int phase);

    void spot(art::Point centre, const Pen& pen);
    void line(art::Point from, art::Point to, const Pen& pen);
    // Joined segments; `closed` joins the last point back to the first.
    void path(std::span<const art::Point> points, bool closed, const Pen& pen);

    // The pixels as palette entries, top row first.
    std::span<const std::uint8_t> entries();

  private:
    std::size_t at(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
               static_cast<std::size_t>(x);
    }

    int w;
    int h;
    const DemoPalette& colours;
    std::vector<float> light;
    std::vector<std::uint8_t> ramp;
    std::vector<std::int16_t> phase;  // -1 where the pixel is not in the colour loop
    std::vector<std::uint8_t> out;
};

}  // namespace flicgen
