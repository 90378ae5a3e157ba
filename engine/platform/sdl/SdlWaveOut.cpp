#include "engine/platform/sdl/SdlWaveOut.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <span>

#include "engine/platform/SampleGain.h"

namespace platform {
namespace {

// SDL asks for about 20 ms of sound a call: buffers are reported soon after SDL has taken them,
// and the audio thread does not wake too often.
Uint16 framesPerCallback(uint32_t rate) {
    uint32_t frames = 256;
    while (frames < 8192 && frames * 50 < rate)
        frames *= 2;
    return static_cast<Uint16>(frames);
}

}  // namespace

// One open stream. Its queue is shared with SDL's audio thread under its own mutex, which
// nothing holds while calling SDL: SDL holds its device lock while the callback runs.
struct SdlWaveOut::Stream {
    Stream(uint32_t streamHandle, uint32_t window, const WaveFormat& streamFormat,
           const std::atomic<uint32_t>& deviceVolume)
        : handle(streamHandle),
          callbackWindow(window),
          format(streamFormat),
          volume(deviceVolume) {}

    // SDL's audio callback: fills `out` from the queued buffers in order, silence after them.
    void pull(std::span<uint8_t> out);
    // Takes every queued buffer off the queue as done, in order.
    void finishAll();
    bool hasQueued();

    const uint32_t handle;
    const uint32_t callbackWindow;
    const WaveFormat format;
    const std::atomic<uint32_t>& volume;
    SDL_AudioDeviceID device = 0;

    std::mutex mutex;
    std::deque<WaveHeader*> queued;
    uint32_t consumed = 0;  // bytes of the oldest queued buffer SDL has already taken

  private:
    // Call with the mutex held, so that notices keep the order of the queue.
    void finishOldest();
};

void SdlWaveOut::Stream::finishOldest() {
    WaveHeader* header = queued.front();
    queued.pop_front();
    consumed = 0;
    markDone(*header);
    postDone(callbackWindow, handle, header);
}

void SdlWaveOut::Stream::pull(std::span<uint8_t> out) {
    size_t filled = 0;
    {
        std::lock_guard lock(mutex);
        while (!queued.empty()) {
            const WaveHeader& header = *queued.front();
            size_t n = std::min<size_t>(header.bufferLength - consumed, out.size() - filled);
            if (n != 0) std::memcpy(out.data() + filled, header.data + consumed, n);
            filled += n;
            consumed += static_cast<uint32_t>(n);
            if (consumed < header.bufferLength) break;
            finishOldest();
        }
    }
    std::memset(out.data() + filled, format.bitsPerSample == 8 ? 0x80 : 0, out.size() - filled);
    applySampleGain(out, format, volume.load());
}

void SdlWaveOut::Stream::finishAll() {
    std::lock_guard lock(mutex);
    while (!queued.empty())
        finishOldest();
}

bool SdlWaveOut::Stream::hasQueued() {
    std::lock_guard lock(mutex);
    return !queued.empty();
}

std::shared_ptr<WaveOutDevice> SdlWaveOut::create() {
    return std::make_shared<SdlWaveOut>();
}

SdlWaveOut::SdlWaveOut() : started(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}

SdlWaveOut::~SdlWaveOut() {
    for (auto& [handle, stream] : streams)
        SDL_CloseAudioDevice(stream->device);
    streams.clear();
    if (started) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

SdlWaveOut::Stream* SdlWaveOut::openStream(uint32_t handle) {
    auto found = streams.find(handle);
    return found != streams.end() ? found->second.get() : nullptr;
}

uint32_t SdlWaveOut::numDevs() {
    return started ? 1 : 0;
}

uint32_t SdlWaveOut::getDevCaps(uint32_t deviceId, WaveOutCaps& caps) {
    if (!started || (deviceId != 0 && deviceId != waveMapper)) return mmBadDeviceId;
    caps = {};
    std::lock_guard lock(mutex);
    std::snprintf(caps.name.data(), caps.name.size(), "SDL audio (%s)",
                  SDL_GetCurrentAudioDriver());
    caps.formats = 0xFFF;
    caps.channels = 2;
    caps.support = waveCapsVolume | waveCapsLrVolume;
    return mmNoError;
}

uint32_t SdlWaveOut::open(uint32_t deviceId, const WaveFormat& format, uint32_t callbackWindow,
                          uint32_t& handle) {
    handle = 0;
    if (!started || (deviceId != 0 && deviceId != waveMapper)) return mmBadDeviceId;
    if (!isPlayablePcm(format) ||
        format.samplesPerSec > static_cast<uint32_t>(std::numeric_limits<int>::max())) {
        return waveBadFormat;
    }
    std::lock_guard lock(mutex);
    auto stream = std::make_unique<Stream>(nextHandle, callbackWindow, format, volume);
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(format.samplesPerSec);
    wanted.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    wanted.channels = static_cast<Uint8>(format.channels);
    wanted.samples = framesPerCallback(format.samplesPerSec);
    wanted.callback = [](void* user, Uint8* out, int length) {
        static_cast<Stream*>(user)->pull({out, static_cast<size_t>(length)});
    };
    wanted.userdata = stream.get();
    // No changes allowed: the callback always works in the stream's own format and SDL
    // converts that to the hardware's inside the device.
    stream->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (stream->device == 0) return mmError;
    SDL_PauseAudioDevice(stream->device, 0);
    handle = nextHandle++;
    streams.emplace(handle, std::move(stream));
    return mmNoError;
}

uint32_t SdlWaveOut::prepareHeader(uint32_t handle, WaveHeader& header) {
    std::lock_guard lock(mutex);
    if (!openStream(handle)) return mmInvalidHandle;
    header.flags |= waveHeaderPrepared;
    return mmNoError;
}

uint32_t SdlWaveOut::write(uint32_t handle, WaveHeader& header) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    if (!stream) return mmInvalidHandle;
    std::lock_guard queueLock(stream->mutex);
    if (uint32_t refused = markQueued(header)) return refused;
    stream->queued.push_back(&header);
    return mmNoError;
}

uint32_t SdlWaveOut::unprepareHeader(uint32_t handle, WaveHeader& header) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    if (!stream) return mmInvalidHandle;
    std::lock_guard queueLock(stream->mutex);
    return markUnprepared(header);
}

