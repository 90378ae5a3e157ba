#include "engine/platform/WaveOut.h"

#include <mutex>

namespace platform {
namespace {

std::mutex selectionMutex;
std::shared_ptr<WaveOutDevice> selected;

// Runs the call on the selected backend, or answers `noDevice` when there is none.
template <class Call>
uint32_t forward(uint32_t noDevice, Call call) {
    std::shared_ptr<WaveOutDevice> device;
    {
        std::lock_guard lock(selectionMutex);
        device = selected;
    }
    return device ? call(*device) : noDevice;
}

}  // namespace

void WaveOut::select(std::shared_ptr<WaveOutDevice> device) {
    std::lock_guard lock(selectionMutex);
    selected = std::move(device);
}

uint32_t WaveOut::numDevs() {
    return forward(0, [](WaveOutDevice& device) { return device.numDevs(); });
}

uint32_t WaveOut::getDevCaps(uint32_t deviceId, WaveOutCaps& caps) {
    return forward(mmBadDeviceId,
                   [&](WaveOutDevice& device) { return device.getDevCaps(deviceId, caps); });
}

uint32_t WaveOut::open(uint32_t deviceId, const WaveFormat& format, uint32_t callbackWindow,
                       uint32_t& handle) {
    handle = 0;
    return forward(mmBadDeviceId, [&](WaveOutDevice& device) {
        return device.open(deviceId, format, callbackWindow, handle);
    });
}

uint32_t WaveOut::prepareHeader(uint32_t handle, WaveHeader& header) {
    return forward(mmInvalidHandle,
                   [&](WaveOutDevice& device) { return device.prepareHeader(handle, header); });
}

uint32_t WaveOut::write(uint32_t handle, WaveHeader& header) {
    return forward(mmInvalidHandle,
                   [&](WaveOutDevice& device) { return device.write(handle, header); });
}

uint32_t WaveOut::unprepareHeader(uint32_t handle, WaveHeader& header) {
    return forward(mmInvalidHandle,
                   [&](WaveOutDevice& device) { return device.unprepareHeader(handle, header); });
}

uint32_t WaveOut::pause(uint32_t handle) {
    return forward(mmInvalidHandle, [&](WaveOutDevice& device) { return device.pause(handle); });
}

uint32_t WaveOut::restart(uint32_t handle) {
    return forward(mmInvalidHandle, [&](WaveOutDevice& device) { return device.restart(handle); });
}

uint32_t WaveOut::reset(uint32_t handle) {
    return forward(mmInvalidHandle, [&](WaveOutDevice& device) { return device.reset(handle); });
}

uint32_t WaveOut::close(uint32_t handle) {
    return forward(mmInvalidHandle, [&](WaveOutDevice& device) { return device.close(handle); });
}

uint32_t WaveOut::getVolume(uint32_t handleOrDevice, uint32_t& volume) {
    return forward(mmBadDeviceId,
                   [&](WaveOutDevice& device) { return device.getVolume(handleOrDevice, volume); });
}

uint32_t WaveOut::setVolume(uint32_t handleOrDevice, uint32_t volume) {
    return forward(mmBadDeviceId,
                   [&](WaveOutDevice& device) { return device.setVolume(handleOrDevice, volume); });
}

}  // namespace platform
