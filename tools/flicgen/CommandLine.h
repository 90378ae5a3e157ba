#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "tools/flicgen/DemoScenes.h"
#include "tools/flicgen/FlicTypes.h"
#include "tools/flicgen/FlicWriter.h"

namespace flicgen {

struct CommandLine {
    enum class Action { Help, List, Pattern, Demo };
    Action action = Action::Help;
    std::string pattern;
    DemoProgram program = DemoProgram::Ideas;
    std::filesystem::path output;  // the file of a pattern, the folder of a demo
    int width = 320;
    int height = 200;
    int frames = 30;
    FlicFormat format = FlicFormat::Flc;
    int speedMs = 70;
    bool postageStamp = false;
    FileOptions fileOptions;

    // The header's speed field: milliseconds for FLC, rounded to 1/70 s (at least 1) for FLI.
    std::uint32_t speed() const;
};

// Parses the arguments after the program name. Throws std::invalid_argument with a message
// for the user.
CommandLine parseCommandLine(std::span<const std::string_view> args);

std::string usage();

}  // namespace flicgen
