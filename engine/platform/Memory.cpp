#include "engine/platform/Memory.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#include "engine/platform/HugePages.h"

namespace platform {
namespace {

std::atomic<int> failCountdown{-1};

// Counts an allocation down for the test double: true for the one that must fail.
bool failsNow() {
    int countdown = failCountdown.load();
    if (countdown < 0) return false;
    failCountdown.store(countdown - 1);
    return countdown == 0;
}

}  // namespace

std::unique_ptr<uint8_t[]> Memory::allocate(std::size_t bytes) {
    if (failsNow()) return nullptr;
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]());
}

void Memory::PictureFree::operator()(uint8_t* block) const {
    ::operator delete[](block, std::align_val_t{alignment});
}

Memory::Picture Memory::allocatePicture(std::size_t bytes) {
    if (failsNow()) return Picture(nullptr, PictureFree{alignof(std::max_align_t)});
    std::size_t size = bytes == 0 ? 1 : bytes;
    bool huge = size >= hugePageBytes / 2 && size <= SIZE_MAX - hugePageBytes;
    std::size_t alignment = huge ? hugePageBytes : alignof(std::max_align_t);
    if (huge) size = (size + hugePageBytes - 1) / hugePageBytes * hugePageBytes;
    auto* block =
        static_cast<uint8_t*>(::operator new[](size, std::align_val_t{alignment}, std::nothrow));
    if (!block) return Picture(nullptr, PictureFree{alignment});
    if (huge) offerHugePages(block, size);
    std::memset(block, 0, size);
    return Picture(block, PictureFree{alignment});
}

void Memory::failAfter(int skip) {
    failCountdown.store(skip);
}

}  // namespace platform
