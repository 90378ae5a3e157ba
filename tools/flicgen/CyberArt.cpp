// The three corner pictures of the first saver.
#include <array>
#include <cmath>

#include "tools/flicgen/DemoArt.h"

namespace flicgen::art {

namespace {

// A comet tail behind a point running along a curve: `steps` pieces of `spacing` each,
// fading to nothing at the far end.
template <typename Curve>
void tail(LightCanvas& canvas, Curve curve, float head, float spacing, int steps, Pen pen) {
    const float peak = pen.peak;
    for (int k = steps; k > 0; --k) {
        float fade = 1.0f - static_cast<float>(k) / static_cast<float>(steps + 1);
        pen.peak = peak * fade * fade;
        canvas.line(curve(head - spacing * static_cast<float>(k)),
                    curve(head - spacing * static_cast<float>(k - 1)), pen);
    }
}

}  // namespace

void radarScope(LightCanvas& canvas, int index, int count) {
    using namespace ideas;
    const Point centre{static_cast<float>(canvas.width()) / 2.0f,
                       static_cast<float>(canvas.height()) / 2.0f};
    const float radius = std::min(centre.x, centre.y) - 6.0f;
    const float sweep = tau * loopPhase(index, count);
    constexpr float trail = 1.6f;

    // The glass, dimly lit, with the afterglow of the sweep behind its beam.
    aroundCentre(canvas, centre, radius, [&](int x, int y, float, float a) {
        float behind = wrapAngle(sweep - a);
        float glow = behind < trail ? 0.5f * std::pow(1.0f - behind / trail, 2.0f) : 0.0f;
        canvas.add(x, y, green, 0.07f + glow);
    });
    Pen faint{green, 0.26f, 0.3f, 1.4f, Blend::Max};
    canvas.path(ellipse(centre, radius * 2.0f / 3.0f, radius * 2.0f / 3.0f, 0.0f, 100), true,
                faint);
    canvas.path(ellipse(centre, radius / 3.0f, radius / 3.0f, 0.0f, 60), true, faint);
    canvas.line({centre.x - radius, centre.y}, {centre.x + radius, centre.y}, faint);
    canvas.line({centre.x, centre.y - radius}, {centre.x, centre.y + radius}, faint);
    canvas.path(ellipse(centre, radius, radius, 0.0f, 140), true,
                {green, 0.75f, 0.7f, 2.2f, Blend::Max});
    for (int k = 0; k < 12; ++k) {
        Point dir = rotate({1.0f, 0.0f}, tau * static_cast<float>(k) / 12.0f);
        canvas.line({centre.x + dir.x * (radius - 6.0f), centre.y + dir.y * (radius - 6.0f)},
                    {centre.x + dir.x * radius, centre.y + dir.y * radius},
                    {green, 0.6f, 0.4f, 1.4f, Blend::Max});
    }

    Point beam = rotate({radius - 1.0f, 0.0f}, sweep);
    canvas.line(centre, {centre.x + beam.x, centre.y + beam.y}, {green, 1.0f, 0.6f, 2.2f});

    // Echoes light up as the beam passes and fade over the turn.
    for (std::uint32_t i = 0; i < 7; ++i) {
        float a = tau * hash01(i, 11);
        float r = radius * (0.25f + 0.65f * hash01(i, 12));
        float since = wrapAngle(sweep - a) / tau;
        float bright = std::pow(1.0f - since, 4.0f);
        Point p = rotate({r, 0.0f}, a);
        canvas.spot({centre.x + p.x, centre.y + p.y}, {gold, bright, 1.2f, 3.5f});
    }
    canvas.spot(centre, {silver, 0.8f, 1.0f, 3.0f});
}

void lissajousScope(LightCanvas& canvas, int index, int count) {
    using namespace ideas;
    const float width = static_cast<float>(canvas.width());
    const float height = static_cast<float>(canvas.height());
    const Point centre{width / 2.0f, height / 2.0f};
    const float u = loopPhase(index, count);

    // The screen's frame and graticule.
    Pen grid{violet, 0.16f, 0.3f, 1.0f, Blend::Max};
    for (float x = centre.x - 72.0f; x <= centre.x + 72.0f; x += 24.0f)
        canvas.line({x, 6.0f}, {x, height - 7.0f}, grid);
    for (float y = centre.y - 48.0f; y <= centre.y + 48.0f; y += 24.0f)
        canvas.line({6.0f, y}, {width - 7.0f, y}, grid);
    Pen axis{violet, 0.3f, 0.4f, 1.2f, Blend::Max};
    canvas.line({6.0f, centre.y}, {width - 7.0f, centre.y}, axis);
    canvas.line({centre.x, 6.0f}, {centre.x, height - 7.0f}, axis);
    const std::array<Point, 4> frame{Point{3, 3}, Point{width - 4.0f, 3},
                                     Point{width - 4.0f, height - 4.0f}, Point{3, height - 4.0f}};
    canvas.path(frame, true, {violet, 0.55f, 0.6f, 1.8f, Blend::Max});

    const float ax = width / 2.0f - 16.0f;
    const float ay = height / 2.0f - 14.0f;
    const float shift = tau * u;
    auto curve = [&](float t) {
        return Point{centre.x + ax * std::sin(3.0f * t + shift),
                     centre.y + ay * std::sin(2.0f * t)};
    };
    constexpr int steps = 600;
    std::vector<Point> trace;
    for (int k = 0; k < steps; ++k)
        trace.push_back(curve(tau * static_cast<float>(k) / steps));
    canvas.path(trace, true, {magenta, 0.62f, 0.5f, 1.5f, Blend::Max});

    // A bright point runs the curve twice per loop, dragging a fading tail.
    const float head = 2.0f * tau * u;
    tail(canvas, curve, head, 0.035f, 24, {cyan, 0.9f, 0.9f, 2.0f, Blend::Max});
    canvas.spot(curve(head), {silver, 1.0f, 1.8f, 5.0f});
}

void atomOrbits(LightCanvas& canvas, int index, int count) {
    using namespace ideas;
    const Point centre{static_cast<float>(canvas.width()) / 2.0f,
                       static_cast<float>(canvas.height()) / 2.0f};
    const float u = loopPhase(index, count);
    const float rx = std::min(centre.x, centre.y) - 6.0f;
    const float ry = rx * 0.34f;
    constexpr std::array<int, 3> laps{2, 3, 2};

    auto onOrbit = [&](int orbit, float a) {
        Point p = rotate({rx * std::cos(a), ry * std::sin(a)},
                         pi / 2.0f + tau * static_cast<float>(orbit) / 6.0f);
        return Point{centre.x + p.x, centre.y + p.y};
    };
    // Electrons and the halves of their orbits behind the nucleus are drawn before it.
    auto orbits = [&](bool front) {
        for (int o = 0; o < 3; ++o) {
            constexpr int steps = 90;
            for (int k = 0; k < steps; ++k) {
                float a0 = tau * static_cast<float>(k) / steps;
                float a1 = tau * static_cast<float>(k + 1) / steps;
                if ((std::sin((a0 + a1) / 2.0f) > 0.0f) != front) continue;
                canvas.line(onOrbit(o, a0), onOrbit(o, a1),
                            {cyan, front ? 0.34f : 0.2f, 0.4f, 1.6f, Blend::Max});
            }
            float a = tau * (u * static_cast<float>(laps[static_cast<std::size_t>(o)]) +
                             static_cast<float>(o) / 3.0f);
            if ((std::sin(a) > 0.0f) != front) continue;
            float near = front ? 1.0f : 0.65f;
            tail(canvas, [&](float at) { return onOrbit(o, at); }, a, 0.07f, 12,
                 {cyan, 0.75f * near, 0.7f, 1.8f, Blend::Max});
            canvas.spot(onOrbit(o, a), {silver, near, 1.6f, 5.0f});
        }
    };

    orbits(false);
    canvas.spot(centre, {gold, 0.32f, 2.0f, 22.0f});
    const float jiggle = tau * u;
    for (int i = 0; i < 7; ++i) {
        Point offset{0.0f, 0.0f};
        if (i > 0) offset = rotate({6.5f, 0.0f}, tau * static_cast<float>(i) / 6.0f + 0.3f);
        offset.x += 1.2f * std::sin(jiggle * static_cast<float>(1 + i % 3) + static_cast<float>(i));
        offset.y += 1.2f * std::cos(jiggle * static_cast<float>(1 + i % 2) + static_cast<float>(i));
        Point p{centre.x + offset.x, centre.y + offset.y};
        canvas.spot(p, {i % 2 ? magenta : gold, 0.8f, 2.6f, 3.0f, Blend::Max});
        canvas.spot({p.x - 1.0f, p.y - 1.0f}, {silver, 0.75f, 0.4f, 1.4f});
    }
    orbits(true);
}

}  // namespace flicgen::art
