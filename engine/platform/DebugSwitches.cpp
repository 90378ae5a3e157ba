#include "engine/platform/DebugSwitches.h"

#include <cstdlib>
#include <cstring>

namespace platform {

bool DebugSwitches::outlineFlushedAreas() {
    const char* value = std::getenv("LUMIVALE_STAGE_FRAMES");
    return value && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

}  // namespace platform
