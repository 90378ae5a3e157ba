#include "engine/platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {
namespace {

std::atomic<bool> virtualMode{false};
std::atomic<uint32_t> virtualNow{0};

const auto processStart = std::chrono::steady_clock::now();

}  // namespace

uint32_t Clock::now() {
    if (virtualMode.load()) return virtualNow.load();
    auto elapsed = std::chrono::steady_clock::now() - processStart;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<uint32_t>(ms);
}

void Clock::sleep(uint32_t ms) {
    if (virtualMode.load()) {
        virtualNow.fetch_add(ms);
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

}  // namespace platform
