#include "engine/media/mAudioWAV.h"

#include <algorithm>
#include <array>

#include "engine/base/LittleEndian.h"
#include "engine/platform/Memory.h"
#include "engine/platform/WaveOut.h"

using platform::WaveOut;

namespace {

struct DeviceFormat {
    uint32_t bit;
    uint32_t rate;
    uint32_t bits;
    uint32_t channels;
};

// Tested in order, each bit present overwriting the choice before: 16 bits beat 8, then the
// higher rate, then stereo.
constexpr std::array<DeviceFormat, 12> deviceFormats{{
    {platform::waveFormat1M08, 11025, 8, 1},
    {platform::waveFormat1S08, 11025, 8, 2},
    {platform::waveFormat2M08, 22050, 8, 1},
    {platform::waveFormat2S08, 22050, 8, 2},
    {platform::waveFormat4M08, 44100, 8, 1},
    {platform::waveFormat4S08, 44100, 8, 2},
    {platform::waveFormat1M16, 11025, 16, 1},
    {platform::waveFormat1S16, 11025, 16, 2},
    {platform::waveFormat2M16, 22050, 16, 1},
    {platform::waveFormat2S16, 22050, 16, 2},
    {platform::waveFormat4M16, 44100, 16, 1},
    {platform::waveFormat4S16, 44100, 16, 2},
}};

constexpr uint32_t hasVolume = 1;
constexpr uint32_t hasLrVolume = 2;

}  // namespace

mAudioWAV::mAudioWAV() {
    count = 1;
    current = 0;
    deviceCount = WaveOut::numDevs();
    if (deviceCount == 0) return;

    streamTag = streamWave;
    deviceId = platform::waveMapper;
    platform::WaveOutCaps caps;
    if (WaveOut::getDevCaps(deviceId, caps) != platform::mmNoError) {
        deviceId = 0;
        WaveOut::getDevCaps(deviceId, caps);
    }
    for (const DeviceFormat& format : deviceFormats) {
        if ((caps.formats & format.bit) == 0) continue;
        deviceRate = format.rate;
        deviceBits = format.bits;
        deviceChannels = format.channels;
    }
    volumeCaps = ((caps.support & platform::waveCapsVolume) ? hasVolume : 0) |
                 ((caps.support & platform::waveCapsLrVolume) ? hasLrVolume : 0);
    readDeviceVolume();
}

mAudioWAV::~mAudioWAV() {
    if (playing) stop();
    closeFile();
}

// The device's volume calls take a device id in place of a handle; the mapper is not one.
uint32_t mAudioWAV::deviceOrFirst() const {
    return deviceId == platform::waveMapper ? 0 : deviceId;
}

void mAudioWAV::readDeviceVolume() {
    leftVolume = rightVolume = 0;
    if ((volumeCaps & hasVolume) == 0) return;
    uint32_t volume = 0;
    if (WaveOut::getVolume(deviceOrFirst(), volume) != platform::mmNoError) return;
    leftVolume = static_cast<uint16_t>(volume);
    rightVolume = (volumeCaps & hasLrVolume) ? static_cast<uint16_t>(volume >> 16) : leftVolume;
}

int64_t mAudioWAV::fileOffset() const {
    return int64_t{dataOffset} + (cursor - dataStart);
}

int32_t mAudioWAV::open(int32_t rawFormatSize) {
    if (!isOpen) return 0;
    formatBlock.reset();
    formatSize = 0;
    // A RIFF form is looked for at the file's start, so that opening again after a failure
    // still finds it; a raw record is read where the cursor was.
    int64_t entry = fileOffset();
    mFile::seek(0, 0);
    bool riff = descendRiff(fourCC("WAVE"));
    if (!riff) mFile::seek(static_cast<int32_t>(entry), 0);
    bool found = riff ? readRiffFormat() : readRawFormat(rawFormatSize);
    // A half-read sound must not look ready to the next play.
    if (!found) {
        formatBlock.reset();
        formatSize = 0;
        return 0;
    }
    playPosition = 0;
    return 1;
}

// Every record is at least a PCM record long, zero-filled, so a short "fmt " chunk reads as a
// format no device takes instead of reading past the block; a long one is capped.
bool mAudioWAV::allocateFormat(int32_t size) {
    formatSize = std::clamp(size, rawRecordSize, largestFormat);
    formatBlock = platform::Memory::allocate(static_cast<std::size_t>(formatSize));
    if (!formatBlock) {
        formatSize = 0;
        reportError(idAudioWAV, errOutOfMemory, nullptr);
        return false;
    }
    return true;
}

void mAudioWAV::takeFormatFields() {
    platform::WaveFormat format = waveFormat();
    rate = format.samplesPerSec;
    scale = format.channels;
    bitsPerUnit = format.bitsPerSample;
}

