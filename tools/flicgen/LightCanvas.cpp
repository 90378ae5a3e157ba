#include "tools/flicgen/LightCanvas.h"

#include <algorithm>
#include <cmath>

namespace flicgen {

namespace {

float strength(float distance, const Pen& pen) {
    if (distance <= pen.core) return pen.peak;
    float t = (distance - pen.core) / pen.halo;
    if (t >= 1.0f) return 0.0f;
    return pen.peak * (1.0f - t) * (1.0f - t);
}

}  // namespace

LightCanvas::LightCanvas(int width, int height, const DemoPalette& palette)
    : w(width), h(height), colours(palette) {
    std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    light.assign(n, 0.0f);
    ramp.assign(n, 0);
    phase.assign(n, -1);
    out.assign(n, 0);
}

void LightCanvas::clear() {
    std::fill(light.begin(), light.end(), 0.0f);
    std::fill(phase.begin(), phase.end(), std::int16_t{-1});
}

void LightCanvas::add(int x, int y, int rampIndex, float amount, Blend blend) {
    if (x < 0 || y < 0 || x >= w || y >= h || amount <= 0.0f) return;
    std::size_t i = at(x, y);
    if (phase[i] >= 0) {
        if (amount < coverLevel) return;
        phase[i] = -1;
        light[i] = 0.0f;
    }
    float before = light[i];
    if (amount > before) ramp[i] = static_cast<std::uint8_t>(rampIndex);
    float after = blend == Blend::Screen ? 1.0f - (1.0f - before) * (1.0f - amount)
                                         : std::max(before, amount);
    light[i] = std::min(after, 1.0f);
}

void LightCanvas::cycle(int x, int y, int loopPhase) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    std::size_t i = at(x, y);
    phase[i] = static_cast<std::int16_t>(
        ((loopPhase % DemoPalette::cycleLength) + DemoPalette::cycleLength) %
        DemoPalette::cycleLength);
    light[i] = 0.0f;
}

void LightCanvas::spot(art::Point centre, const Pen& pen) {
    float reach = pen.core + pen.halo;
    int x0 = std::max(0, static_cast<int>(std::floor(centre.x - reach)));
    int x1 = std::min(w - 1, static_cast<int>(std::ceil(centre.x + reach)));
    int y0 = std::max(0, static_cast<int>(std::floor(centre.y - reach)));
    int y1 = std::min(h - 1, static_cast<int>(std::ceil(centre.y + reach)));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float dx = static_cast<float>(x) - centre.x;
            float dy = static_cast<float>(y) - centre.y;
            add(x, y, pen.ramp, strength(std::sqrt(dx * dx + dy * dy), pen), pen.blend);
        }
}

void LightCanvas::line(art::Point from, art::Point to, const Pen& pen) {
    float reach = pen.core + pen.halo;
    int x0 = std::max(0, static_cast<int>(std::floor(std::min(from.x, to.x) - reach)));
    int x1 = std::min(w - 1, static_cast<int>(std::ceil(std::max(from.x, to.x) + reach)));
    int y0 = std::max(0, static_cast<int>(std::floor(std::min(from.y, to.y) - reach)));
    int y1 = std::min(h - 1, static_cast<int>(std::ceil(std::max(from.y, to.y) + reach)));
    float dx = to.x - from.x;
    float dy = to.y - from.y;
    float length2 = dx * dx + dy * dy;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float px = static_cast<float>(x) - from.x;
            float py = static_cast<float>(y) - from.y;
            float t = length2 > 0.0f ? std::clamp((px * dx + py * dy) / length2, 0.0f, 1.0f) : 0.0f;
            float ex = px - t * dx;
            float ey = py - t * dy;
            add(x, y, pen.ramp, strength(std::sqrt(ex * ex + ey * ey), pen), pen.blend);
        }
}

void LightCanvas::path(std::span<const art::Point> points, bool closed, const Pen& pen) {
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        line(points[i], points[i + 1], pen);
    if (closed && points.size() > 2) line(points.back(), points.front(), pen);
}

std::span<const std::uint8_t> LightCanvas::entries() {
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] =
            phase[i] >= 0 ? colours.cycleEntry(phase[i]) : colours.rampEntry(ramp[i], light[i]);
    return out;
}

}  // namespace flicgen
