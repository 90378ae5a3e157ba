#include "engine/stage/mRenderer.h"

#include <algorithm>
#include <limits>

#include "engine/stage/mDirector.h"

namespace {

int32_t saturated(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

mRenderer::mRenderer() : hitRect(bounds) {
    mRenderer::setHitDepth(defaultHitDepth);
}

mRenderer::~mRenderer() {
    if (stage) stage->remove(*this);
}

void mRenderer::attach() {}

void mRenderer::detach() {}

void mRenderer::draw(const Rect*, int32_t) {}

void mRenderer::tick(uint32_t) {}

void mRenderer::hit(mRenderer&) {}

void mRenderer::paletteChanged() {}

void mRenderer::setZ(int32_t newZ) {
    z = newZ;
    if (!stage) return;
    stage->reorder(*this);
    stage->invalidate(&bounds, 1, 0);
}

void mRenderer::setHitDepth(int32_t depth) {
    hitDepth = depth;
    // Every negative depth, -1 included (whose half truncates to 0), means the whole range.
    if (depth < 0) {
        depthHigh = defaultHitDepth;
        depthLow = 0;
        return;
    }
    // Widened so that a z near the 32-bit limits cannot overflow; the ends saturate instead.
    int64_t half = depth / 2;
    depthHigh = saturated(int64_t{z} + half);
    depthLow = saturated(int64_t{z} - half);
}
