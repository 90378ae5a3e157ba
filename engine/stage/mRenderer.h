#pragma once
#include <cstdint>

#include "engine/base/Rect.h"
#include "engine/core/mObject.h"

class mDirector;

// Base of everything drawn on a stage: the links of the stage's z-ordered ring, the timing of
// ticks, the area covered, and the settings of hit tests between renderers. The stage sets and
// clears `stage`, the links and `lastTick`; derived classes keep `bounds` equal to what they
// draw and mark old and new areas dirty through the stage whenever their look or place changes.
class mRenderer : public virtual mObject {
  public:
    static constexpr int32_t defaultHitDepth = 32767;

    mRenderer();
    // A renderer still on a stage takes itself off it.
    ~mRenderer() override;
    mRenderer(const mRenderer&) = delete;
    mRenderer& operator=(const mRenderer&) = delete;

    // Called by the stage's add once linked in, before paletteChanged.
    virtual void attach();
    // Called when leaving a stage (remove, or the stage's destruction) before `stage` clears.
    virtual void detach();
    // Draws the own pixels inside the given rectangles into the stage's back buffer.
    virtual void draw(const Rect* rects, int32_t count);
    // The interval elapsed; lateness says how much later than due the call comes.
    virtual void tick(uint32_t lateness);
    // `other` matched this renderer's hit mask, depth range and hit rectangle.
    virtual void hit(mRenderer& other);
    // The stage palette changed: re-match colours, mark the own area dirty if the look changes.
    virtual void paletteChanged();
    virtual void setZ(int32_t newZ);
    // Sets the depth extent and recomputes the depth range around z; a negative depth gives
    // the range 0 to 32767.
    virtual void setHitDepth(int32_t depth);

    mDirector* stage = nullptr;
    mRenderer* next = nullptr;  // ring: higher or equal z
    mRenderer* prev = nullptr;
    uint32_t lastTick = 0;
    uint32_t interval = 0;  // milliseconds between ticks; 0 never ticks
    int32_t z = 0;          // lower z is drawn first
    Rect bounds;
    uint32_t hitId = 0;
    uint32_t hitMask = 0xFFFFFFFF;  // 0 takes the renderer out of testing others
    Rect hitRect;
    int32_t hitDepth = defaultHitDepth;
    int32_t depthHigh = 0;
    int32_t depthLow = 0;
};
