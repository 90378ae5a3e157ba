#include "saver/host/Signals.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// From the signal to the forced end: a clean end takes a few tens of milliseconds.
constexpr auto cleanEndLimit = std::chrono::milliseconds(80);

std::atomic<int> caught{0};
// Kept open for the life of the process: the watching thread may write to it at any time.
std::atomic<int> signalled{-1};

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

// The parent of process `pid`, from the fourth field of /proc/PID/stat; 0 when unknown.
pid_t parentOf(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    std::getline(stat, line);
    // The second field is the command name in parentheses, which may hold anything.
    auto close = line.rfind(')');
    if (close == std::string::npos || close + 4 >= line.size()) return 0;
    return static_cast<pid_t>(std::atol(line.c_str() + close + 4));
}

// The desktop's message box runs in a child process, which would stay on the screen.
void endChildren() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        if (parentOf(name) == ::getpid()) ::kill(static_cast<pid_t>(std::stol(name)), SIGKILL);
    }
}

// Children started since the signal go too: SDL falls back to a box of its own when the
// dialog program ends.
[[noreturn]] void endBySignal(int number) {
    endChildren();
    std::signal(number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(number);
    ::_exit(128 + number);
}

void watch() {
    sigset_t set = terminationSignals();
    int number = 0;
    while (sigwait(&set, &number) != 0) {
    }
    caught = number;
    if (int descriptor = signalled; descriptor >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(descriptor, &one, sizeof one);
    }
    endChildren();
    std::this_thread::sleep_for(cleanEndLimit);
    endBySignal(number);
}

}  // namespace

void catchTerminationSignals() {
    sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signalled = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::thread(watch).detach();
}

int terminationDescriptor() {
    return signalled;
}

bool terminationRequested() {
    return caught != 0;
}

int endAsAsked(int status) {
    int number = caught;
    if (number == 0 || status != 0) return status;
#if defined(__SANITIZE_ADDRESS__)
    // The end by a signal skips the leak check that a normal exit runs.
    __lsan_do_leak_check();
#endif
    endBySignal(number);
}
