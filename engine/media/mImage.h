#pragma once
#include <cstdint>

#include "engine/core/mObject.h"

// A stream with a length in units (frames or samples) that can be opened, played, paused,
// read and positioned. The audio player fills the operations in; image sources keep these
// defaults, which do nothing. The conversions work in unsigned 32-bit arithmetic.
class mImage : public virtual mObject {
  public:
    // Units of the positions given to positionToBytes and bytesToPosition.
    static constexpr int32_t unitsMilliseconds = 0;
    static constexpr int32_t unitsUnits = 1;
    static constexpr int32_t unitsBytes = 2;

    mImage() = default;
    ~mImage() override = default;

    virtual int32_t open(int32_t formatSize);
    virtual int32_t create(int32_t value);
    virtual int32_t seek(int32_t position, int32_t origin);
    virtual int32_t play(int32_t length, int32_t loops);
    virtual int32_t pause();
    virtual int32_t stop();
    virtual int32_t setVolume(int32_t left, int32_t right);
    virtual int32_t read(void* buffer, int32_t count);
    virtual int32_t write(const void* buffer, int32_t count);
    virtual int32_t setCurrent(int32_t index);
    virtual int32_t setUnits(int32_t mode);
    virtual uint32_t timeToUnits(uint32_t milliseconds, uint32_t seconds, uint32_t minutes);
    virtual uint32_t timeToBytes(uint32_t milliseconds, uint32_t seconds, uint32_t minutes);
    virtual uint32_t unitsToTime(uint32_t units);
    virtual uint32_t unitsToBytes(uint32_t units);
    virtual uint32_t bytesToTime(uint32_t bytes);
    virtual uint32_t bytesToUnits(uint32_t bytes);
    virtual uint32_t positionToBytes(uint32_t value);
    virtual uint32_t bytesToPosition(uint32_t bytes);

    int32_t count = 0;
    int32_t unitMode = unitsMilliseconds;
    int32_t current = -1;
    uint32_t rate = 1;  // units per second, together with scale
    uint32_t bitsPerUnit = 8;
    uint32_t scale = 1;  // applied after the time conversion
};
