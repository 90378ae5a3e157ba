#include "tools/lumivale-play/SoundCommands.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

#include "engine/platform/MessageQueue.h"
#include "engine/platform/Module.h"
#include "engine/platform/NullWaveOut.h"
#include "engine/platform/WaveOut.h"
#include "engine/platform/sdl/SdlWaveOut.h"
#include "tools/lumivale-play/SoundDevice.h"
#include "tools/lumivale-play/SoundFile.h"

using platform::WaveOut;

namespace {

std::atomic<bool> interrupted = false;

void onInterrupt(int) {
    interrupted = true;
}

// m:ss.t
std::string clock(uint32_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u.%u", milliseconds / 60000, milliseconds / 1000 % 60,
                  milliseconds / 100 % 10);
    return text;
}

bool refusesFormat(const mAudioWAV& sound, const std::string& path) {
    std::string problem = formatProblem(sound.waveFormat());
    if (problem.empty()) return false;
    std::fprintf(stderr, "lumivale-play: %s cannot be played: %s\n", path.c_str(), problem.c_str());
    return true;
}

int playOn(mAudioWAV& sound, const PlayOptions& options) {
    if (options.volume) {
        auto level = [](uint32_t percent) { return static_cast<int32_t>(percent * 0xFFFF / 100); };
        if (!sound.setVolume(level(options.volume->first), level(options.volume->second)))
            std::fprintf(stderr, "lumivale-play: the sound device has no volume control\n");
    }
    sound.seek(static_cast<int32_t>(options.startMilliseconds), 0);
    int32_t loops = options.loops.value_or(1);
    if (!sound.play(0, loops)) {
        std::fprintf(stderr, "lumivale-play: the sound device refused to play %s\n",
                     options.file.c_str());
        return 1;
    }

    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    bool terminal = isatty(STDOUT_FILENO) != 0;
    std::string total =
        loops > 0 ? clock(sound.bytesToTime(sound.bytesToPlay) * static_cast<uint32_t>(loops))
                  : "for ever";
    auto started = std::chrono::steady_clock::now();
    while (sound.playing && !interrupted) {
        platform::Message message;
        if (platform::MessageQueue::wait(message, 50)) platform::MessageQueue::dispatch(message);
        if (terminal) {
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - started);
            std::printf("\r%s / %s ", clock(static_cast<uint32_t>(elapsed.count())).c_str(),
                        total.c_str());
            std::fflush(stdout);
        }
    }
    sound.stop();
    if (terminal) std::printf("\n");
    return interrupted ? 130 : 0;
}

}  // namespace

int printSoundInfo(const PlayOptions& options) {
    auto sound = openSoundFile(options.file);
    if (!sound) return 1;
    platform::WaveFormat format = sound->waveFormat();
    std::printf("file: %s\n", options.file.c_str());
    std::printf("format: %s\n",
                sound->dataChunkOffset != 0 ? "WAVE" : "raw format record and data");
    std::printf("format tag: %u%s\nrate: %u Hz\nchannels: %u\nbits: %u\n", format.formatTag,
                format.formatTag == platform::waveFormatPcm ? " (PCM)" : "", format.samplesPerSec,
                format.channels, format.bitsPerSample);
    if (sound->dataBytes == mAudioWAV::unknownSize) {
        std::printf("data bytes: unknown (to the end of the file)\n");
    } else {
        std::printf("data bytes: %u\nduration: %.3f s\n", sound->dataBytes,
                    sound->duration / 1000.0);
    }
    std::string problem = formatProblem(format);
    if (!problem.empty()) std::printf("playable: no, %s\n", problem.c_str());
    return 0;
}

int playSound(const PlayOptions& options) {
    claimInstance();
    DefaultDevice device;
    auto sound = openSoundFile(options.file);
    if (!sound) return 1;
    if (refusesFormat(*sound, options.file)) return 1;
    if (sound->deviceCount == 0) {
        std::fprintf(stderr, "lumivale-play: no sound device\n");
        return 1;
    }
    return playOn(*sound, options);
}

int dumpSound(const PlayOptions& options) {
    claimInstance();
    auto device = selectSilentDevice();
    auto sound = openSoundFile(options.file);
    if (!sound) return 1;
    if (refusesFormat(*sound, options.file)) return 1;
    sound->seek(static_cast<int32_t>(options.startMilliseconds), 0);
    if (!sound->play(0, options.loops.value_or(1))) {
        std::fprintf(stderr, "lumivale-play: %s did not start playing\n", options.file.c_str());
        return 1;
    }
    uint32_t handle = sound->waveOut;
    while (sound->playing && device->finishNext(handle))
        dispatchWaiting();
    // A start at the very end queues nothing and would wait for ever.
    sound->stop();
    std::vector<uint8_t> written = device->written(handle);
    if (!writeWaveFile(options.output, consistent(sound->waveFormat()), written)) {
        std::fprintf(stderr, "lumivale-play: cannot write %s\n", options.output.c_str());
        return 1;
    }
    std::printf("%zu bytes of sound written to %s\n", written.size(), options.output.c_str());
    return 0;
}
