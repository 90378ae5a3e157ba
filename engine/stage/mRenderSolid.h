#pragma once
#include <cstdint>

#include "engine/base/Rect.h"
#include "engine/base/RgbQuad.h"
#include "engine/stage/mRenderer.h"

// A rectangle filled with one colour, drawn with the stage palette's nearest entry; every
// stage's background is one.
class mRenderSolid : public mRenderer {
  public:
    explicit mRenderSolid(const Rect& rect);

    void setColour(uint8_t red, uint8_t green, uint8_t blue);
    void setColourQuad(const RgbQuad* newColour);

    void draw(const Rect* rects, int32_t count) override;
    void paletteChanged() override;

    RgbQuad colour;
    int32_t colourIndex = 0;  // stage palette entry nearest to colour

  private:
    void matchColour();
};
