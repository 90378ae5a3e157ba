#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/platform/Clock.h"
#include "engine/platform/Display.h"
#include "engine/stage/mDirector.h"
#include "engine/stage/mRenderer.h"

namespace stagetest {

// A renderer that records what the stage asks of it.
class RecordingRenderer : public mRenderer {
  public:
    explicit RecordingRenderer(int32_t depth = 0, const Rect& area = {}, std::string label = "") {
        z = depth;
        bounds = area;
        hitRect = area;
        name = std::move(label);
    }

    void attach() override { calls.push_back("attach"); }
    void detach() override { calls.push_back("detach"); }
    void draw(const Rect* rects, int32_t count) override {
        for (int32_t i = 0; i < count; ++i)
            drawn.push_back(rects[i]);
        if (order) order->push_back(name);
    }
    void tick(uint32_t lateness) override { ticks.push_back(lateness); }
    void hit(mRenderer& other) override { hits.push_back(&other); }
    void paletteChanged() override { calls.push_back("paletteChanged"); }

    std::string name;
    std::vector<std::string>* order = nullptr;  // shared log of draws, by name
    std::vector<std::string> calls;
    std::vector<Rect> drawn;
    std::vector<uint32_t> ticks;
    std::vector<mRenderer*> hits;
};

// The renderers on a stage from back to front.
inline std::vector<mRenderer*> ringOf(const mDirector& stage) {
    std::vector<mRenderer*> ring;
    if (mRenderer* renderer = stage.first) {
        do {
            ring.push_back(renderer);
            renderer = renderer->next;
        } while (renderer != stage.first && ring.size() < 1000);
    }
    return ring;
}

// The dirty rectangles listed, in list order.
inline std::vector<Rect> dirtyOf(const mDirector& stage) {
    std::vector<Rect> listed;
    if (!stage.dirtyTable) return listed;
    const DirtyEntry* sentinel = &stage.dirtyTable[0];
    for (const DirtyEntry* entry = sentinel->next; entry != sentinel && listed.size() < 1000;
         entry = entry->next)
        listed.push_back({entry->left, entry->top, entry->right, entry->bottom});
    return listed;
}

// Every test starts on a true-colour display at virtual time 1000, and leaves it so.
class StageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::Display::emulatePaletteDisplay(false);
        platform::Clock::useVirtual(1000);
    }
    void TearDown() override {
        platform::Display::emulatePaletteDisplay(false);
        platform::Display::refuseContexts(false);
        platform::Clock::useReal();
    }
};

}  // namespace stagetest
