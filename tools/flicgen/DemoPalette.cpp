#include "tools/flicgen/DemoPalette.h"

#include <algorithm>
#include <cmath>

namespace flicgen {

namespace {

std::uint8_t level(float v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v / 4.0f), 0L, 63L) * 4);
}

Rgb rgb(float r, float g, float b) {
    return {level(r), level(g), level(b)};
}

// Level t (0 to 1] of a light ramp: dim to the full hue by 0.7, then towards white.
Rgb rampColour(Rgb hue, float t) {
    constexpr float full = 0.7f;
    if (t <= full) {
        float k = 0.05f + 0.95f * std::pow(t / full, 1.25f);
        return rgb(hue.r * k, hue.g * k, hue.b * k);
    }
    float w = 0.92f * std::pow((t - full) / (1.0f - full), 1.4f);
    return rgb(hue.r + (255.0f - hue.r) * w, hue.g + (255.0f - hue.g) * w,
               hue.b + (255.0f - hue.b) * w);
}

// A closed loop through key colours, with two bright bands and two dim ones on the way round.
std::array<Rgb, DemoPalette::cycleLength> colourLoop(std::span<const Rgb> keys, float dimmest) {
    std::array<Rgb, DemoPalette::cycleLength> loop{};
    constexpr float tau = 6.2831853f;
    for (int i = 0; i < DemoPalette::cycleLength; ++i) {
        float at = static_cast<float>(i) * static_cast<float>(keys.size()) /
                   static_cast<float>(DemoPalette::cycleLength);
        auto k = static_cast<std::size_t>(at);
        float f = at - static_cast<float>(k);
        Rgb a = keys[k % keys.size()];
        Rgb b = keys[(k + 1) % keys.size()];
        float bright = dimmest + (1.0f - dimmest) *
                                     (0.5f + 0.5f * std::cos(tau * 2.0f * static_cast<float>(i) /
                                                             DemoPalette::cycleLength));
        loop[static_cast<std::size_t>(i)] =
            rgb((a.r + (b.r - a.r) * f) * bright, (a.g + (b.g - a.g) * f) * bright,
                (a.b + (b.b - a.b) * f) * bright);
    }
    return loop;
}

}  // namespace

DemoPalette::DemoPalette(int firstEntry, const std::array<Rgb, rampCount>& hues,
                         const std::array<Rgb, cycleLength>& cycle)
    : first(firstEntry) {
    for (int r = 0; r < rampCount; ++r)
        for (int k = 0; k < rampLevels; ++k)
            base[static_cast<std::size_t>(first + r * rampLevels + k)] =
                rampColour(hues[static_cast<std::size_t>(r)],
                           static_cast<float>(k + 1) / static_cast<float>(rampLevels));
    for (int k = 0; k < cycleLength; ++k)
        base[static_cast<std::size_t>(first + rampCount * rampLevels + k)] =
            cycle[static_cast<std::size_t>(k)];
}

std::uint8_t DemoPalette::rampEntry(int ramp, float light) const {
    float q = light * static_cast<float>(rampLevels);
    if (q < 0.5f) return 0;
    int k = std::min(rampLevels - 1, static_cast<int>(q - 0.5f));
    return static_cast<std::uint8_t>(first + ramp * rampLevels + k);
}

std::uint8_t DemoPalette::cycleEntry(int phase) const {
    int p = ((phase % cycleLength) + cycleLength) % cycleLength;
    return static_cast<std::uint8_t>(first + rampCount * rampLevels + p);
}

Palette DemoPalette::colours(int shift) const {
    Palette out = base;
    int loop = first + rampCount * rampLevels;
    for (int k = 0; k < cycleLength; ++k)
        out[static_cast<std::size_t>(loop + k)] = base[static_cast<std::size_t>(
            loop + (k + shift % cycleLength + cycleLength) % cycleLength)];
    return out;
}

namespace ideas {

const DemoPalette& palette() {
    static const Rgb loopKeys[] = {{40, 230, 255}, {70, 110, 255}, {190, 70, 255},
                                   {255, 60, 190}, {255, 170, 40}, {120, 255, 110}};
    static const DemoPalette shared(1,
                                    {Rgb{40, 220, 255}, Rgb{255, 60, 200}, Rgb{255, 176, 40},
                                     Rgb{80, 255, 96}, Rgb{132, 88, 255}, Rgb{176, 196, 224}},
                                    colourLoop(loopKeys, 0.3f));
    return shared;
}

}  // namespace ideas

namespace lumi {

const DemoPalette& palette() {
    static const Rgb loopKeys[] = {{70, 250, 160},  {50, 210, 230},  {80, 140, 255},
                                   {170, 100, 255}, {255, 100, 170}, {255, 180, 80}};
    static const DemoPalette shared(10,
                                    {Rgb{255, 160, 48}, Rgb{255, 88, 136}, Rgb{64, 240, 160},
                                     Rgb{72, 168, 255}, Rgb{176, 100, 255}, Rgb{236, 228, 210}},
                                    colourLoop(loopKeys, 0.35f));
    return shared;
}

}  // namespace lumi

}  // namespace flicgen
