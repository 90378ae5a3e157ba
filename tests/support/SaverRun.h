#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSceneFolder.h"

namespace testing_support {

// The built saver program that opens the scene files of `program`.
std::string saverProgram(TestSceneFolder::Program program);

// The lines of the saver's --trace output ("T ACTION INDEX [X Y Z]"), without anything else
// the saver printed.
std::vector<std::string> traceLines(const std::string& output);

// Whether standard error holds a report of the engine or of a sanitizer.
bool holdsReport(const std::string& error);

// How a running child ended after a signal.
struct SignalledEnd {
    bool ended = false;       // within the limit
    double milliseconds = 0;  // from the signal to the end
};
SignalledEnd endWithSignal(ChildProcess& child, int signal, std::chrono::milliseconds limit);

// How many running processes have `entry` ("NAME=VALUE") in their environment: a child given a
// unique entry is found with everything it started, wherever they were reparented.
std::size_t processesWithEnvironment(const std::string& entry);

}  // namespace testing_support
