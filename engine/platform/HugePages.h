#pragma once
#include <cstddef>

namespace platform {

// The size of a huge page, where the system has them; blocks meant for them start on such a
// boundary.
inline constexpr std::size_t hugePageBytes = std::size_t{2} << 20;

// Asks the system to back [first, first + bytes) with huge pages, so that writing it the first
// time costs one page fault for each huge page instead of one for each small one. Only a hint:
// where the system has none, or refuses, the block is used as it is.
void offerHugePages(void* first, std::size_t bytes);

}  // namespace platform
