#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "tools/flicgen/FlicTypes.h"
#include "tools/flicgen/FlicWriter.h"

namespace flicgen {

struct PatternFrame {
    std::vector<std::uint8_t> pixels;  // width x height, top row first
    Palette palette{};
    FrameOptions options;
};

// A generated animation. Every frame depends only on its size, index and the frame count, so
// any frame can be made again on its own.
struct Pattern {
    std::string_view name;
    std::string_view summary;
    void (*render)(int width, int height, int index, int count, PatternFrame& out);
};

std::span<const Pattern> patterns();

// Null when no pattern has that name.
const Pattern* findPattern(std::string_view name);

}  // namespace flicgen
