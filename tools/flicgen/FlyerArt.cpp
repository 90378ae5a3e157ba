// The two crossing strips of the first saver. Their first frame is empty: the saver leaves a
// strip on the stage, paused on that frame, after each crossing.
#include <array>
#include <cmath>

#include "tools/flicgen/DemoArt.h"

namespace flicgen::art {

namespace {

// Progress of a crossing, from just after 0 at frame 1 to 1 at the last frame.
float crossing(int index, int count) {
    return static_cast<float>(index) / static_cast<float>(std::max(1, count - 1));
}

// The swarm gathers near the left end, then speeds away to the right and out of the strip.
Point swarmHead(float u, float width) {
    constexpr float start = 72.0f;
    float s = std::clamp((u - 0.3f) / 0.55f, 0.0f, 1.0f);
    return {start + (width + 40.0f - start) * std::pow(s, 1.6f),
            36.0f + 9.0f * std::sin(tau * 2.0f * u)};
}

}  // namespace

void swarmFlight(LightCanvas& canvas, int index, int count) {
    using namespace ideas;
    if (index == 0) return;
    const float width = static_cast<float>(canvas.width());
    const float u = crossing(index, count);
    const float step = 1.0f / static_cast<float>(std::max(1, count - 1));
    const Point head = swarmHead(u, width);
    const float speed = swarmHead(u + step, width).x - head.x;
    const float born = smoothstep(-0.05f, 0.25f, u);

    // Dust left glittering where the swarm gathered, gone by the end of the loop.
    const float dust = smoothstep(0.2f, 0.4f, u) * (1.0f - smoothstep(0.8f, 0.97f, u));
    for (std::uint32_t i = 0; dust > 0.0f && i < 18; ++i) {
        Point p{8.0f + 136.0f * hash01(i, 9), 8.0f + 56.0f * hash01(i, 10)};
        float s = std::sin(tau * (2.0f * u + hash01(i, 11)));
        float glint = s > 0.0f ? s * s : 0.0f;
        canvas.spot(p, {i % 2 ? violet : cyan, 0.8f * dust * glint, 0.5f, 1.8f});
    }

    // Sparks shed from the head drift and fade behind it.
    constexpr int sparkLife = 14;
    for (int e = std::max(3, index - sparkLife + 1); e <= index && e < count - sparkLife; ++e) {
        auto seed = static_cast<std::uint32_t>(e);
        Point from = swarmHead(crossing(e, count), width);
        if (from.x > width + 10.0f) continue;
        float age = static_cast<float>(index - e);
        float fade = std::pow(1.0f - age / sparkLife, 1.5f);
        Point p{from.x + (hash01(seed, 1) - 0.5f) * 12.0f - 0.4f * age,
                from.y + (hash01(seed, 2) - 0.5f) * 20.0f + (hash01(seed, 3) - 0.5f) * 0.8f * age};
        canvas.spot(p, {e % 2 ? gold : silver, 0.9f * fade, 0.6f, 1.8f});
    }

    constexpr std::array<int, 3> ramps{cyan, magenta, gold};
    for (std::uint32_t i = 0; i < 30; ++i) {
        float r = 5.0f + 17.0f * hash01(i, 4);
        float turns = 1.0f + std::floor(3.0f * hash01(i, 5));
        float a = tau * (hash01(i, 6) + turns * u);
        float spread = 1.0f + 2.5f * (1.0f - born);
        float lag = 0.6f + 1.6f * hash01(i, 7);
        Point p{head.x + 1.2f * r * std::cos(a) * spread - lag * speed,
                head.y + 0.8f * r * std::sin(a) * spread};
        float shimmer = 0.75f + 0.25f * std::sin(tau * (3.0f * u + hash01(i, 8)));
        canvas.spot(p, {ramps[i % 3], 0.9f * born * shimmer, 0.7f, 2.0f});
    }
    canvas.spot(head, {cyan, 0.45f * born, 0.0f, 11.0f});
    canvas.spot(head, {silver, born, 2.2f, 5.0f});
}

void rollingWheel(LightCanvas& canvas, int index, int count) {
    using namespace ideas;
    if (index == 0) return;
    const float width = static_cast<float>(canvas.width());
    constexpr float radius = 30.0f;
    const float cy = static_cast<float>(canvas.height()) - radius - 8.0f;
    auto centreAt = [&](int frame) {
        return width + radius - 4.0f - (width + 2.0f * radius + 2.0f) * crossing(frame, count);
    };

    // Sparks thrown off the trailing side of the rim fall and fade.
    constexpr int sparkLife = 16;
    for (int e = std::max(1, index - sparkLife + 1); e <= index && e < count - sparkLife; ++e)
        for (std::uint32_t k = 0; k < 2; ++k) {
            auto seed = static_cast<std::uint32_t>(e) * 2 + k;
            float a = (hash01(seed, 1) - 0.5f) * pi;
            float age = static_cast<float>(index - e);
            Point p{centreAt(e) + radius * std::cos(a) + (1.0f + 1.5f * hash01(seed, 2)) * age,
                    cy + radius * std::sin(a) + (-1.2f + 1.6f * hash01(seed, 3)) * age +
                        0.06f * age * age};
            float fade = std::pow(1.0f - age / sparkLife, 1.4f);
            canvas.spot(p, {k ? cyan : gold, 0.95f * fade, 0.7f, 1.8f});
        }

    // A wheel of curved arms, turning as it rolls along the bottom of the strip.
    const Point centre{centreAt(index), cy};
    const float turn = centre.x / radius;
    canvas.path(ellipse(centre, radius, radius, 0.0f, 90), true,
                {violet, 0.7f, 0.7f, 2.0f, Blend::Max});
    constexpr int arms = 6;
    for (int k = 0; k < arms; ++k) {
        std::array<Point, 9> arm{};
        for (std::size_t j = 0; j < arm.size(); ++j) {
            float t = static_cast<float>(j) / static_cast<float>(arm.size() - 1);
            Point p = rotate({radius * (0.2f + 0.75f * t), 0.0f},
                             turn + tau * static_cast<float>(k) / arms - 1.1f * t);
            arm[j] = {centre.x + p.x, centre.y + p.y};
        }
        canvas.path(arm, false, {k % 2 ? magenta : gold, 0.85f, 0.7f, 2.0f, Blend::Max});
        canvas.spot(arm.back(), {silver, 0.95f, 1.0f, 2.8f});
    }
    canvas.spot(centre, {gold, 0.95f, 2.5f, 5.0f});
}

}  // namespace flicgen::art
