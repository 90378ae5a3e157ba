#pragma once
#include <cstdint>
#include <memory>

#include "engine/base/Rect.h"
#include "engine/base/RgbQuad.h"
#include "engine/graphics/mBitmap.h"
#include "engine/stage/mRenderSolid.h"
#include "engine/stage/mRenderer.h"

namespace platform {
class Palette;
class Window;
}  // namespace platform

// One rectangle of the dirty list. Kind 0 is recomposed and copied; kind 1 is only copied and
// never absorbed or merged by later rectangles.
struct DirtyEntry {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t kind = 0;
    DirtyEntry* next = nullptr;
};

// The stage of one window. It is the off-screen back buffer, owns the window's palette, keeps
// the renderers drawn on it in a ring ordered by z, and advances time: each step ticks the
// renderers that are due, runs the hit tests, redraws the dirty parts of the back buffer and
// copies them to the window, and says how long the caller may sleep.
class mDirector : public mBitmap {
  public:
    // stageFlags bits.
    static constexpr uint32_t outlineFlushed = 1;   // white frames around copied rectangles
    static constexpr uint32_t notifyPalette = 2;    // palette changes go to every renderer
    static constexpr int32_t sentinelEdge = 32000;  // all four edges of the list's sentinel

    mDirector(platform::Window& target, int32_t capacity);
    ~mDirector() override;
    mDirector(const mDirector&) = delete;
    mDirector& operator=(const mDirector&) = delete;

    // The renderer ring. Adding a renderer that is on a stage, or removing or reordering one
    // that is not on this stage, does nothing.
    void add(mRenderer& renderer);
    void remove(mRenderer& renderer);
    void reorder(mRenderer& renderer);

    // One frame: tickAll, collide, compose, flush. Returns nextDelay.
    uint32_t step();
    void tickAll();
    void collide();
    // Front-most renderer whose hit rectangle meets the width × height box around (x, y).
    mRenderer* findAt(int32_t x, int32_t y, int32_t width, int32_t height);
    // Replaces the dirty table by an empty one of `capacity` entries; null on failure.
    DirtyEntry* setDirtyCapacity(int32_t capacity);
    // 1 if a and b overlap with area (touching is no overlap); out is then b clipped to a.
    static int32_t intersect(Rect& out, const Rect& a, const Rect& b);

    // Dirty areas: clipped to the back buffer, widened to multiples of 4 horizontally.
    void invalidate(const Rect* rects, int32_t count, int32_t kind);
    // 1 if recorded, merged or split; 0 if the table was full.
    int32_t addDirty(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t kind);
    void compose();
    void flush();
    void paint();
    // 1 if the message was handled; the window procedure's result is then in messageResult.
    int32_t handleMessage(platform::Window& target, uint32_t message, uintptr_t wParam,
                          intptr_t lParam);
    // 1 on success, 0 if the back buffer could not be re-created.
    int32_t resize(int32_t width, int32_t height);
    // colours[k] is the new colour of entry firstIndex + k.
    void setPalette(const RgbQuad* colours, int32_t firstIndex, int32_t count);

    mRenderSolid* background = nullptr;
    int32_t messageResult = 0;
    uint32_t stageFlags = notifyPalette;
    platform::Window* window = nullptr;
    const platform::Palette* previousPalette = nullptr;
    std::unique_ptr<platform::Palette> palette;
    DirtyEntry* dirtyTable = nullptr;  // entry 0 is the sentinel
    int32_t dirtyCapacity = 0;
    int32_t dirtyCount = 0;  // entries handed out, the sentinel included
    std::unique_ptr<uint8_t[]> dirtyMemory;
    mRenderer* first = nullptr;  // lowest z; null when the ring is empty
    std::unique_ptr<mRenderSolid> ownedBackground;
    uint32_t nextDelay = 0;
    uint32_t now = 0;

  private:
    void link(mRenderer& renderer);
    void resetDirtyList();
    void notifyRenderers();
    void createPalette();
    void animatePalette(const RgbQuad* colours, int32_t firstIndex, int32_t lastIndex);
};
