#include "engine/media/mImage.h"

int32_t mImage::open(int32_t) {
    return 0;
}

int32_t mImage::create(int32_t) {
    return 0;
}

int32_t mImage::seek(int32_t, int32_t) {
    return 0;
}

int32_t mImage::play(int32_t, int32_t) {
    return 0;
}

int32_t mImage::pause() {
    return 0;
}

int32_t mImage::stop() {
    return 0;
}

int32_t mImage::setVolume(int32_t, int32_t) {
    return 0;
}

int32_t mImage::read(void*, int32_t) {
    return 0;
}

int32_t mImage::write(const void*, int32_t) {
    return 1;
}

int32_t mImage::setCurrent(int32_t index) {
    if (index < count) current = index;
    return current;
}

int32_t mImage::setUnits(int32_t mode) {
    unitMode = mode;
    return mode;
}

uint32_t mImage::timeToUnits(uint32_t milliseconds, uint32_t seconds, uint32_t minutes) {
    uint32_t time = milliseconds + 1000u * (seconds + 60u * minutes);
    return ((time * rate + 999u) / 1000u) * scale;
}

uint32_t mImage::timeToBytes(uint32_t milliseconds, uint32_t seconds, uint32_t minutes) {
    return unitsToBytes(timeToUnits(milliseconds, seconds, minutes));
}

// A zero rate, scale or unit size (a stream not set up yet) converts to 0 instead of dividing
// by zero.
uint32_t mImage::unitsToTime(uint32_t units) {
    if (rate == 0 || scale == 0) return 0;
    return units * 1000u / rate / scale;
}

uint32_t mImage::unitsToBytes(uint32_t units) {
    return (units * bitsPerUnit + 7u) / 8u;
}

uint32_t mImage::bytesToTime(uint32_t bytes) {
    return unitsToTime(bytesToUnits(bytes));
}

uint32_t mImage::bytesToUnits(uint32_t bytes) {
    if (bitsPerUnit == 0) return 0;
    return (bytes * 8u + bitsPerUnit - 1u) / bitsPerUnit;
}

uint32_t mImage::positionToBytes(uint32_t value) {
    switch (unitMode) {
        case unitsMilliseconds:
            return timeToBytes(value, 0, 0);
        case unitsUnits:
            return unitsToBytes(value);
        default:
            return value;
    }
}

uint32_t mImage::bytesToPosition(uint32_t bytes) {
    switch (unitMode) {
        case unitsMilliseconds:
            return bytesToTime(bytes);
        case unitsUnits:
            return bytesToUnits(bytes);
        default:
            return bytes;
    }
}
