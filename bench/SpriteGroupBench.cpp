// Drawing a frame of a sprite group against reading the same frame from its FLIC animation:
// the group decodes once when it is filled, the reader on every frame. One iteration is one
// frame brought into an 8-bit bitmap of the frame's size. items_per_second: frames.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageFlic.h"
#include "engine/sprite/mSpriteGroup.h"
#include "tools/flicgen/FlicWriter.h"
#include "tools/flicgen/Patterns.h"

namespace {

constexpr int frameCount = 30;

// The "shapes" animation at that size, written once into the temporary folder.
std::filesystem::path animation(int width, int height) {
    auto dir = std::filesystem::temp_directory_path() / "lumivale-bench-group";
    auto path = dir / ("shapes" + std::to_string(width) + "x" + std::to_string(height) + ".flc");
    if (std::filesystem::exists(path)) return path;
    flicgen::FlicWriter writer(width, height, flicgen::FlicFormat::Flc, 70);
    for (int k = 0; k < frameCount; ++k) {
        flicgen::PatternFrame frame;
        flicgen::findPattern("shapes")->render(width, height, k, frameCount, frame);
        writer.addFrame(frame.pixels, frame.palette, frame.options);
    }
    std::filesystem::create_directories(dir);
    writer.finish(path);
    return path;
}

// Every frame in order, round and round, through `source` into a bitmap of its size.
void drawFrames(benchmark::State& state, mImageBitmap& source) {
    mBitmap target(source.frameWidth, source.frameHeight, 8);
    source.setTransparent(0);
    source.attachBitmap(&target);
    std::int32_t frame = 0;
    for (auto _ : state) {
        frame = frame + 1 < source.frameCount ? frame + 1 : 0;
        source.seekFrame(frame, 0);
        if (source.readFrame(0, 0, nullptr) != frame) {
            state.SkipWithError("reading failed");
            break;
        }
    }
    source.attachBitmap(nullptr);
    state.SetItemsProcessed(state.iterations());
}

void BM_FlicFrameRead(benchmark::State& state) {
    auto path = animation(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    mImageFlic flic;
    if (flic.open(path.c_str(), 0) != 1 || flic.openImage() != 1) {
        state.SkipWithError("cannot open the animation");
        return;
    }
    drawFrames(state, flic);
}

void BM_GroupFrameDraw(benchmark::State& state) {
    auto path = animation(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    mSpriteGroup group(path.c_str());
    if (group.frameCount != frameCount) {
        state.SkipWithError("the group lost frames");
        return;
    }
    drawFrames(state, group);
}

BENCHMARK(BM_FlicFrameRead)->Args({320, 200})->Args({640, 480});
BENCHMARK(BM_GroupFrameDraw)->Args({320, 200})->Args({640, 480});

}  // namespace
