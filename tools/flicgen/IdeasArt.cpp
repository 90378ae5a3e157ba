// The two central pictures of the first saver.
#include <array>
#include <cmath>

#include "tools/flicgen/DemoArt.h"

namespace flicgen::art {

namespace {

Point centreOf(const LightCanvas& canvas) {
    return {static_cast<float>(canvas.width()) / 2.0f, static_cast<float>(canvas.height()) / 2.0f};
}

// A four-pointed glint that swells and fades `times` times over the loop.
void twinkle(LightCanvas& canvas, Point at, float u, int times, float offset, int ramp) {
    float s = std::sin(tau * (u * static_cast<float>(times) + offset));
    float glint = s > 0.0f ? s * s * s : 0.0f;
    if (glint <= 0.02f) return;
    float arm = 1.5f + 5.0f * glint;
    Pen ray{ramp, 0.8f * glint, 0.3f, 1.2f, Blend::Max};
    canvas.line({at.x - arm, at.y}, {at.x + arm, at.y}, ray);
    canvas.line({at.x, at.y - arm}, {at.x, at.y + arm}, ray);
    canvas.spot(at, {ramp, glint, 0.6f, 1.8f});
}

}  // namespace

void spiralDisc(LightCanvas& canvas, int index, int count) {
    using namespace ideas;
    const Point centre = centreOf(canvas);
    const float u = loopPhase(index, count);
    constexpr float discRadius = 62.0f;
    constexpr float orbitRadius = 112.0f;
    constexpr float squash = 0.36f;
    constexpr float tilt = -0.2f;
    auto orbitPoint = [&](float a) {
        Point p = rotate({orbitRadius * std::cos(a), orbitRadius * squash * std::sin(a)}, tilt);
        return Point{centre.x + p.x, centre.y + p.y};
    };
    // The half of the orbit behind the disc is drawn first, the disc hides what it covers.
    auto orbit = [&](bool front) {
        constexpr int steps = 120;
        for (int k = 0; k < steps; ++k) {
            float a0 = tau * static_cast<float>(k) / steps;
            float a1 = tau * static_cast<float>(k + 1) / steps;
            if ((std::sin((a0 + a1) / 2.0f) > 0.0f) != front) continue;
            canvas.line(orbitPoint(a0), orbitPoint(a1),
                        {silver, front ? 0.34f : 0.2f, 0.4f, 1.6f, Blend::Max});
        }
        for (int i = 0; i < 8; ++i) {
            float a = tau * static_cast<float>(i) / 8.0f + pi * u;
            float depth = std::sin(a);
            if ((depth > 0.0f) != front) continue;
            float scale = 0.78f + 0.22f * depth;
            Point p = orbitPoint(a);
            canvas.spot(p, {i % 2 ? magenta : cyan, 0.55f + 0.4f * (0.5f + 0.5f * depth),
                            2.2f * scale, 6.5f * scale});
            canvas.spot(p, {silver, 0.95f, 0.6f * scale, 1.6f * scale});
        }
    };

    canvas.spot(centre, {violet, 0.3f, discRadius - 2.0f, 16.0f});
    orbit(false);
    aroundCentre(canvas, centre, discRadius, [&](int x, int y, float d, float a) {
        float arms = a * 2.0f * DemoPalette::cycleLength / tau;
        canvas.cycle(x, y, static_cast<int>(std::floor(arms + d * 0.55f)));
    });
    std::vector<Point> rim = ellipse(centre, discRadius, discRadius, 0.0f, 160);
    canvas.path(rim, true, {violet, 0.95f, 1.2f, 2.5f, Blend::Max});
    canvas.spot(centre, {silver, 1.0f, 3.0f, 13.0f});
    orbit(true);

    for (std::uint32_t i = 0; i < 12; ++i) {
        Point at{8.0f + hash01(i, 1) * (static_cast<float>(canvas.width()) - 16.0f),
                 8.0f + hash01(i, 2) * (static_cast<float>(canvas.height()) - 16.0f)};
        float dx = at.x - centre.x;
        float dy = at.y - centre.y;
        if (std::sqrt(dx * dx + dy * dy) < discRadius + 14.0f) continue;
        twinkle(canvas, at, u, 1 + static_cast<int>(i % 2), hash01(i, 3), i % 3 ? silver : gold);
    }
}

void starTetrahedron(LightCanvas& canvas, int index, int count) {
    using namespace ideas;
    const Point centre = centreOf(canvas);
    const float u = loopPhase(index, count);
    // Turning a third of a round about a body diagonal brings each tetrahedron onto itself.
    const float turn = tau / 3.0f * u;
    constexpr float tilt = 0.5f;
    constexpr float scale = 48.0f;
    constexpr float camera = 7.0f;

    // Coordinates with the turning diagonal (1, 1, 1) pointing up the screen.
    const float root2 = std::sqrt(2.0f);
    const float root3 = std::sqrt(3.0f);
    const float root6 = std::sqrt(6.0f);
    auto upright = [&](Vec3 v) {
        return Vec3{(v.x - v.y) / root2, -(v.x + v.y + v.z) / root3,
                    (v.x + v.y - 2.0f * v.z) / root6};
    };
    struct Projected {
        Point at;
        float depth;  // 0 farthest to 1 nearest
    };
    auto project = [&](Vec3 v) {
        Vec3 r = rotateX(rotateY(v, turn), tilt);
        float perspective = camera / (camera - r.z);
        return Projected{
            {centre.x + r.x * scale * perspective, centre.y + r.y * scale * perspective},
            std::clamp((r.z + 1.8f) / 3.6f, 0.0f, 1.0f)};
    };

    canvas.spot(centre, {violet, 0.16f, 10.0f, 70.0f});
    canvas.spot(centre, {magenta, 0.8f, 3.0f, 15.0f});

    // A ring of beads round the waist, running one bead ahead of the body each loop.
    constexpr int beads = 18;
    for (int i = 0; i < beads; ++i) {
        float a = tau * (static_cast<float>(i) + u) / beads;
        Projected p = project({1.5f * std::cos(a), 0.0f, 1.5f * std::sin(a)});
        canvas.spot(p.at, {violet, 0.35f + 0.5f * p.depth, 0.8f, 2.4f});
    }

    // Corners of a cube: the even ones make one tetrahedron, the odd ones the other.
    const std::array<Vec3, 8> corners{Vec3{1, 1, 1},   Vec3{1, -1, -1},  Vec3{-1, 1, -1},
                                      Vec3{-1, -1, 1}, Vec3{-1, -1, -1}, Vec3{-1, 1, 1},
                                      Vec3{1, -1, 1},  Vec3{1, 1, -1}};
    std::array<Projected, 8> points{};
    for (std::size_t i = 0; i < corners.size(); ++i)
        points[i] = project(upright(corners[i]));
    for (std::size_t body = 0; body < 2; ++body)
        for (std::size_t a = 0; a < 4; ++a)
            for (std::size_t b = a + 1; b < 4; ++b) {
                const Projected& p = points[body * 4 + a];
                const Projected& q = points[body * 4 + b];
                float near = (p.depth + q.depth) / 2.0f;
                canvas.line(p.at, q.at, {body == 0 ? cyan : gold, 0.42f + 0.5f * near, 0.7f, 1.7f});
            }
    for (const Projected& p : points)
        canvas.spot(p.at, {silver, 0.5f + 0.5f * p.depth, 1.4f, 4.0f});
}

}  // namespace flicgen::art
