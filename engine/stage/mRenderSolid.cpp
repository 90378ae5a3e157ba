#include "engine/stage/mRenderSolid.h"

#include <algorithm>

#include "engine/stage/mDirector.h"

mRenderSolid::mRenderSolid(const Rect& rect) {
    bounds = rect;
    hitRect = rect;
}

void mRenderSolid::setColour(uint8_t red, uint8_t green, uint8_t blue) {
    RgbQuad quad{blue, green, red, 0};
    setColourQuad(&quad);
}

void mRenderSolid::setColourQuad(const RgbQuad* newColour) {
    if (!newColour) return;
    colour = *newColour;
    if (stage) matchColour();
}

void mRenderSolid::draw(const Rect* rects, int32_t count) {
    if (!stage || !rects || count <= 0) return;
    stage->fillRects(static_cast<uint8_t>(colourIndex), rects, count);
}

void mRenderSolid::paletteChanged() {
    if (stage) matchColour();
}

void mRenderSolid::matchColour() {
    // A stage without a colour table finds no entry; index 0 is still a valid pixel value.
    colourIndex = std::max(stage->nearestColor(colour), 0);
    stage->invalidate(&bounds, 1, 0);
}
