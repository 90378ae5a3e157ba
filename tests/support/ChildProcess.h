#pragma once
#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// Environment changes for a child: a value sets the variable, nullopt removes it; everything
// else is inherited (so sanitizer settings reach the child).
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

// A program run as a separate process, its standard output and error each going into a file
// of its own, its standard input from /dev/null. A child still running when the object goes
// is ended (SIGTERM, then SIGKILL) and reaped.
class ChildProcess {
  public:
    // `program` is looked up in PATH when it holds no slash. `failure` says why it did not
    // start.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const EnvironmentChanges& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid > 0; }
    const std::string& failure() const { return startFailure; }

    bool signal(int number) const;
    // Waits until the child ends, at most `limit`; true when it has ended.
    bool waitFor(std::chrono::milliseconds limit);
    bool running();

    // The exit status once ended normally; -1 while running or when ended by a signal.
    int exitStatus() const { return status; }
    // The signal that ended the child, or 0.
    int endingSignal() const { return killedBy; }
    // When the child was seen to have ended.
    std::chrono::steady_clock::time_point endedAt() const { return ended; }

    // What the child has written so far.
    std::string standardOutput() const;
    std::string standardError() const;

    // Waits until the child's standard output holds `text`, at most `limit` and no longer than
    // the child lives. The output written so far when it does, nullopt when it does not.
    std::optional<std::string> waitForOutput(const std::string& text,
                                             std::chrono::milliseconds limit);

  private:
    bool reap(bool block);

    pid_t pid = -1;
    std::string startFailure;
    std::string outPath;
    std::string errPath;
    int status = -1;
    int killedBy = 0;
    bool finished = false;
    std::chrono::steady_clock::time_point ended;
};

// Runs a program to its end (ended with SIGKILL after `limit`).
struct ChildResult {
    int status = -1;  // exit status, -1 when it did not exit normally or ran too long
    std::string output;
    std::string error;
};
ChildResult runChild(const std::string& program, const std::vector<std::string>& args,
                     const EnvironmentChanges& environment = {},
                     std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace testing_support
