#include "engine/platform/Module.h"

#include <algorithm>
#include <cstring>

namespace platform {

void Module::addString(uint32_t id, std::string text) {
    strings[id] = std::move(text);
}

int Module::loadString(uint32_t id, char* buffer, int bufferMax) const {
    if (!buffer || bufferMax <= 0) return 0;
    auto found = strings.find(id);
    if (found == strings.end()) {
        buffer[0] = '\0';
        return 0;
    }
    auto count =
        std::min<std::size_t>(found->second.size(), static_cast<std::size_t>(bufferMax - 1));
    std::memcpy(buffer, found->second.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

void Module::addResource(std::string type, std::string name, std::vector<uint8_t> data) {
    resources[{std::move(type), std::move(name)}] = std::move(data);
}

std::span<const uint8_t> Module::findResource(std::string_view type, std::string_view name) const {
    auto found = resources.find(std::pair{std::string(type), std::string(name)});
    if (found == resources.end()) return {};
    return found->second;
}

}  // namespace platform
