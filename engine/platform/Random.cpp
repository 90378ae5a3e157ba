#include "engine/platform/Random.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<uint32_t> state{1};

}  // namespace

void Random::seed(uint32_t value) {
    state.store(value);
}

int32_t Random::next() {
    uint32_t current = state.load();
    uint32_t advanced;
    do {
        advanced = current * 214013u + 2531011u;
    } while (!state.compare_exchange_weak(current, advanced));
    return static_cast<int32_t>((advanced >> 16) & 0x7fffu);
}

}  // namespace platform
