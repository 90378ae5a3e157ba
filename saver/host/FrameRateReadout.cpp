#include "saver/host/FrameRateReadout.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace {

constexpr uint32_t period = 1000;
constexpr int32_t glyphWidth = 5;
constexpr int32_t glyphHeight = 7;
constexpr int32_t margin = 2;  // around the text, inside the box
constexpr uint32_t ink = 0xFFFFFF;
constexpr uint32_t paper = 0x000000;

// 5 × 7 glyphs, one row a byte, the leftmost column in bit 4.
struct Glyph {
    char letter;
    std::array<uint8_t, glyphHeight> rows;
};
constexpr std::array<Glyph, 15> glyphs{{
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}},
    {'p', {0x00, 0x00, 0x1E, 0x11, 0x1E, 0x10, 0x10}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
}};

const Glyph& glyphOf(char letter) {
    for (const Glyph& glyph : glyphs) {
        if (glyph.letter == letter) return glyph;
    }
    return glyphs.back();
}

}  // namespace

void FrameRateReadout::frameAt(uint32_t nowMs) {
    if (!started) {
        started = true;
        periodStart = nowMs;
    }
    ++framesInPeriod;
    uint32_t elapsed = nowMs - periodStart;
    if (elapsed < period) return;
    shownRate = framesInPeriod * 1000.0 / elapsed;
    framesInPeriod = 0;
    periodStart = nowMs;
}

Rect FrameRateReadout::draw(std::span<uint32_t> pixels, int32_t width, int32_t height) const {
    char text[24];
    std::snprintf(text, sizeof text, "%.1f fps", shownRate);
    std::string_view shown(text);
    auto length = static_cast<int32_t>(shown.size());
    Rect box{0, 0, std::min(width, 2 * margin + length * (glyphWidth + 1) - 1),
             std::min(height, 2 * margin + glyphHeight)};
    if (box.isEmpty() || pixels.size() < static_cast<std::size_t>(width) * height) return {};
    for (int32_t y = box.top; y < box.bottom; ++y) {
        for (int32_t x = box.left; x < box.right; ++x) {
            int32_t column = x - margin;
            int32_t row = y - margin;
            bool lit = false;
            if (column >= 0 && row >= 0 && row < glyphHeight) {
                int32_t index = column / (glyphWidth + 1);
                int32_t within = column % (glyphWidth + 1);
                if (index < length && within < glyphWidth)
                    lit = (glyphOf(shown[static_cast<std::size_t>(index)])
                               .rows[static_cast<std::size_t>(row)] >>
                           (glyphWidth - 1 - within)) &
                          1;
            }
            pixels[static_cast<std::size_t>(y) * width + x] = lit ? ink : paper;
        }
    }
    return box;
}
