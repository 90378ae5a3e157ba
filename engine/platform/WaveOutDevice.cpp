#include "engine/platform/WaveOutDevice.h"

#include "engine/platform/HiddenWindow.h"

namespace platform {

uint32_t WaveOutDevice::markQueued(WaveHeader& header) {
    if (!(header.flags & waveHeaderPrepared)) return waveUnprepared;
    if (header.flags & waveHeaderInQueue) return waveStillPlaying;
    if (!header.data && header.bufferLength != 0) return mmInvalidParam;
    header.flags = (header.flags & ~waveHeaderDone) | waveHeaderInQueue;
    return mmNoError;
}

void WaveOutDevice::markDone(WaveHeader& header) {
    header.flags = (header.flags & ~waveHeaderInQueue) | waveHeaderDone;
}

uint32_t WaveOutDevice::markUnprepared(WaveHeader& header) {
    if (header.flags & waveHeaderInQueue) return waveStillPlaying;
    header.flags &= ~waveHeaderPrepared;
    return mmNoError;
}

void WaveOutDevice::postDone(uint32_t callbackWindow, uint32_t handle, WaveHeader* header) {
    HiddenWindow::post(callbackWindow, mmWomDone, handle,
                       static_cast<int64_t>(reinterpret_cast<uintptr_t>(header)));
}

}  // namespace platform
