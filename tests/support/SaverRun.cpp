#include "tests/support/SaverRun.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/RunCommand.h"

namespace testing_support {

std::string saverProgram(TestSceneFolder::Program program) {
    return builtProgram(program == TestSceneFolder::Program::ideas ? "saver/lumivale-ideas"
                                                                   : "saver/lumivale");
}

std::vector<std::string> traceLines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
            lines.push_back(line);
    }
    return lines;
}

bool holdsReport(const std::string& error) {
    for (const char* mark : {"lumivale: ", "Sanitizer", "runtime error"}) {
        if (error.find(mark) != std::string::npos) return true;
    }
    return false;
}

SignalledEnd endWithSignal(ChildProcess& child, int signal, std::chrono::milliseconds limit) {
    auto sent = std::chrono::steady_clock::now();
    SignalledEnd result;
    if (!child.signal(signal)) return result;
    result.ended = child.waitFor(limit);
    if (result.ended) {
        result.milliseconds =
            std::chrono::duration<double, std::milli>(child.endedAt() - sent).count();
    }
    return result;
}

std::size_t processesWithEnvironment(const std::string& entry) {
    std::size_t count = 0;
    std::error_code ignored;
    for (const auto& process : std::filesystem::directory_iterator("/proc", ignored)) {
        std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        // A zombie keeps no environment; only living processes count.
        std::ifstream environ(process.path() / "environ", std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(environ)), {});
        if ((std::string(1, '\0') + all).find('\0' + entry + '\0') != std::string::npos) ++count;
    }
    return count;
}

}  // namespace testing_support