bool mAudioWAV::readRiffFormat() {
    if (!findChunk(fourCC("fmt "))) return false;
    int32_t size = chunkSize;
    if (!allocateFormat(size)) return false;
    mFile::read(formatBlock.get(), std::min(size, formatSize));
    ascendChunk();
    if (!findChunk(fourCC("data"))) return false;
    takeFormatFields();
    dataBytes = static_cast<uint32_t>(chunkSize);
    dataUnits = bytesToUnits(dataBytes);
    duration = unitsToTime(dataUnits);
    firstSoundByte = fileOffset();
    dataChunkOffset = static_cast<uint32_t>(firstSoundByte);
    return true;
}

bool mAudioWAV::readRawFormat(int32_t size) {
    if (size <= 0) size = rawRecordSize;
    if (!allocateFormat(size)) return false;
    mFile::read(formatBlock.get(), std::min(size, formatSize));
    if (size > formatSize) mFile::seek(size - formatSize, 1);
    takeFormatFields();
    dataBytes = unknownSize;
    dataUnits = 0;
    duration = 0;
    dataChunkOffset = 0;
    firstSoundByte = fileOffset();
    return true;
}

platform::WaveFormat mAudioWAV::waveFormat() const {
    platform::WaveFormat format;
    if (!formatBlock) return format;
    const uint8_t* record = formatBlock.get();
    format.formatTag = littleEndian::load16(record);
    format.channels = littleEndian::load16(record + 2);
    format.samplesPerSec = littleEndian::load32(record + 4);
    format.avgBytesPerSec = littleEndian::load32(record + 8);
    format.blockAlign = littleEndian::load16(record + 12);
    format.bitsPerSample = littleEndian::load16(record + 14);
    return format;
}

int32_t mAudioWAV::create(int32_t) {
    reportError(idAudioWAV, errNotImplemented, nullptr);
    return 0;
}

uint32_t mAudioWAV::bytesAvailable() const {
    // A "data" size may claim more than the file holds, and a raw sound has none at all.
    int64_t inFile = std::max<int64_t>(int64_t{fileSize} - firstSoundByte, 0);
    uint32_t end = static_cast<uint32_t>(std::min<int64_t>(dataBytes, inFile));
    return playPosition >= end ? 0 : end - playPosition;
}

int32_t mAudioWAV::seek(int32_t where, int32_t origin) {
    if (playing) return 0;
    if (!formatBlock && !open(0)) return 0;
    uint32_t bytes = positionToBytes(static_cast<uint32_t>(where));
    switch (origin) {
        case 0:
            playPosition = bytes;
            break;
        case 1:
            playPosition += bytes;
            break;
        case 2:
            // Further back than the data reaches is its start, not a wrap past its end.
            playPosition = bytes > dataBytes ? 0 : dataBytes - bytes;
            break;
        default:
            break;
    }
    return static_cast<int32_t>(bytesToPosition(playPosition));
}

int32_t mAudioWAV::setVolume(int32_t left, int32_t right) {
    if (deviceCount == 0 || (volumeCaps & hasVolume) == 0) return 0;
    uint32_t leftPart = static_cast<uint16_t>(left);
    uint32_t rightPart = static_cast<uint16_t>(right);
    uint32_t value =
        (volumeCaps & hasLrVolume) ? (rightPart << 16 | leftPart) : (leftPart + rightPart) / 2;
    if (WaveOut::setVolume(deviceOrFirst(), value) != platform::mmNoError) return 0;
    readDeviceVolume();
    return 1;
}

int32_t mAudioWAV::read(void* buffer, int32_t length) {
    return mFile::read(buffer,
                       static_cast<int32_t>(positionToBytes(static_cast<uint32_t>(length))));
}

int32_t mAudioWAV::write(const void* buffer, int32_t length) {
    return mFile::write(buffer,
                        static_cast<int32_t>(positionToBytes(static_cast<uint32_t>(length))));
}

int32_t mAudioWAV::setCurrent(int32_t) {
    playPosition = 0;
    return 0;
}

void mAudioWAV::setBufferSize(uint32_t length, int32_t countOfBlocks) {
    // A block holds at least one sample of any format, so a pass always moves on, and at most
    // a megabyte, whatever a clip's header asks for.
    uint32_t bytes = std::min(positionToBytes(length), largestBlock);
    blockSize = std::max((bytes + 3u) & ~3u, 4u);
    blockCount = countOfBlocks;
}

void mAudioWAV::closeFile() {
    if (paused) stop();
    if (playing) {
        closePending = 1;
        return;
    }
    formatBlock.reset();
    formatSize = 0;
    if (isOpen) mFile::close();
}
