#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

// Small maths for the demo art. Every animation is a pure function of its frame number, so
// randomness comes from hashing, never from a generator's running state.
namespace flicgen::art {

inline constexpr float pi = std::numbers::pi_v<float>;
inline constexpr float tau = 2.0f * pi;

struct Point {
    float x = 0;
    float y = 0;
};

struct Vec3 {
    float x = 0;
    float y = 0;
    float z = 0;
};

// A repeatable value in [0, 1) for a pair of numbers.
inline float hash01(std::uint32_t a, std::uint32_t b = 0) {
    std::uint32_t n = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    n ^= n >> 15;
    n *= 0x2C1B3C6Du;
    n ^= n >> 12;
    n *= 0x297A2D39u;
    n ^= n >> 15;
    return static_cast<float>(n >> 8) / 16777216.0f;
}

inline float smoothstep(float edge0, float edge1, float x) {
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Fraction of a loop of `count` frames at frame `index`, so that periodic motion joins up.
inline float loopPhase(int index, int count) {
    return static_cast<float>(index) / static_cast<float>(count);
}

inline Vec3 rotateX(Vec3 v, float a) {
    float c = std::cos(a), s = std::sin(a);
    return {v.x, v.y * c - v.z * s, v.y * s + v.z * c};
}

inline Vec3 rotateY(Vec3 v, float a) {
    float c = std::cos(a), s = std::sin(a);
    return {v.x * c + v.z * s, v.y, -v.x * s + v.z * c};
}

inline Point rotate(Point p, float a) {
    float c = std::cos(a), s = std::sin(a);
    return {p.x * c - p.y * s, p.x * s + p.y * c};
}

// `count` points round an ellipse with radii rx and ry turned by `tilt`, starting at angle 0.
inline std::vector<Point> ellipse(Point centre, float rx, float ry, float tilt, int count) {
    std::vector<Point> points;
    for (int k = 0; k < count; ++k) {
        float a = tau * static_cast<float>(k) / static_cast<float>(count);
        Point p = rotate({rx * std::cos(a), ry * std::sin(a)}, tilt);
        points.push_back({centre.x + p.x, centre.y + p.y});
    }
    return points;
}

// Angle in [0, tau).
inline float wrapAngle(float a) {
    a = std::fmod(a, tau);
    return a < 0 ? a + tau : a;
}

}  // namespace flicgen::art
