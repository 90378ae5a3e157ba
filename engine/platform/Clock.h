#pragma once
#include <cstdint>
#include <functional>

namespace platform {

// The engine's millisecond clock: a 32-bit counter whose differences are taken in unsigned
// arithmetic, so it may wrap. The real clock counts from process start; the virtual clock,
// used by tests and headless runs, moves only when someone sleeps or advances it.
class Clock {
  public:
    static uint32_t now();
    static void sleep(uint32_t ms);

    // Switch to the virtual clock, starting at `start`; sleeping then returns at once.
    static void useVirtual(uint32_t start = 0);
    static void useReal();
    static bool isVirtual();
    static void advance(uint32_t ms);

    // Called on the sleeping thread after each sleep on the virtual clock, with the new time:
    // lets a headless host record frames and end the run at a simulated moment.
    using SleepHook = std::function<void(uint32_t now)>;
    static void setSleepHook(SleepHook hook);
};

}  // namespace platform