uint32_t SdlWaveOut::setPaused(uint32_t handle, bool paused) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    if (!stream) return mmInvalidHandle;
    SDL_PauseAudioDevice(stream->device, paused ? 1 : 0);
    return mmNoError;
}

uint32_t SdlWaveOut::pause(uint32_t handle) {
    return setPaused(handle, true);
}

uint32_t SdlWaveOut::restart(uint32_t handle) {
    return setPaused(handle, false);
}

uint32_t SdlWaveOut::reset(uint32_t handle) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    if (!stream) return mmInvalidHandle;
    stream->finishAll();
    return mmNoError;
}

uint32_t SdlWaveOut::close(uint32_t handle) {
    std::lock_guard lock(mutex);
    auto found = streams.find(handle);
    if (found == streams.end()) return mmInvalidHandle;
    if (found->second->hasQueued()) return waveStillPlaying;
    SDL_CloseAudioDevice(found->second->device);
    streams.erase(found);
    return mmNoError;
}

uint32_t SdlWaveOut::getVolume(uint32_t handleOrDevice, uint32_t& out) {
    if (!started) return mmBadDeviceId;
    std::lock_guard lock(mutex);
    if (handleOrDevice != 0 && !openStream(handleOrDevice)) return mmInvalidHandle;
    out = volume.load();
    return mmNoError;
}

uint32_t SdlWaveOut::setVolume(uint32_t handleOrDevice, uint32_t newVolume) {
    if (!started) return mmBadDeviceId;
    std::lock_guard lock(mutex);
    if (handleOrDevice != 0 && !openStream(handleOrDevice)) return mmInvalidHandle;
    volume.store(newVolume);
    return mmNoError;
}

}  // namespace platform
