#include "engine/sprite/mSprite.h"

#include <algorithm>
#include <limits>

#include "engine/media/mImage.h"
#include "engine/stage/mDirector.h"

int32_t mSprite::saturatedSum(int32_t a, int64_t b) {
    return static_cast<int32_t>(std::clamp<int64_t>(a + b, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

Rect mSprite::moved(const Rect& rect, int64_t dx, int64_t dy) {
    return Rect{saturatedSum(rect.left, dx), saturatedSum(rect.top, dy),
                saturatedSum(rect.right, dx), saturatedSum(rect.bottom, dy)};
}

mSprite::mSprite(const mSprite& other) : mObject(), mRenderer() {
    copyState(other);
}

mSprite& mSprite::operator=(const mSprite& other) {
    if (this == &other) return *this;
    releaseSounds();
    releaseScript();
    copyState(other);
    return *this;
}

mSprite::~mSprite() {
    releaseSounds();
    releaseScript();
}

void mSprite::copyState(const mSprite& other) {
    x = other.x;
    y = other.y;
    originX = other.originX;
    originY = other.originY;
    hideCount = other.hideCount;
    speed = other.speed;
    frame = other.frame;
    pc = other.pc;
    spriteFlags = other.spriteFlags;
    for (mImage* sound : other.sounds)
        addSound(*sound);
    script = other.script;
    if (script) script->useCount += 1;
}

// The holder that drops the last use destroys the sound.
void mSprite::releaseSounds() {
    for (mImage* sound : sounds) {
        if (--sound->useCount == 0) delete sound;
    }
    sounds.clear();
}

void mSprite::releaseScript() {
    if (script && --script->useCount == 0) delete script;
    script = nullptr;
}

void mSprite::attach() {
    if (!(spriteFlags & flagPaused)) startScript(0);
}

void mSprite::tick(uint32_t lateness) {
    if (spriteFlags & flagPaused) return;
    do {
        advance();
        spriteFlags &= ~flagStepDue;
        // An interval of 0 would never use up the lateness.
        if ((spriteFlags & flagCatchUp) && interval != 0 && lateness >= interval) {
            spriteFlags |= flagStepDue;
            lateness -= interval;
        }
    } while (spriteFlags & flagStepDue);
    setPosition(x, y, z);
}

void mSprite::advance() {
    if (script) {
        runScript();
    } else {
        frame = static_cast<int32_t>(static_cast<uint32_t>(frame) + 1);
    }
}

void mSprite::hit(mRenderer& other) {
    spriteFlags |= flagHitPending;
    lastHitId = other.hitId;
}

void mSprite::applyDepth(int32_t newZ) {
    if (newZ <= 0 || newZ == z) return;
    z = newZ;
    if (stage) stage->reorder(*this);
}

void mSprite::setPosition(int32_t newX, int32_t newY, int32_t newZ) {
    int64_t dx = int64_t{newX} - x;
    int64_t dy = int64_t{newY} - y;
    hitRect = moved(hitRect, dx, dy);
    x = newX;
    y = newY;
    applyDepth(newZ);
    Rect newBounds = moved(bounds, dx, dy);
    if (stage) {
        stage->invalidate(&newBounds, 1, 0);
        stage->invalidate(&bounds, 1, 0);
    }
    bounds = newBounds;
}

void mSprite::moveBy(int32_t dx, int32_t dy, int32_t dz) {
    setPosition(saturatedSum(x, dx), saturatedSum(y, dy), saturatedSum(z, dz));
}

void mSprite::setOrigin(int32_t newOriginX, int32_t newOriginY) {
    originX = newOriginX;
    originY = newOriginY;
    setPosition(x, y, z);
}

void mSprite::show() {
    if (hideCount >= 0) return;
    hideCount += 1;
    if (hideCount != 0) return;
    spriteFlags &= ~flagHidden;
    if (stage) stage->invalidate(&bounds, 1, 0);
}

void mSprite::hide() {
    if (hideCount == std::numeric_limits<int32_t>::min()) return;
    hideCount -= 1;
    if (hideCount != -1) return;
    spriteFlags |= flagHidden;
    if (stage) stage->invalidate(&bounds, 1, 0);
}

void mSprite::startScript(int32_t index) {
    spriteFlags &= ~flagPaused;
    pc = index;
}

void mSprite::pause() {
    spriteFlags |= flagPaused;
}

void mSprite::resume() {
    spriteFlags &= ~flagPaused;
}

uint32_t mSprite::scaledBySpeed(uint32_t ms) const {
    if (ms == 0) return 0;
    uint64_t scaled = uint64_t{ms} * 100 / std::max<uint32_t>(speed, 1);
    return static_cast<uint32_t>(
        std::clamp<uint64_t>(scaled, 1, std::numeric_limits<uint32_t>::max()));
}

void mSprite::setSpeed(uint32_t percent) {
    speed = percent;
    interval = scaledBySpeed(interval);
}

void mSprite::setCatchUp(int32_t on) {
    if (on)
        spriteFlags |= flagCatchUp;
    else
        spriteFlags &= ~flagCatchUp;
}

void mSprite::setLoop(int32_t on) {
    if (on)
        spriteFlags |= flagLoop;
    else
        spriteFlags &= ~flagLoop;
}

void mSprite::addSound(mImage& sound) {
    sound.useCount += 1;
    sounds.push_back(&sound);
}

int32_t mSprite::playSound(int32_t index, int32_t length, int32_t loops) {
    // Negative indexes lie past the end, as they would counted unsigned.
    if (index < 0 || static_cast<std::size_t>(index) >= sounds.size()) return 0;
    sounds[static_cast<std::size_t>(index)]->play(length, loops);
    return 1;
}
