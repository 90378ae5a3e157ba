#include "saver/host/Signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t requested = 0;

extern "C" void onTermination(int) {
    requested = 1;
}

}  // namespace

void catchTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool terminationRequested() {
    return requested != 0;
}
