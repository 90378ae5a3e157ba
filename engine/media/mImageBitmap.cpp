#include "engine/media/mImageBitmap.h"

#include <algorithm>

mImageBitmap::~mImageBitmap() {
    if (destination) destination->useCount -= 1;
}

std::unique_ptr<mBitmap> mImageBitmap::createBitmap(int32_t keepDepth) {
    if (format == 0 && !openImage()) return nullptr;
    auto bitmap = std::make_unique<mBitmap>();
    if (!bitmap->createMemory(frameWidth, frameHeight, keepDepth ? bitsPerPixel : 8)) {
        return nullptr;
    }
    bitmap->setColors(palette, 0, 256);
    mBitmap* previous = destination;
    attachBitmap(bitmap.get());
    readFrame(0, 0, nullptr);
    bitmap->setTransparentIndex(*bitmap->info->topRow);
    attachBitmap(previous);
    return bitmap;
}

int32_t mImageBitmap::attachBitmap(mBitmap* bitmap) {
    if (destination) destination->useCount -= 1;
    destination = bitmap;
    destinationInfo = bitmap ? bitmap->info : nullptr;
    if (bitmap) bitmap->useCount += 1;
    return 1;
}

int32_t mImageBitmap::setAutoAdvance(int32_t flag) {
    autoAdvance = flag;
    return flag;
}

int32_t mImageBitmap::setTransparent(int32_t flag) {
    transparent = flag;
    return flag;
}

uint32_t mImageBitmap::setTransparentColour(uint32_t colour) {
    transparent = 1;
    transparentColour = colour;
    return colour;
}

int32_t mImageBitmap::setRemap(int32_t flag) {
    remap = flag;
    return flag;
}

// In 64 bits: a frame placed near the ends of the 32-bit range must not wrap into view.
mImageBitmap::VisibleArea mImageBitmap::visibleArea(int32_t x, int32_t y, const Rect* clip) const {
    if (!destination) return {};
    const SurfaceInfo& bounds = *destination->info;
    int64_t left = 0;
    int64_t top = 0;
    int64_t right = bounds.width;
    int64_t bottom = bounds.height;
    if (clip) {
        left = std::max<int64_t>(left, clip->left);
        top = std::max<int64_t>(top, clip->top);
        right = std::min<int64_t>(right, clip->right);
        bottom = std::min<int64_t>(bottom, clip->bottom);
    }
    left = std::max<int64_t>(left, x);
    top = std::max<int64_t>(top, y);
    right = std::min<int64_t>(right, int64_t{x} + frameWidth);
    bottom = std::min<int64_t>(bottom, int64_t{y} + frameHeight);
    if (left >= right || top >= bottom) return {};
    auto narrow = [](int64_t value) { return static_cast<int32_t>(value); };
    return {Rect{narrow(left - x), narrow(top - y), narrow(right - x), narrow(bottom - y)},
            Rect{narrow(left), narrow(top), narrow(right), narrow(bottom)}};
}

void mImageBitmap::copyFrame(mBitmap& frame, int32_t x, int32_t y, const Rect* clip) {
    if (!destination) return;
    const SurfaceInfo& target = *destination->info;
    if (target.bitsPerPixel != 8 || target.planes != 1) return;
    const VisibleArea area = visibleArea(x, y, clip);
    if (area.isEmpty()) return;
    frame.copyByDrawMode(*destination, area.target, area.source.left, area.source.top);
}
