#include "engine/platform/HugePages.h"

#include <sys/mman.h>

namespace platform {

void offerHugePages(void* first, std::size_t bytes) {
    ::madvise(first, bytes, MADV_HUGEPAGE);
}

}  // namespace platform
