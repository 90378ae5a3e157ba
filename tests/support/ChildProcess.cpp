#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/TempFile.h"

extern char** environ;

namespace testing_support {
namespace {

using namespace std::chrono_literals;

// How often a wait looks at the child again: fine enough to time a shutdown to a millisecond.
constexpr auto pollStep = 1ms;

std::vector<std::string> childEnvironment(const EnvironmentChanges& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        std::string text(*entry);
        std::string name = text.substr(0, text.find('='));
        if (!changes.contains(name)) result.push_back(text);
    }
    for (const auto& [name, value] : changes) {
        if (value) result.push_back(name + "=" + *value);
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const EnvironmentChanges& environment)
    : outPath(uniqueTempPath(".out")), errPath(uniqueTempPath(".err")) {
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = childEnvironment(environment);
    std::vector<char*> argv = pointers(argStrings);
    std::vector<char*> envp = pointers(envStrings);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The child starts with default signal handling whatever the test runner changed.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t child = -1;
    int error =
        posix_spawnp(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        startFailure = program + ": " + std::strerror(error);
        return;
    }
    pid = child;
}

ChildProcess::~ChildProcess() {
    if (started() && !finished) {
        signal(SIGTERM);
        if (!waitFor(2s)) {
            signal(SIGKILL);
            reap(true);
        }
    }
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(errPath, ignored);
}

bool ChildProcess::signal(int number) const {
    return started() && !finished && ::kill(pid, number) == 0;
}

bool ChildProcess::reap(bool block) {
    if (!started() || finished) return finished;
    int raw = 0;
    pid_t got;
    do {
        got = ::waitpid(pid, &raw, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got != pid) return false;
    ended = std::chrono::steady_clock::now();
    finished = true;
    if (WIFEXITED(raw)) status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) killedBy = WTERMSIG(raw);
    return true;
}

bool ChildProcess::waitFor(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!reap(false)) {
        if (!started() || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pollStep);
    }
    return true;
}

bool ChildProcess::running() {
    return started() && !reap(false);
}

std::string ChildProcess::standardOutput() const {
    return readWhole(outPath);
}

std::string ChildProcess::standardError() const {
    return readWhole(errPath);
}

std::optional<std::string> ChildProcess::waitForOutput(const std::string& text,
                                                       std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        // Read before looking at the child, so that what it wrote just before ending counts.
        bool alive = running();
        std::string output = standardOutput();
        if (output.find(text) != std::string::npos) return output;
        if (!alive || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(5ms);
    }
}

ChildResult runChild(const std::string& program, const std::vector<std::string>& args,
                     const EnvironmentChanges& environment, std::chrono::milliseconds limit) {
    ChildProcess child(program, args, environment);
    ChildResult result;
    if (!child.started()) {
        result.error = child.failure();
        return result;
    }
    if (!child.waitFor(limit)) {
        child.signal(SIGKILL);
        child.waitFor(2s);
        result.error = program + " ran longer than allowed\n";
    } else {
        result.status = child.exitStatus();
    }
    result.output = child.standardOutput();
    result.error += child.standardError();
    return result;
}

}  // namespace testing_support
