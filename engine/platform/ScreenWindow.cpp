#include "engine/platform/ScreenWindow.h"

#include <algorithm>
#include <array>

#include "engine/platform/Display.h"

namespace platform {

int32_t ScreenWindow::scaleFor(int32_t asked, int32_t screenWidth) {
    if (asked != autoScale) return asked;
    return screenWidth >= doubledFromWidth ? 2 : 1;
}

ScreenWindow::ScreenWindow(int32_t width, int32_t height, int32_t pixelScale,
                           const ScreenPicture& memory)
    : Window(width, height), scale(std::max(pixelScale, 1)), queue(width, height), given(memory) {
    bind();
}

ScreenWindow::~ScreenWindow() = default;

void ScreenWindow::bind() {
    Rect client = clientRect();
    auto width = static_cast<std::size_t>(client.width()) * static_cast<std::size_t>(scale);
    auto height = static_cast<std::size_t>(client.height()) * static_cast<std::size_t>(scale);
    if (given.pixels) {
        picture = given;
        ownPicture = {};
    } else {
        if (ownPicture.size() != width * height) ownPicture.assign(width * height, 0);
        picture = {ownPicture.data(), width, static_cast<int32_t>(width),
                   static_cast<int32_t>(height)};
    }
    bool fits = static_cast<std::size_t>(picture.width) >= width &&
                static_cast<std::size_t>(picture.height) >= height;
    bool direct = fits && !overlay && !Display::isPaletteDisplay();
    surface().keepPixelsIn(direct ? picture : ScreenPicture{}, scale);
    queue.resize(client.width(), client.height());
    overlaid = {};
}

void ScreenWindow::useScreen(const ScreenPicture& memory, int32_t newScale) {
    given = memory;
    scale = std::max(newScale, 1);
    bind();
}

void ScreenWindow::setOverlay(Overlay drawn) {
    overlay = std::move(drawn);
    auto held = holdSize();
    bind();
}

void ScreenWindow::resizeClient(int32_t width, int32_t height) {
    auto held = holdSize();
    Window::resizeClient(width, height);
    bind();
}

void ScreenWindow::presentAll() {
    queue.add(std::array{clientRect()});
}

void ScreenWindow::released(const std::vector<Rect>& written) {
    queue.add(written);
}

Rect ScreenWindow::toScreen(const Rect& area) const {
    return {area.left * scale, area.top * scale, std::min(area.right * scale, picture.width),
            std::min(area.bottom * scale, picture.height)};
}

std::vector<Rect> ScreenWindow::present() {
    std::vector<Rect> areas;
    if (drawsOnScreen()) {
        areas = queue.take();
    } else {
        // What the overlay covered shows the picture again, unless the overlay covers it anew.
        if (!overlaid.isEmpty()) queue.add(std::array{overlaid});
        areas = queue.convert(surface(), picture, scale);
        if (overlay) {
            overlaid = drawOverlay();
            if (!overlaid.isEmpty()) areas.push_back(overlaid);
        }
    }
    std::vector<Rect> shown;
    for (const Rect& area : areas) {
        Rect onScreen = toScreen(area);
        if (!onScreen.isEmpty()) shown.push_back(onScreen);
    }
    return shown;
}

// Over a copy of the client area's corner, so that the surface keeps the scene's pixels.
Rect ScreenWindow::drawOverlay() {
    Rect corner{0, 0, std::min(overlayWidth, std::min(clientRect().width(), picture.width / scale)),
                std::min(overlayHeight, std::min(clientRect().height(), picture.height / scale))};
    if (corner.isEmpty()) return {};
    auto width = static_cast<std::size_t>(corner.width());
    overlayPixels.resize(width * static_cast<std::size_t>(corner.height()));
    surface().readPixels(corner, overlayPixels, width);
    Rect box = overlay(overlayPixels, corner.width(), corner.height());
    box = {std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, corner.right),
           std::min(box.bottom, corner.bottom)};
    if (box.isEmpty()) return {};
    auto block = static_cast<std::size_t>(scale);
    for (int32_t y = box.top; y < box.bottom; ++y) {
        auto from =
            std::span<const uint32_t>(overlayPixels)
                .subspan(static_cast<std::size_t>(y) * width + static_cast<std::size_t>(box.left),
                         static_cast<std::size_t>(box.width()));
        putScaledRow(picture.pixels + static_cast<std::size_t>(y) * block * picture.pitch +
                         static_cast<std::size_t>(box.left) * block,
                     picture.pitch, from, scale);
    }
    return box;
}

}  // namespace platform
