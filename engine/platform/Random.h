#pragma once
#include <cstdint>

namespace platform {

// The classic C library generator the scenes were choreographed with: state × 214013 + 2531011
// modulo 2^32, result bits 16 to 30 (0 to 32767). Process-wide, like the C library's own.
class Random {
  public:
    static void seed(uint32_t value);
    static int32_t next();
};

}  // namespace platform
