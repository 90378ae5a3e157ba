#include "engine/platform/Clock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace platform {
namespace {

std::atomic<bool> virtualMode{false};
std::atomic<uint32_t> virtualNow{0};

const auto processStart = std::chrono::steady_clock::now();

std::mutex hookMutex;
Clock::SleepHook sleepHook;

}  // namespace

uint32_t Clock::now() {
    if (virtualMode.load()) return virtualNow.load();
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<uint32_t>(ms);
}

void Clock::sleep(uint32_t ms) {
    if (virtualMode.load()) {
        uint32_t after = virtualNow.fetch_add(ms) + ms;
        Clock::SleepHook hook;
        {
            std::lock_guard lock(hookMutex);
            hook = sleepHook;
        }
        if (hook) hook(after);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Clock::useVirtual(uint32_t start) {
    virtualNow.store(start);
    virtualMode.store(true);
}

void Clock::useReal() {
    virtualMode.store(false);
}

bool Clock::isVirtual() {
    return virtualMode.load();
}

void Clock::advance(uint32_t ms) {
    virtualNow.fetch_add(ms);
}

void Clock::setSleepHook(SleepHook hook) {
    std::lock_guard lock(hookMutex);
    sleepHook = std::move(hook);
}

}  // namespace platform
