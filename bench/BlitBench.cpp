#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/graphics/mBitmap.h"

namespace {

constexpr uint8_t key = 0;

enum Picture : int64_t {
    sprite = 0,     // a disc on the key colour: long runs of each kind, mixed words at the rim
    scattered = 1,  // one pixel in four the key, at random: mixed words almost everywhere
};

// A source and a destination of the benchmark's size, with colour tables that differ so that
// remapped copies really translate.
struct Scene {
    mBitmap source;
    mBitmap destination;
    Rect rect;

    Scene(int32_t width, int32_t height, int64_t picture) : rect{0, 0, width, height} {
        source.createMemory(width, height, 8);
        destination.createMemory(width, height, 8);
        std::array<RgbQuad, 256> colours{};
        std::array<RgbQuad, 256> shifted{};
        for (std::size_t i = 0; i < colours.size(); ++i) {
            const auto v = static_cast<uint8_t>(i);
            colours[i] = RgbQuad{v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v * 7), 0};
            shifted[(i + 5) % shifted.size()] = colours[i];
        }
        source.setColors(colours.data(), 0, 256);
        destination.setColors(shifted.data(), 0, 256);
        source.setTransparentIndex(key);

        std::mt19937 random(1);
        std::uniform_int_distribution<int> value(1, 255);
        std::uniform_int_distribution<int> quarter(0, 3);
        const int64_t cx = width / 2;
        const int64_t cy = height / 2;
        const int64_t radius = std::min(cx, cy);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const bool inside =
                    picture == sprite ? (x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius
                                      : quarter(random) != 0;
                source.info->topRow[y * source.info->rowStep + x] =
                    inside ? static_cast<uint8_t>(value(random)) : key;
            }
        }
    }
};

void countPixels(benchmark::State& state, int64_t width, int64_t height) {
    state.SetItemsProcessed(state.iterations() * width * height);
    state.SetBytesProcessed(state.iterations() * width * height);
}

void memcpyBaseline(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0) * state.range(1));
    std::vector<uint8_t> from(bytes, 1);
    std::vector<uint8_t> to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    countPixels(state, state.range(0), state.range(1));
}

template <auto copy>
void copyRoutine(benchmark::State& state) {
    Scene scene(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
                state.range(2));
    for (auto _ : state) {
        (scene.source.*copy)(scene.destination, scene.rect, 0, 0);
        benchmark::DoNotOptimize(scene.destination.info->bits);
        benchmark::ClobberMemory();
    }
    countPixels(state, state.range(0), state.range(1));
}

void fill(benchmark::State& state) {
    Scene scene(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)), sprite);
    uint8_t colour = 0;
    for (auto _ : state) {
        scene.destination.fillRects(++colour, &scene.rect, 1);
        benchmark::DoNotOptimize(scene.destination.info->bits);
        benchmark::ClobberMemory();
    }
    countPixels(state, state.range(0), state.range(1));
}

void sizes(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"w", "h"})->Args({640, 480})->Args({200, 100});
}

void spriteSizes(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"w", "h", "scattered"})->Args({640, 480, sprite})->Args({200, 100, sprite});
}

void sizesAndPictures(benchmark::internal::Benchmark* bench) {
    spriteSizes(bench);
    bench->Args({640, 480, scattered})->Args({200, 100, scattered});
}

BENCHMARK(memcpyBaseline)->Apply(sizes);
BENCHMARK(copyRoutine<&mBitmap::copyOpaque>)->Name("copyOpaque")->Apply(spriteSizes);
BENCHMARK(copyRoutine<&mBitmap::copyTransparent>)->Name("copyTransparent")->Apply(sizesAndPictures);
BENCHMARK(copyRoutine<&mBitmap::copyRemapped>)->Name("copyRemapped")->Apply(spriteSizes);
BENCHMARK(copyRoutine<&mBitmap::copyTransparentRemapped>)
    ->Name("copyTransparentRemapped")
    ->Apply(sizesAndPictures);
BENCHMARK(fill)->Name("fillRects")->Apply(sizes);

}  // namespace
