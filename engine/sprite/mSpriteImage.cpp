#include "engine/sprite/mSpriteImage.h"

#include "engine/media/mImageBitmap.h"
#include "engine/stage/mDirector.h"

mSpriteImage::mSpriteImage() {
    spriteFlags |= flagLoop;
}

mSpriteImage::mSpriteImage(const mSpriteImage& other)
    : mObject(), mSprite(other), useFrameOrigin(other.useFrameOrigin) {
    setImage(other.image);
}

mSpriteImage& mSpriteImage::operator=(const mSpriteImage& other) {
    if (this == &other) return *this;
    mSprite::operator=(other);
    useFrameOrigin = other.useFrameOrigin;
    setImage(other.image);
    return *this;
}

mSpriteImage::~mSpriteImage() {
    mImageBitmap* old = image;
    image = nullptr;
    release(old);
}

void mSpriteImage::setImage(mImageBitmap* newImage) {
    // The new use is taken first, so that setting the held image again cannot destroy it.
    mImageBitmap* old = image;
    image = newImage;
    if (image) image->useCount += 1;
    release(old);
    if (!image) return;
    image->openImage();
    image->setAutoAdvance(0);
    interval = scaledBySpeed(static_cast<uint32_t>(image->frameTime));
    if (stage) image->attachBitmap(stage);
}

// An image this sprite no longer shows stops drawing into the stage unless another sprite on
// the stage still shows it; the holder that drops the last use destroys it.
void mSpriteImage::release(mImageBitmap* old) {
    if (!old) return;
    if (stage && old != image && !shownElsewhere(*old)) {
        old->attachBitmap(nullptr);
        old->stop();
    }
    if (--old->useCount == 0) delete old;
}

// Renderers already taken off a stage that is being destroyed have a null `stage`.
bool mSpriteImage::shownElsewhere(const mImageBitmap& shown) const {
    const mRenderer* renderer = stage->first;
    if (!renderer) return false;
    do {
        if (renderer != this && renderer->stage == stage) {
            const auto* sprite = dynamic_cast<const mSpriteImage*>(renderer);
            if (sprite && sprite->image == &shown) return true;
        }
        renderer = renderer->next;
    } while (renderer != stage->first);
    return false;
}

void mSpriteImage::attach() {
    if (!image) return;
    image->attachBitmap(stage);
    image->openImage();
    interval = scaledBySpeed(static_cast<uint32_t>(image->frameTime));
    takeImagePalette();
    if (!(spriteFlags & flagPaused)) startScript(0);
}

// Without this, an image shared with a sprite that has left the stage, or one whose holders
// outlive the stage, would keep drawing into a back buffer that may be gone.
void mSpriteImage::detach() {
    if (!image || shownElsewhere(*image)) return;
    image->attachBitmap(nullptr);
    image->stop();
}

void mSpriteImage::takeImagePalette() {
    if (stage && image->paletteChanged && !image->remap) stage->setPalette(image->palette, 0, 256);
}

void mSpriteImage::paletteChanged() {
    if (image) image->updateRemap();
}

Rect mSpriteImage::placement() const {
    int64_t left = int64_t{x} - originX;
    int64_t top = int64_t{y} - originY;
    if (useFrameOrigin) {
        left -= image->originX;
        top -= image->originY;
    }
    Rect area{saturatedSum(0, left), saturatedSum(0, top), 0, 0};
    area.right = saturatedSum(area.left, image->width);
    area.bottom = saturatedSum(area.top, image->height);
    return area;
}

void mSpriteImage::setPosition(int32_t newX, int32_t newY, int32_t newZ) {
    x = newX;
    y = newY;
    applyDepth(newZ);
    if (!image) return;
    Rect area = placement();
    if (!(spriteFlags & flagHidden) && stage) {
        if (area == bounds) {
            Rect changed = moved(image->changed, area.left, area.top);
            stage->invalidate(&changed, 1, 0);
        } else {
            stage->invalidate(&area, 1, 0);
            stage->invalidate(&bounds, 1, 0);
        }
    }
    bounds = area;
    hitRect = area;
}

void mSpriteImage::draw(const Rect* rects, int32_t count) {
    if ((spriteFlags & flagHidden) || !image) return;
    if (image->currentFrame != frame) image->seekFrame(frame, 0);
    Rect area = placement();
    for (int32_t index = 0; index < count; ++index)
        image->readFrame(area.left, area.top, &rects[index]);
}

void mSpriteImage::tick(uint32_t lateness) {
    // Without an image it is a plain sprite: there is no frame count to wrap at.
    if (!image) {
        mSprite::tick(lateness);
        return;
    }
    if (spriteFlags & flagPaused) return;
    do {
        spriteFlags &= ~flagStepDue;
        interval = 0;
        advance();
        // Compared unsigned, negative frames count as past the end.
        if (static_cast<uint32_t>(frame) >= static_cast<uint32_t>(image->frameCount)) {
            if (!(spriteFlags & flagLoop)) {
                // The last frame stays; with no interval the stage ticks the sprite no more. A
                // script's DELAY in this step keeps it ticking, so that it can go on.
                frame = image->frameCount - 1;
                image->seekFrame(frame, 0);
                interval = scaledBySpeed(interval);
                break;
            }
            frame = 0;
        }
        image->seekFrame(frame, 0);
        if (interval == 0) interval = static_cast<uint32_t>(image->frameTime);
        interval = scaledBySpeed(interval);
        // An interval of 0 would never use up the lateness.
        if ((spriteFlags & flagCatchUp) && interval != 0) {
            if (lateness >= interval) {
                lateness -= interval;
                spriteFlags |= flagStepDue;
            } else {
                interval -= lateness;
            }
        }
    } while (spriteFlags & flagStepDue);
    setPosition(x, y, z);
    takeImagePalette();
}

void mSpriteImage::startScript(int32_t index) {
    mSprite::startScript(index);
    if (image) image->play(0, 0);
}

void mSpriteImage::pause() {
    mSprite::pause();
    if (image) image->pause();
}

void mSpriteImage::resume() {
    mSprite::resume();
    if (image) image->play(0, 1);
}
