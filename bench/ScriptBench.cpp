#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/core/mFile.h"
#include "engine/platform/Clock.h"
#include "engine/platform/ReportSink.h"
#include "engine/platform/Window.h"
#include "engine/sprite/mSprite.h"
#include "engine/stage/mDirector.h"

namespace {

// Ten instructions a step, a condition and a jump among them; every thousandth step more.
constexpr const char* walker =
    "LABEL 1\nADVANCEFRAME\nMOVEX 1\nIFFRAME 1000,2\nSET 1\nIF 1,3\nLABEL 3\nCLEAR 1\n"
    "DELAY 10\nLOOP 1\nLABEL 2\nFRAME 0\nPOSX 0\nLOOP 1\n";
constexpr int64_t instructionsPerStep = 10;

// A cycle of jumps that never yields: each step runs into the bound.
constexpr const char* cycle = "LABEL 1\nMOVEX 1\nIF 0,2\nGOTO 1\nLABEL 2\n";

void load(mSprite& sprite, const char* source) {
    std::vector<uint8_t> block(source, source + std::strlen(source) + 1);
    mFile file;
    file.openMemory(block.data(), static_cast<int32_t>(block.size() - 1));
    sprite.loadScript(file);
    file.close();
}

// Instructions performed per second through the stage's tick path: 64 scripted sprites, all due
// at every step of the stage.
void ScriptInstructionsThroughStageTicks(benchmark::State& state) {
    platform::Clock::useVirtual(0);
    platform::Window window(640, 480);
    mDirector stage(window, 50);
    std::vector<std::unique_ptr<mSprite>> sprites;
    for (int i = 0; i < 64; ++i) {
        auto& sprite = sprites.emplace_back(std::make_unique<mSprite>());
        load(*sprite, walker);
        sprite->interval = 10;
        stage.add(*sprite);
    }
    int64_t steps = 0;
    for (auto _ : state) {
        platform::Clock::advance(10);
        stage.tickAll();
        steps += static_cast<int64_t>(sprites.size());
    }
    state.counters["instructions"] = benchmark::Counter(
        static_cast<double>(steps * instructionsPerStep), benchmark::Counter::kIsRate);
    platform::Clock::useReal();
}
BENCHMARK(ScriptInstructionsThroughStageTicks);

// The worst a step can cost: a script caught in a cycle performs the bound's 4096
// instructions at every tick.
void ScriptCycleAtTheBound(benchmark::State& state) {
    platform::ReportSink::Capture quiet;
    mSprite sprite;
    load(sprite, cycle);
    for (auto _ : state) {
        sprite.tick(0);
        benchmark::DoNotOptimize(sprite.x);
    }
    state.counters["instructions"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * mSprite::stepInstructionLimit,
                           benchmark::Counter::kIsRate);
}
BENCHMARK(ScriptCycleAtTheBound);

}  // namespace
