#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "tools/flicgen/DemoPalette.h"
#include "tools/flicgen/FlicTypes.h"
#include "tools/flicgen/LightCanvas.h"

namespace flicgen {

// One animation file of a saver's scene.
struct DemoScene {
    std::string_view file;  // the name the saver opens
    int width;
    int height;
    FlicFormat format;
    std::uint32_t speed;  // header value: 1/70 s for FLI, ms for FLC
    int frames;
    int cycleStep;  // colour-loop places turned per frame; 0 for a still palette
    void (*draw)(LightCanvas& canvas, int index, int count);
};

enum class DemoProgram { Ideas, Lumivale };

// The program named on the command line ("ideas" or "lumivale"); empty for any other name.
std::optional<DemoProgram> findDemoProgram(std::string_view name);

std::span<const DemoScene> demoScenes(DemoProgram program);
const DemoPalette& demoPalette(DemoProgram program);

// Writes every scene file of the program into `dir`, made if missing, and returns their paths.
// Throws std::runtime_error when a file cannot be written.
std::vector<std::filesystem::path> writeDemoScenes(DemoProgram program,
                                                   const std::filesystem::path& dir);

}  // namespace flicgen
