// The pictures of the second saver.
#include <array>
#include <cmath>

#include "tools/flicgen/DemoArt.h"

namespace flicgen::art {

namespace {

struct PetalRing {
    int ramp;
    int petals;
    float inner;
    float outer;
    float halfAngle;  // of a petal at its widest
    float turns;      // petal spacings turned per loop; 0 for a still ring
};

struct MandalaShape {
    float rosette;  // radius of the colour-cycled centre
    std::array<PetalRing, 2> rings;
    int fireflies;
    float flightX;
    float flightY;
};

// Teardrop petals with soft edges and a bright midrib, lit from the centre outwards.
void drawPetals(LightCanvas& canvas, Point centre, const PetalRing& ring, float u) {
    const float spacing = tau / static_cast<float>(ring.petals);
    const float turn = ring.turns * spacing * u;
    aroundCentre(canvas, centre, ring.outer, [&](int x, int y, float d, float a) {
        if (d <= ring.inner || d >= ring.outer) return;
        float t = (d - ring.inner) / (ring.outer - ring.inner);
        float within = std::fmod(wrapAngle(a - turn), spacing);
        float across = std::abs(within - spacing / 2.0f) * d;
        float half = ring.halfAngle * d * std::pow(std::sin(pi * std::pow(t, 0.8f)), 0.7f);
        float cover = std::clamp((half - across) / 1.2f + 0.5f, 0.0f, 1.0f);
        if (cover <= 0.0f) return;
        // The body is lit by distance from the centre only and the outline glows, so that
        // turning the ring changes only the pixels near the petals' edges.
        float outline = std::max(0.0f, 1.0f - (half - across) / 2.0f);
        float level = 0.25f + 0.3f * (1.0f - t) + 0.5f * outline;
        canvas.add(x, y, ring.ramp, cover * std::min(level, 1.0f));
    });
}

void drawMandala(LightCanvas& canvas, const MandalaShape& shape, int index, int count) {
    using namespace lumi;
    const Point centre{static_cast<float>(canvas.width()) / 2.0f,
                       static_cast<float>(canvas.height()) / 2.0f};
    const float u = loopPhase(index, count);

    canvas.spot(centre, {violet, 0.14f, shape.rosette, shape.rings[0].outer - shape.rosette});
    for (const PetalRing& ring : shape.rings)
        drawPetals(canvas, centre, ring, u);

    auto edge = [&](float a) { return shape.rosette * (1.0f + 0.08f * std::cos(6.0f * a)); };
    aroundCentre(canvas, centre, edge(0.0f), [&](int x, int y, float d, float a) {
        if (d > edge(a)) return;
        float bands = d * 16.0f / shape.rosette - 2.5f * std::cos(6.0f * a);
        canvas.cycle(x, y, static_cast<int>(std::floor(bands)));
    });
    std::vector<Point> rim;
    for (int k = 0; k < 180; ++k) {
        float a = tau * static_cast<float>(k) / 180.0f;
        rim.push_back({centre.x + edge(a) * std::cos(a), centre.y + edge(a) * std::sin(a)});
    }
    canvas.path(rim, true, {pearl, 0.9f, 0.8f, 2.0f, Blend::Max});
    canvas.spot(centre, {pearl, 1.0f, shape.rosette / 12.0f, shape.rosette / 4.0f});

    // Fireflies circle the flower one place per loop, bobbing as they go.
    for (int i = 0; i < shape.fireflies; ++i) {
        // Where a firefly has come to by the end of the loop, the next one started.
        float place = (static_cast<float>(i) + u) / static_cast<float>(shape.fireflies);
        float bob = 3.0f * std::sin(tau * (2.0f * u + 3.0f * place));
        for (int k = 3; k >= 0; --k) {
            float a = tau * place - 0.035f * static_cast<float>(k);
            Point p{centre.x + (shape.flightX + bob) * std::cos(a),
                    centre.y + (shape.flightY + bob) * std::sin(a)};
            if (k > 0) {
                canvas.spot(p, {amber, 0.5f / static_cast<float>(k + 1), 0.6f, 1.6f});
                continue;
            }
            canvas.spot(p, {amber, 0.95f, 1.4f, 5.0f});
            canvas.spot(p, {pearl, 1.0f, 0.5f, 1.2f});
        }
    }
}

}  // namespace

void mandala(LightCanvas& canvas, int index, int count) {
    const MandalaShape shape{44.0f,
                             {PetalRing{lumi::rose, 12, 50.0f, 92.0f, 0.2f, 1.0f},
                              PetalRing{lumi::violet, 12, 54.0f, 80.0f, 0.14f, 0.0f}},
                             9,
                             124.0f,
                             92.0f};
    drawMandala(canvas, shape, index, count);
}

void miniMandala(LightCanvas& canvas, int index, int count) {
    const MandalaShape shape{20.0f,
                             {PetalRing{lumi::rose, 8, 23.0f, 44.0f, 0.26f, 1.0f},
                              PetalRing{lumi::violet, 8, 25.0f, 38.0f, 0.18f, 0.0f}},
                             6,
                             66.0f,
                             48.0f};
    drawMandala(canvas, shape, index, count);
}

void firework(LightCanvas& canvas, int index, int count) {
    using namespace lumi;
    const Point centre{static_cast<float>(canvas.width()) / 2.0f,
                       static_cast<float>(canvas.height()) * 0.44f};
    const float frame = static_cast<float>(index);

    // The waiting spark, which swells into a flash as the burst begins.
    if (index < 6) {
        float swell = frame < 2.0f ? frame : std::max(0.0f, 5.0f - frame) * 0.7f;
        canvas.spot(centre, {amber, 0.9f, 1.2f + swell, 4.0f + 3.0f * swell});
        canvas.spot(centre, {pearl, 1.0f, 0.5f + 0.8f * swell, 1.0f + 2.0f * swell});
    }
    const float t = frame - 2.0f;
    if (t < 0.0f) return;
    const float life = static_cast<float>(count) - 4.0f;
    const float age = t / life;
    if (age >= 1.0f) return;
    constexpr float drag = 0.09f;
    constexpr float gravity = 0.012f;
    auto travel = [&](float s, float at) { return s * (1.0f - std::exp(-drag * at)) / drag; };

    // Two shells of stars: a wide rose and amber one and a tighter blue-white one, each star with
    // its own heading and speed, trailing a streak that droops as it slows.
    for (std::uint32_t i = 0; i < 60; ++i) {
        bool inner = i % 3 == 0;
        float a = tau * hash01(i, 31);
        float s = (inner ? 2.2f : 4.3f) * (0.8f + 0.25f * hash01(i, 32));
        float bright = std::pow(1.0f - age, 1.2f);
        if (age > 0.5f) bright *= 0.45f + 0.55f * hash01(i, static_cast<std::uint32_t>(index) + 40);
        auto at = [&](float when) {
            return Point{centre.x + travel(s, when) * std::cos(a),
                         centre.y + travel(s, when) * std::sin(a) + gravity * when * when};
        };
        int ramp = age < 0.1f ? pearl : (inner ? sky : amber);
        Pen streak{ramp, 0.7f * bright, 0.5f, 1.5f, Blend::Max};
        canvas.line(at(std::max(0.0f, t - 3.0f)), at(std::max(0.0f, t - 1.5f)),
                    {ramp, 0.35f * bright, 0.4f, 1.3f, Blend::Max});
        canvas.line(at(std::max(0.0f, t - 1.5f)), at(t), streak);
        canvas.spot(at(t), {inner ? pearl : rose, bright, 0.8f, 1.8f});
    }
}

void lightRibbon(LightCanvas& canvas, int index, int count) {
    using namespace lumi;
    const float width = static_cast<float>(canvas.width());
    const float mid = static_cast<float>(canvas.height()) / 2.0f;
    const float u = loopPhase(index, count);
    auto centreY = [&](float x) { return mid + 22.0f * std::sin(tau * 1.5f * x / width + 0.6f); };
    auto thickness = [&](float x) {
        float taper = smoothstep(0.0f, 28.0f, x) * smoothstep(0.0f, 28.0f, width - 1.0f - x);
        return (4.5f + 1.5f * std::sin(tau * 2.0f * x / width)) * taper;
    };

    // The ribbon: colours flowing along its core, a green glow round it.
    for (int x = 0; x < canvas.width(); ++x) {
        float fx = static_cast<float>(x);
        float cy = centreY(fx);
        float half = thickness(fx);
        for (int y = 0; y < canvas.height(); ++y) {
            float off = static_cast<float>(y) - cy;
            float d = std::abs(off);
            if (d < half) {
                canvas.cycle(x, y, static_cast<int>(std::floor(fx / 4.0f + off * 0.8f)));
                continue;
            }
            float glow = (d - half) / (4.0f + 2.0f * half);
            if (glow < 1.0f && half > 0.5f)
                canvas.add(x, y, aurora, 0.6f * (1.0f - glow) * (1.0f - glow));
        }
    }

    // Lights ride the ribbon, entering at the left and leaving at the right.
    for (int i = 0; i < 5; ++i) {
        float along = std::fmod(static_cast<float>(i) / 5.0f + u, 1.0f);
        float x = along * (width + 40.0f) - 20.0f;
        Point p{x, centreY(x)};
        canvas.spot(p, {amber, 0.6f, 0.0f, 9.0f});
        canvas.spot(p, {pearl, 1.0f, 2.0f, 3.0f});
    }
}

}  // namespace flicgen::art
