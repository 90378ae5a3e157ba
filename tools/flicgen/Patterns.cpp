#include "tools/flicgen/Patterns.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace flicgen {

namespace {

// Fully saturated colour wheel, 256 steps round.
Rgb hue(int h) {
    h &= 255;
    int sector = h / 43;
    auto rise = static_cast<std::uint8_t>((h % 43) * 6);
    auto fall = static_cast<std::uint8_t>(255 - rise);
    switch (sector) {
        case 0:
            return {255, rise, 0};
        case 1:
            return {fall, 255, 0};
        case 2:
            return {0, 255, rise};
        case 3:
            return {0, fall, 255};
        case 4:
            return {rise, 0, 255};
        default:
            return {255, 0, fall};
    }
}

// Position at time t of something bouncing between 0 and range.
int bounce(int t, int range) {
    if (range <= 0) return 0;
    int m = t % (2 * range);
    return m <= range ? m : 2 * range - m;
}

void fillRect(PatternFrame& out, int width, int height, int left, int top, int w, int h,
              std::uint8_t colour) {
    for (int y = std::max(top, 0); y < std::min(top + h, height); ++y)
        for (int x = std::max(left, 0); x < std::min(left + w, width); ++x)
            out.pixels[static_cast<std::size_t>(y * width + x)] = colour;
}

void resize(PatternFrame& out, int width, int height) {
    out.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    out.options = {};
}

Palette shapesPalette(bool variant) {
    Palette p{};
    for (int i = 0; i < 256; ++i)
        p[static_cast<std::size_t>(i)] = hue(i);
    p[0] = {0, 0, 0};
    p[1] = {24, 24, 48};
    p[2] = {40, 40, 72};
    p[3] = {220, 40, 40};
    p[4] = {40, 200, 80};
    p[5] = {240, 220, 40};
    p[6] = {250, 250, 250};
    if (variant) std::rotate(p.begin() + 3, p.begin() + 4, p.begin() + 7);
    return p;
}

void drawShapes(int width, int height, int t, PatternFrame& out) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.pixels[static_cast<std::size_t>(y * width + x)] = ((x / 8 + y / 8) & 1) ? 1 : 2;
    int rw = std::max(1, width / 5);
    int rh = std::max(1, height / 5);
    fillRect(out, width, height, bounce(3 * t, width - rw), bounce(2 * t, height - rh), rw, rh, 3);
    int r = std::max(1, std::min(width, height) / 8);
    int cx = bounce(4 * t, width - 1);
    int cy = height / 2;
    for (int y = std::max(0, cy - r); y <= std::min(height - 1, cy + r); ++y)
        for (int x = std::max(0, cx - r); x <= std::min(width - 1, cx + r); ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                out.pixels[static_cast<std::size_t>(y * width + x)] = 4;
    int s = std::max(1, std::min(width, height) / 10);
    fillRect(out, width, height, width * 3 / 4, bounce(5 * t, height - s), s, s, 5);
}

void shapes(int width, int height, int index, int, PatternFrame& out) {
    resize(out, width, height);
    out.palette = shapesPalette(false);
    drawShapes(width, height, index, out);
}

void cycle(int width, int height, int index, int, PatternFrame& out) {
    resize(out, width, height);
    for (int i = 0; i < 16; ++i) {
        auto g = static_cast<std::uint8_t>(i * 17);
        out.palette[static_cast<std::size_t>(i)] = {g, g, g};
    }
    for (int k = 0; k < 64; ++k)
        out.palette[static_cast<std::size_t>(16 + k)] = hue((k + index) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double d = std::hypot(x - width / 2, y - height / 2);
            out.pixels[static_cast<std::size_t>(y * width + x)] =
                static_cast<std::uint8_t>(16 + static_cast<int>(d / 2) % 64);
        }
}

void noise(int width, int height, int index, int, PatternFrame& out) {
    resize(out, width, height);
    for (int i = 0; i < 256; ++i) {
        auto v = static_cast<std::uint8_t>(i);
        out.palette[static_cast<std::size_t>(i)] = {v, static_cast<std::uint8_t>(v * 3),
                                                    static_cast<std::uint8_t>(255 - v)};
    }
    std::uint32_t state = 0x9E3779B9u * static_cast<std::uint32_t>(index + 1);
    for (auto& p : out.pixels) {
        state = state * 1664525u + 1013904223u;
        p = static_cast<std::uint8_t>(state >> 24);
    }
}

void gradient(int width, int height, int index, int, PatternFrame& out) {
    resize(out, width, height);
    for (int i = 0; i < 256; ++i)
        out.palette[static_cast<std::size_t>(i)] = hue(i);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.pixels[static_cast<std::size_t>(y * width + x)] =
                static_cast<std::uint8_t>(x + y + 4 * index);
}

// Three blades turning once round over the whole animation, so that it loops smoothly.
void spin(int width, int height, int index, int count, PatternFrame& out) {
    resize(out, width, height);
    out.palette[1] = {128, 128, 128};
    for (int k = 0; k < 64; ++k)
        out.palette[static_cast<std::size_t>(32 + k)] = {255, static_cast<std::uint8_t>(96 + 2 * k),
                                                         static_cast<std::uint8_t>(k)};
    constexpr double pi = std::numbers::pi;
    double turn = 2 * pi * index / std::max(count, 1);
    double cx = (width - 1) / 2.0;
    double cy = (height - 1) / 2.0;
    double radius = std::max(1.0, std::min(width, height) / 2.0 - 1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double d = std::hypot(x - cx, y - cy);
            double a = std::atan2(y - cy, x - cx) - turn;
            double blade = std::remainder(a, 2 * pi / 3);
            std::uint8_t colour = 0;
            if (d <= radius && (std::abs(blade) * d <= radius / 6 || d <= radius / 6))
                colour =
                    static_cast<std::uint8_t>(32 + std::min(63, static_cast<int>(d * 64 / radius)));
            else if (d <= radius + 1)
                colour = 1;
            out.pixels[static_cast<std::size_t>(y * width + x)] = colour;
        }
}

// The shapes again, with each group of eight frames written through every chunk kind.
void kinds(int width, int height, int index, int, PatternFrame& out) {
    int step = index % 8;
    resize(out, width, height);
    out.palette = shapesPalette(step >= 2);
    drawShapes(width, height, step == 6 ? index - 1 : index, out);
    switch (step) {
        case 0:
            out.options.postageStamp = true;
            break;
        case 3:
            out.options.pixels = PixelChunk::ByteDelta;
            break;
        case 4:
            out.options.pixels = PixelChunk::WordDelta;
            break;
        case 5:
            out.options.pixels = PixelChunk::Black;
            out.options.palette = PaletteChunk::Levels256;
            break;
        case 7:
            out.options.pixels = PixelChunk::Literal;
            out.options.palette = PaletteChunk::Levels64;
            break;
        default:
            break;
    }
}

constexpr std::array patternTable{
    Pattern{"shapes", "a rectangle, a circle and a square moving over a checkerboard", shapes},
    Pattern{"cycle", "still concentric rings whose colours rotate (palette changes only)", cycle},
    Pattern{"noise", "new random pixels in every frame", noise},
    Pattern{"gradient", "a diagonal rainbow sliding along, so every row changes", gradient},
    Pattern{"spin", "three blades turning once round over the animation", spin},
    Pattern{"kinds", "the shapes through every chunk kind, a different one in each 8 frames",
            kinds},
};

}  // namespace

std::span<const Pattern> patterns() {
    return patternTable;
}

const Pattern* findPattern(std::string_view name) {
    for (const Pattern& p : patternTable)
        if (p.name == name) return &p;
    return nullptr;
}

}  // namespace flicgen
