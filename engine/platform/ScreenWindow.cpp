#include "engine/platform/ScreenWindow.h"

#include <algorithm>
#include <array>

namespace platform {

int32_t ScreenWindow::scaleFor(int32_t asked, int32_t screenWidth) {
    if (asked != autoScale) return asked;
    return screenWidth >= doubledFromWidth ? 2 : 1;
}

ScreenWindow::ScreenWindow(int32_t width, int32_t height, int32_t pixelScale)
    : Window(width, height), scale(std::max(pixelScale, 1)), queue(width, height) {}

ScreenWindow::~ScreenWindow() = default;

ScreenWindow::ScreenPicture ScreenWindow::screen() {
    Rect client = clientRect();
    auto width = static_cast<std::size_t>(client.width()) * static_cast<std::size_t>(scale);
    auto height = static_cast<std::size_t>(client.height()) * static_cast<std::size_t>(scale);
    if (ownScreen.size() != width * height) ownScreen.assign(width * height, 0);
    return {ownScreen.data(), width, static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

void ScreenWindow::resizeClient(int32_t width, int32_t height) {
    Window::resizeClient(width, height);
    queue.resize(width, height);
}

void ScreenWindow::presentAll() {
    queue.add(std::array{clientRect()});
}

void ScreenWindow::released(const std::vector<Rect>& written) {
    queue.add(written);
}

std::vector<Rect> ScreenWindow::present() {
    std::vector<Rect> areas = queue.convert(surface());
    ScreenPicture target = screen();
    std::vector<Rect> shown;
    if (!target.pixels) return shown;
    std::span<const uint32_t> shadow = queue.shadow();
    auto shadowPitch = static_cast<std::size_t>(queue.width());
    for (const Rect& area : areas) {
        Rect onScreen{area.left * scale, area.top * scale,
                      std::min(area.right * scale, target.width),
                      std::min(area.bottom * scale, target.height)};
        if (onScreen.isEmpty()) continue;
        for (int32_t y = onScreen.top; y < onScreen.bottom; ++y) {
            const uint32_t* from =
                shadow.data() + static_cast<std::size_t>(y / scale) * shadowPitch;
            uint32_t* to = target.pixels + static_cast<std::size_t>(y) * target.pitch;
            if (scale == 1) {
                std::copy(from + onScreen.left, from + onScreen.right, to + onScreen.left);
                continue;
            }
            for (int32_t x = onScreen.left; x < onScreen.right; ++x)
                to[x] = from[x / scale];
        }
        shown.push_back(onScreen);
    }
    return shown;
}

}  // namespace platform
