#include "engine/platform/Memory.h"

#include <atomic>
#include <new>

namespace platform {
namespace {

std::atomic<int> failCountdown{-1};

}  // namespace

std::unique_ptr<uint8_t[]> Memory::allocate(std::size_t bytes) {
    int countdown = failCountdown.load();
    if (countdown >= 0) {
        failCountdown.store(countdown - 1);
        if (countdown == 0) return nullptr;
    }
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]());
}

void Memory::failAfter(int skip) {
    failCountdown.store(skip);
}

}  // namespace platform
