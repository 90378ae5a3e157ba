#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// Zero-filled byte blocks whose allocation failure is an ordinary result (null), so that the
// engine can report "Out of memory" instead of throwing. Tests can make allocations fail.
class Memory {
  public:
    static std::unique_ptr<uint8_t[]> allocate(std::size_t bytes);

    // Test double: the next `skip` allocations succeed, the one after fails; -1 turns it off.
    static void failAfter(int skip);
};

}  // namespace platform
