#pragma once
#include <string>

namespace testing_support {

struct CommandResult {
    int status = -1;     // the exit status; -1 when the command did not exit normally
    std::string output;  // standard output and standard error together
};

// Runs `command` through the shell and waits for it.
CommandResult runCommand(const std::string& command);

// A program built in this tree, e.g. builtProgram("tools/lumivale-play/lumivale-play").
std::string builtProgram(const std::string& relativePath);

}  // namespace testing_support
