#include "engine/media/mImageBitmap.h"

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
