#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

#include "engine/platform/Clock.h"
#include "engine/platform/Window.h"
#include "engine/stage/mDirector.h"

namespace {

// One frame of a full-screen stage on which eight solid rectangles each move by a few pixels:
// marking, composing and flushing the dirty areas to the window's surface.
void StageStepWithMovingRenderers(benchmark::State& state) {
    platform::Clock::useVirtual(0);
    platform::Window window(640, 480);
    mDirector stage(window, 50);
    std::array<RgbQuad, 256> colours{};
    for (int i = 0; i < 256; ++i)
        colours[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                      static_cast<uint8_t>(i * 3), 0};
    stage.setPalette(colours.data(), 0, 256);
    std::vector<std::unique_ptr<mRenderSolid>> solids;
    for (int32_t i = 0; i < 8; ++i) {
        auto& solid = solids.emplace_back(
            std::make_unique<mRenderSolid>(Rect{i * 70, i * 50, i * 70 + 96, i * 50 + 64}));
        solid->z = i + 1;
        solid->setColourQuad(&colours[static_cast<std::size_t>(20 + i * 25)]);
        stage.add(*solid);
    }
    stage.step();
    int32_t offset = 0;
    for (auto _ : state) {
        offset = (offset + 3) % 40;
        for (auto& solid : solids) {
            stage.invalidate(&solid->bounds, 1, 0);
            Rect& b = solid->bounds;
            b = {b.left - b.left % 70 + offset, b.top, b.left - b.left % 70 + offset + 96,
                 b.bottom};
            stage.invalidate(&b, 1, 0);
        }
        benchmark::DoNotOptimize(stage.step());
    }
    platform::Clock::useReal();
}
BENCHMARK(StageStepWithMovingRenderers);

}  // namespace
