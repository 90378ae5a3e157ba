#pragma once
#include <atomic>
#include <cstddef>

// The allocation tests' operator new counts every allocation while `counting` is set.
namespace alloctest {

extern std::atomic<bool> counting;
extern std::atomic<std::size_t> allocations;

}  // namespace alloctest
