#include "tests/support/RunCommand.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace testing_support {

CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> chunk;
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.output.append(chunk.data(), got);
    int raw = pclose(pipe);
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    return result;
}

std::string builtProgram(const std::string& relativePath) {
    return std::string(LUMIVALE_BINARY_DIR) + "/" + relativePath;
}

}  // namespace testing_support
