#include "engine/platform/NullWaveOut.h"

#include <cstring>

namespace platform {

NullWaveOut::NullWaveOut() {
    const char name[] = "Null wave-out device";
    std::memcpy(caps.name.data(), name, sizeof name);
    caps.formats = 0xFFF;
    caps.channels = 2;
    caps.support = waveCapsVolume | waveCapsLrVolume;
}

void NullWaveOut::setCaps(const WaveOutCaps& newCaps) {
    std::lock_guard lock(mutex);
    caps = newCaps;
}

void NullWaveOut::setRecording(bool on) {
    std::lock_guard lock(mutex);
    recording = on;
}

NullWaveOut::Stream* NullWaveOut::openStream(uint32_t handle) {
    auto found = streams.find(handle);
    return found != streams.end() && found->second.open ? &found->second : nullptr;
}

WaveHeader* NullWaveOut::takeFinished(Stream& stream) {
    WaveHeader* header = stream.queued.front();
    stream.queued.pop_front();
    markDone(*header);
    return header;
}

bool NullWaveOut::finishNext(uint32_t handle) {
    uint32_t window = 0;
    WaveHeader* header = nullptr;
    {
        std::lock_guard lock(mutex);
        Stream* stream = openStream(handle);
        if (!stream || stream->paused || stream->queued.empty()) return false;
        window = stream->callbackWindow;
        header = takeFinished(*stream);
    }
    postDone(window, handle, header);
    return true;
}

uint32_t NullWaveOut::finishAll(uint32_t handle) {
    uint32_t finished = 0;
    while (finishNext(handle))
        ++finished;
    return finished;
}

uint32_t NullWaveOut::queuedCount(uint32_t handle) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    return stream ? static_cast<uint32_t>(stream->queued.size()) : 0;
}

bool NullWaveOut::isPaused(uint32_t handle) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    return stream && stream->paused;
}

std::vector<uint8_t> NullWaveOut::written(uint32_t handle) {
    std::lock_guard lock(mutex);
    auto found = streams.find(handle);
    return found != streams.end() ? found->second.written : std::vector<uint8_t>{};
}

uint32_t NullWaveOut::lastOpened() {
    std::lock_guard lock(mutex);
    return nextHandle - 1;
}

uint32_t NullWaveOut::numDevs() {
    return 1;
}

uint32_t NullWaveOut::getDevCaps(uint32_t deviceId, WaveOutCaps& out) {
    if (deviceId != 0 && deviceId != waveMapper) return mmBadDeviceId;
    std::lock_guard lock(mutex);
    out = caps;
    return mmNoError;
}

uint32_t NullWaveOut::open(uint32_t deviceId, const WaveFormat& format, uint32_t callbackWindow,
                           uint32_t& handle) {
    handle = 0;
    if (deviceId != 0 && deviceId != waveMapper) return mmBadDeviceId;
    if (!isPlayablePcm(format)) return waveBadFormat;
    std::lock_guard lock(mutex);
    handle = nextHandle++;
    streams[handle].callbackWindow = callbackWindow;
    return mmNoError;
}

uint32_t NullWaveOut::prepareHeader(uint32_t handle, WaveHeader& header) {
    std::lock_guard lock(mutex);
    if (!openStream(handle)) return mmInvalidHandle;
    header.flags |= waveHeaderPrepared;
    return mmNoError;
}

uint32_t NullWaveOut::write(uint32_t handle, WaveHeader& header) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    if (!stream) return mmInvalidHandle;
    if (uint32_t refused = markQueued(header)) return refused;
    stream->queued.push_back(&header);
    if (recording)
        stream->written.insert(stream->written.end(), header.data,
                               header.data + header.bufferLength);
    return mmNoError;
}

uint32_t NullWaveOut::unprepareHeader(uint32_t handle, WaveHeader& header) {
    std::lock_guard lock(mutex);
    if (!openStream(handle)) return mmInvalidHandle;
    return markUnprepared(header);
}

uint32_t NullWaveOut::setPaused(uint32_t handle, bool paused) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    if (!stream) return mmInvalidHandle;
    stream->paused = paused;
    return mmNoError;
}

uint32_t NullWaveOut::pause(uint32_t handle) {
    return setPaused(handle, true);
}

uint32_t NullWaveOut::restart(uint32_t handle) {
    return setPaused(handle, false);
}

uint32_t NullWaveOut::reset(uint32_t handle) {
    uint32_t window = 0;
    std::vector<WaveHeader*> finished;
    {
        std::lock_guard lock(mutex);
        Stream* stream = openStream(handle);
        if (!stream) return mmInvalidHandle;
        window = stream->callbackWindow;
        while (!stream->queued.empty())
            finished.push_back(takeFinished(*stream));
    }
    for (WaveHeader* header : finished)
        postDone(window, handle, header);
    return mmNoError;
}

uint32_t NullWaveOut::close(uint32_t handle) {
    std::lock_guard lock(mutex);
    Stream* stream = openStream(handle);
    if (!stream) return mmInvalidHandle;
    if (!stream->queued.empty()) return waveStillPlaying;
    stream->open = false;
    return mmNoError;
}

uint32_t NullWaveOut::getVolume(uint32_t handleOrDevice, uint32_t& out) {
    std::lock_guard lock(mutex);
    if (handleOrDevice != 0 && !openStream(handleOrDevice)) return mmInvalidHandle;
    out = volume;
    return mmNoError;
}

uint32_t NullWaveOut::setVolume(uint32_t handleOrDevice, uint32_t newVolume) {
    std::lock_guard lock(mutex);
    if (handleOrDevice != 0 && !openStream(handleOrDevice)) return mmInvalidHandle;
    volume = newVolume;
    return mmNoError;
}

}  // namespace platform
