#include "engine/stage/mDirector.h"

#include <algorithm>
#include <limits>

#include "engine/platform/Clock.h"
#include "engine/platform/DebugSwitches.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Palette.h"
#include "engine/platform/Window.h"

namespace {

int32_t saturated(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

mDirector::mDirector(platform::Window& target, int32_t capacity) : window(&target) {
    if (platform::DebugSwitches::outlineFlushedAreas()) stageFlags |= outlineFlushed;

    Rect client = target.clientRect();
    createSection(client.right, client.bottom, 0);

    // The first setPalette creates the palette, all black, and selects it into the window.
    if (auto blackTable = platform::Memory::allocate(256 * sizeof(RgbQuad)))
        setPalette(reinterpret_cast<const RgbQuad*>(blackTable.get()), 0, 256);

    setDirtyCapacity(capacity);

    ownedBackground = std::make_unique<mRenderSolid>(client);
    ownedBackground->hitMask = 0;
    add(*ownedBackground);
    background = ownedBackground.get();
}

mDirector::~mDirector() {
    dirtyMemory.reset();
    dirtyTable = nullptr;
    dirtyCapacity = 0;
    dirtyCount = 0;

    if (palette) {
        if (auto dc = window->getDC())
            dc->selectPalette(previousPalette, false);
        else
            window->forgetPalette(*palette);
        palette.reset();
    }

    // Renderers outlive the stage: they only lose it, so that their destructors do not call
    // back into a stage that is gone.
    if (mRenderer* renderer = first) {
        do {
            mRenderer* following = renderer->next;
            --renderer->useCount;
            renderer->detach();
            renderer->stage = nullptr;
            renderer = following;
        } while (renderer != first);
    }
    first = nullptr;
    background = nullptr;
    ownedBackground.reset();
}

void mDirector::add(mRenderer& renderer) {
    if (renderer.stage) return;
    renderer.stage = this;
    ++renderer.useCount;
    link(renderer);
    renderer.lastTick = platform::Clock::now();
    renderer.attach();
    renderer.paletteChanged();
    invalidate(&renderer.bounds, 1, 0);
    compose();
}

void mDirector::remove(mRenderer& renderer) {
    if (renderer.stage != this) return;
    --renderer.useCount;
    renderer.detach();
    renderer.stage = nullptr;
    if (&renderer == first) {
        if (renderer.next == &renderer) {
            first = nullptr;
            return;
        }
        first = renderer.next;
    }
    // The renderer's own links stay as they were, so a walk standing on it can go on.
    renderer.prev->next = renderer.next;
    renderer.next->prev = renderer.prev;
    invalidate(&renderer.bounds, 1, 0);
    compose();
}

void mDirector::reorder(mRenderer& renderer) {
    if (renderer.stage != this || renderer.next == &renderer) return;
    if (&renderer == first) first = renderer.next;
    renderer.prev->next = renderer.next;
    renderer.next->prev = renderer.prev;
    link(renderer);
    invalidate(&renderer.bounds, 1, 0);
    renderer.setHitDepth(renderer.hitDepth);
}

// Inserts before the first renderer of strictly greater z, so equal z keeps the order of
// addition with the later one in front.
void mDirector::link(mRenderer& renderer) {
    if (!first) {
        renderer.next = &renderer;
        renderer.prev = &renderer;
        first = &renderer;
        return;
    }
    mRenderer* before = first;
    do {
        if (before->z > renderer.z) break;
        before = before->next;
    } while (before != first);
    renderer.next = before;
    renderer.prev = before->prev;
    before->prev->next = &renderer;
    before->prev = &renderer;
    if (renderer.z < first->z) first = &renderer;
}

uint32_t mDirector::step() {
    tickAll();
    collide();
    compose();
    flush();
    return nextDelay;
}

void mDirector::tickAll() {
    if (!first) return;
    now = platform::Clock::now();
    uint32_t soonest = std::numeric_limits<uint32_t>::max();
    // Ticks may take renderers off the stage; `first` is re-read so the walk still ends.
    mRenderer* renderer = first;
    do {
        uint32_t interval = renderer->interval;
        if (interval != 0) {
            uint32_t elapsed = now - renderer->lastTick;  // wraps with the counter
            if (elapsed >= interval) {
                renderer->tick(elapsed - interval);
                renderer->lastTick = now;
                elapsed = 0;
            }
            soonest = std::min(soonest, interval - elapsed);
        }
        renderer = renderer->next;
    } while (first && renderer != first);
    nextDelay = soonest == std::numeric_limits<uint32_t>::max() ? 0 : soonest;
}

void mDirector::collide() {
    if (!first) return;
    Rect overlap;
    mRenderer* a = first;
    do {
        if (a->hitMask != 0) {
            mRenderer* b = first;
            do {
                if (b != a && (b->hitId & a->hitMask) != 0 && a->depthHigh >= b->depthLow &&
                    b->depthHigh >= a->depthLow && intersect(overlap, a->hitRect, b->hitRect))
                    a->hit(*b);
                b = b->next;
            } while (first && b != first);
        }
        a = a->next;
    } while (first && a != first);
}

mRenderer* mDirector::findAt(int32_t x, int32_t y, int32_t width, int32_t height) {
    Rect box{saturated(x + (-1 - int64_t{width}) / 2), saturated(y + (-1 - int64_t{height}) / 2),
             saturated(x + int64_t{width} / 2), saturated(y + int64_t{height} / 2)};
    if (!first) return nullptr;
    Rect overlap;
    mRenderer* renderer = first->prev;
    while (true) {
        if (intersect(overlap, renderer->hitRect, box)) return renderer;
        if (renderer == first) return nullptr;
        renderer = renderer->prev;
    }
}

int32_t mDirector::intersect(Rect& out, const Rect& a, const Rect& b) {
    if (b.top >= a.bottom || a.top >= b.bottom || b.left >= a.right || a.left >= b.right) return 0;
    out = Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    return 1;
}
