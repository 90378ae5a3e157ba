#include "tests/alloc/CountingAllocator.h"

#include <cstdlib>
#include <new>

namespace alloctest {

std::atomic<bool> counting{false};
std::atomic<std::size_t> allocations{0};

}  // namespace alloctest

void* operator new(std::size_t size) {
    if (alloctest::counting) ++alloctest::allocations;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

// The engine allocates some blocks without exceptions; they are counted, and freed, the same way.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (alloctest::counting) ++alloctest::allocations;
    return std::malloc(size ? size : 1);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
