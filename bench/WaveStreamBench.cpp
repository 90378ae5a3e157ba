// Streaming cost of the sound player: one iteration plays a whole 16-bit stereo 44.1 kHz WAVE
// file from disk through the silent device, which takes each buffer as soon as it is queued,
// so the time is the player's own (reads into the ring, queueing, the done notices and their
// dispatch). The counters give the seconds of sound per iteration, the bytes the ring holds,
// and how much the process's peak resident size grew while playing: it stays at the ring
// whatever the sound's length.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/media/mAudioWAV.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Module.h"
#include "engine/platform/NullWaveOut.h"
#include "engine/platform/WaveOut.h"

namespace {

constexpr uint32_t rate = 44100;
constexpr uint32_t frameBytes = 4;

// A sound of `seconds`, written once into the temporary folder.
std::filesystem::path sound(uint32_t seconds) {
    auto path = std::filesystem::temp_directory_path() /
                ("lumivale-bench-" + std::to_string(seconds) + "s.wav");
    if (std::filesystem::exists(path)) return path;
    uint32_t dataBytes = seconds * rate * frameBytes;
    std::vector<uint8_t> header(44);
    std::copy_n("RIFF----WAVEfmt ", 16, header.begin());
    littleEndian::store32(&header[4], 36 + dataBytes);
    littleEndian::store32(&header[16], 16);
    littleEndian::store16(&header[20], 1);
    littleEndian::store16(&header[22], 2);
    littleEndian::store32(&header[24], rate);
    littleEndian::store32(&header[28], rate * frameBytes);
    littleEndian::store16(&header[32], frameBytes);
    littleEndian::store16(&header[34], 16);
    std::copy_n("data", 4, header.begin() + 36);
    littleEndian::store32(&header[40], dataBytes);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), 44);
    std::vector<char> second(rate * frameBytes);
    for (std::size_t i = 0; i < second.size(); ++i)
        second[i] = static_cast<char>(i * 13);
    for (uint32_t s = 0; s < seconds; ++s)
        out.write(second.data(), static_cast<std::streamsize>(second.size()));
    return path;
}

long peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void playThrough(benchmark::State& state) {
    auto seconds = static_cast<uint32_t>(state.range(0));
    auto path = sound(seconds);
    static const platform::Module module;
    mObject::instance = &module;
    auto device = std::make_shared<platform::NullWaveOut>();
    device->setRecording(false);
    platform::WaveOut::select(device);

    long residentBefore = peakResidentKb();
    uint32_t ringBytes = 0;
    for (auto _ : state) {
        mAudioWAV wave;
        if (wave.mFile::open(path.c_str(), 0) != 1 || wave.play(0, 1) != 1) {
            state.SkipWithError("the sound does not play");
            break;
        }
        ringBytes = wave.blockSize * static_cast<uint32_t>(wave.blockCount);
        uint32_t handle = wave.waveOut;
        platform::Message message;
        while (wave.playing && device->finishNext(handle)) {
            while (platform::MessageQueue::peek(message))
                platform::MessageQueue::dispatch(message);
        }
    }
    state.counters["sound_s"] = seconds;
    state.counters["ring_bytes"] = ringBytes;
    state.counters["peak_rss_growth_kb"] = static_cast<double>(peakResidentKb() - residentBefore);
    state.SetBytesProcessed(state.iterations() * int64_t{seconds} * rate * frameBytes);
    platform::WaveOut::select(nullptr);
}

BENCHMARK(playThrough)->Arg(10)->Arg(60)->Unit(benchmark::kMillisecond);

}  // namespace
