#include "tests/support/SaverRun.h"

#include <cctype>
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

}  // namespace testing_support
