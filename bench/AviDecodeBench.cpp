// Decoding cost of the AVI reader on clips from the clip writer, run-length and Video 1 (range 0:
// 0 and 1), beside ffmpeg decoding the same moving shapes: one iteration of BM_AviDecode is one
// frame decoded and copied into an 8-bit bitmap, in order and round again; BM_FfmpegDecode gives
// ffmpeg's time for a frame in the counter "per_frame" (seconds, as BM_AviDecode's), from whole
// clips decoded to nothing.
// The clips have a key frame every 30 frames. BM_AviSeek seeks 0 -> 1000 in such a clip;
// "decoded" counts the frames decoded for the seek and the read after it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageAVI.h"
#include "engine/platform/VideoCompression.h"
#include "engine/platform/VideoDecoders.h"
#include "tools/avigen/AviWriter.h"
#include "tools/flicgen/Patterns.h"

namespace {

constexpr int frameCount = 60;
// Enough frames that ffmpeg's decoding outweighs its start.
constexpr int ffmpegFrames = 600;

// The clip of the moving shapes at that size and codec, written once into the temporary folder.
std::filesystem::path clip(avigen::Codec codec, int width, int height, int frames = frameCount,
                           int keyInterval = 30, const std::string& handler = {}) {
    static std::map<std::string, std::filesystem::path> written;
    std::string name = std::to_string(static_cast<int>(codec)) + handler + "-" +
                       std::to_string(width) + "x" + std::to_string(height) + "-" +
                       std::to_string(frames) + ".avi";
    auto known = written.find(name);
    if (known != written.end()) return known->second;
    avigen::AviWriter writer(width, height);
    avigen::VideoStream video;
    video.codec = codec;
    video.keyInterval = keyInterval;
    video.handler = handler;
    int stream = writer.addVideoStream(video);
    for (int k = 0; k < frames; ++k) {
        flicgen::PatternFrame frame;
        flicgen::findPattern("shapes")->render(width, height, k % 60, 60, frame);
        writer.addFrame(stream, frame.pixels, frame.palette);
    }
    auto dir = std::filesystem::temp_directory_path() / "lumivale-bench-avi";
    std::filesystem::create_directories(dir);
    writer.finish(dir / name);
    return written.emplace(name, dir / name).first->second;
}

avigen::Codec codecOf(const benchmark::State& state) {
    return state.range(0) == 0 ? avigen::Codec::Rle8 : avigen::Codec::Video1;
}

void BM_AviDecode(benchmark::State& state) {
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    auto path = clip(codecOf(state), width, height);
    mImageAVI avi;
    if (avi.mFile::open(path.c_str(), 0) != 1 || avi.openImage() != 1) {
        state.SkipWithError("cannot open the clip");
        return;
    }
    mBitmap target(width, height, 8);
    avi.attachBitmap(&target);
    std::int32_t frame = 0;
    for (auto _ : state) {
        frame = frame + 1 < avi.frameCount ? frame + 1 : 0;
        avi.seekFrame(frame, 0);
        if (avi.readFrame(0, 0, nullptr) != frame) {
            state.SkipWithError("decoding failed");
            break;
        }
    }
    avi.attachBitmap(nullptr);
    state.SetItemsProcessed(state.iterations());
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

double secondsOf(const std::string& command) {
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ffmpeg's own time for a frame: a long clip less a clip of one frame, which is what starting
// the program and opening the file cost.
void BM_FfmpegDecode(benchmark::State& state) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
        state.SkipWithError("ffmpeg is not installed");
        return;
    }
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    auto command = [](const std::filesystem::path& path) {
        return "ffmpeg -nostdin -v error -i '" + path.string() + "' -f null - 2>/dev/null";
    };
    const std::string longer = command(clip(codecOf(state), width, height, ffmpegFrames));
    const std::string single = command(clip(codecOf(state), width, height, 1));
    double difference = 0;
    for (auto _ : state) {
        double whole = secondsOf(longer);
        double start = secondsOf(single);
        if (whole < 0 || start < 0) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
        difference += whole - start;
    }
    state.counters["per_frame"] =
        difference / static_cast<double>(state.iterations() * (ffmpegFrames - 1));
}

int decodedFrames = 0;

void BM_AviSeek(benchmark::State& state) {
    // Uncompressed frames under a handler of their own, so that the decoder calls are counted.
    static const bool registered = [] {
        platform::VideoCompression::registerCodec(
            mFile::fourCC("CNTR"),
            {[](const platform::VideoFormat& format) { return format.bitCount == 8; },
             [](std::span<const uint8_t> chunk, const platform::VideoFormat& format,
                const platform::FrameTarget& target) {
                 ++decodedFrames;
                 platform::decodeDib8(chunk, format, target);
             }});
        return true;
    }();
    auto path = clip(avigen::Codec::Raw, 64, 48, 1100, 30, "CNTR");
    mImageAVI avi;
    if (!registered || avi.mFile::open(path.c_str(), 0) != 1 || avi.openImage() != 1) {
        state.SkipWithError("cannot open the clip");
        return;
    }
    mBitmap target(64, 48, 8);
    avi.attachBitmap(&target);
    int most = 0;
    for (auto _ : state) {
        avi.seekFrame(0, 0);
        avi.readFrame(0, 0, nullptr);
        decodedFrames = 0;
        avi.seekFrame(1000, 0);
        avi.readFrame(0, 0, nullptr);
        most = std::max(most, decodedFrames);
    }
    avi.attachBitmap(nullptr);
    state.counters["decoded"] = most;
}

BENCHMARK(BM_AviDecode)
    ->Args({0, 320, 240})
    ->Args({0, 640, 480})
    ->Args({1, 320, 240})
    ->Args({1, 640, 480});
BENCHMARK(BM_FfmpegDecode)
    ->Args({0, 320, 240})
    ->Args({0, 640, 480})
    ->Args({1, 320, 240})
    ->Args({1, 640, 480})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AviSeek);

}  // namespace
