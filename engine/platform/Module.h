#pragma once
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A program's compiled-in resources: its string table and named binary resources. The engine
// holds modules by pointer as its instance and string-module settings.
class Module {
  public:
    void addString(uint32_t id, std::string text);

    // Copies string `id` into `buffer` as the platform's string loader does: at most
    // bufferMax − 1 characters and a terminating zero. Returns the characters copied, 0 when
    // the string does not exist.
    int loadString(uint32_t id, char* buffer, int bufferMax) const;

    void addResource(std::string type, std::string name, std::vector<uint8_t> data);

    // The bytes of a resource, or an empty span when there is none of that type and name.
    std::span<const uint8_t> findResource(std::string_view type, std::string_view name) const;

  private:
    std::map<uint32_t, std::string> strings;
    std::map<std::pair<std::string, std::string>, std::vector<uint8_t>, std::less<>> resources;
};

}  // namespace platform
