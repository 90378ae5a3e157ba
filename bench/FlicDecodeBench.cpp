// Decoding throughput of the FLIC reader on animations written by flicgen: every frame in
// order into an 8-bit bitmap of the frame's size, and from the last frame back to the first
// through the ring frame, round and round. One iteration is one frame decoded and copied.
// items_per_second: frames; bytes_per_second: bytes of the file's frame records decoded;
// pixels: pixels of the decoded frames per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageFlic.h"
#include "tools/flicgen/FlicWriter.h"
#include "tools/flicgen/Patterns.h"

namespace {

constexpr int frameCount = 30;
constexpr std::uint32_t speedMs = 70;

// The animation of `pattern` at that size, written once into the temporary folder; the same
// file as `flicgen pattern NAME OUT --size WxH` writes.
std::filesystem::path animation(const std::string& pattern, int width, int height) {
    static std::map<std::string, std::filesystem::path> written;
    std::string name = pattern + std::to_string(width) + "x" + std::to_string(height) + ".flc";
    auto known = written.find(name);
    if (known != written.end()) return known->second;
    flicgen::FlicWriter writer(width, height, flicgen::FlicFormat::Flc, speedMs);
    for (int k = 0; k < frameCount; ++k) {
        flicgen::PatternFrame frame;
        flicgen::findPattern(pattern)->render(width, height, k, frameCount, frame);
        writer.addFrame(frame.pixels, frame.palette, frame.options);
    }
    auto dir = std::filesystem::temp_directory_path() / "lumivale-bench-flic";
    std::filesystem::create_directories(dir);
    writer.finish(dir / name);
    return written.emplace(name, dir / name).first->second;
}

void decodeFrames(benchmark::State& state, const std::string& pattern, int width, int height) {
    auto path = animation(pattern, width, height);
    mImageFlic flic;
    if (flic.open(path.c_str(), 0) != 1 || flic.openImage() != 1) {
        state.SkipWithError("cannot open the animation");
        return;
    }
    mBitmap target(flic.frameWidth, flic.frameHeight, 8);
    flic.setTransparent(0);
    flic.setRemap(0);
    flic.attachBitmap(&target);
    std::int32_t frame = 0;
    std::int64_t recordBytes = 0;
    for (auto _ : state) {
        frame = frame + 1 < flic.frameCount ? frame + 1 : 0;
        flic.seekFrame(frame, 0);
        if (flic.readFrame(0, 0, nullptr) != frame) {
            state.SkipWithError("decoding failed");
            break;
        }
        recordBytes += flic.frameBytes;
    }
    flic.attachBitmap(nullptr);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(recordBytes);
    state.counters["pixels"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * width * height, benchmark::Counter::kIsRate);
}

void BM_FlicDecode(benchmark::State& state, std::string pattern) {
    decodeFrames(state, pattern, static_cast<int>(state.range(0)),
                 static_cast<int>(state.range(1)));
}

BENCHMARK_CAPTURE(BM_FlicDecode, shapes, std::string("shapes"))
    ->Args({640, 480})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(BM_FlicDecode, gradient, std::string("gradient"))
    ->Args({640, 480})
    ->Args({1920, 1080});
// Thousands of short delta packets a frame, fills and copies mixed.
BENCHMARK_CAPTURE(BM_FlicDecode, spin, std::string("spin"))->Args({640, 480})->Args({1920, 1080});
// Every chunk kind, among them a whole frame redrawn as word-delta fills.
BENCHMARK_CAPTURE(BM_FlicDecode, kinds, std::string("kinds"))->Args({640, 480})->Args({1920, 1080});

}  // namespace
