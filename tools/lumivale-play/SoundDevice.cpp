#include "tools/lumivale-play/SoundDevice.h"

#include "engine/core/mObject.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Module.h"
#include "engine/platform/WaveOut.h"
#include "engine/platform/sdl/SdlWaveOut.h"

void claimInstance() {
    static const platform::Module module;
    mObject::instance = &module;
}

void dispatchWaiting() {
    platform::Message message;
    while (platform::MessageQueue::peek(message))
        platform::MessageQueue::dispatch(message);
}

std::shared_ptr<platform::NullWaveOut> selectSilentDevice() {
    auto device = std::make_shared<platform::NullWaveOut>();
    platform::WaveOutCaps caps;
    caps.formats = 0xFFF;
    device->setCaps(caps);
    platform::WaveOut::select(device);
    return device;
}

platform::WaveFormat consistent(platform::WaveFormat format) {
    format.blockAlign = static_cast<uint16_t>(format.channels * format.bitsPerSample / 8);
    format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
    return format;
}

DefaultDevice::DefaultDevice() {
    platform::WaveOut::select(platform::SdlWaveOut::create());
}

DefaultDevice::~DefaultDevice() {
    platform::WaveOut::select(nullptr);
}
