#pragma once
#include <atomic>
#include <cstdint>
#include <iosfwd>

#include "saver/host/CommandLine.h"

namespace platform {
class Module;
class Window;
}  // namespace platform

// What the host's library calls share with the host's loop while a saver runs.
struct HostState {
    HostOptions::Mode mode = HostOptions::Mode::window;
    platform::Window* window = nullptr;
    std::atomic<bool> quitPosted{false};
    std::atomic<bool> closing{false};
    std::atomic<int32_t> exitCode{0};
    int32_t cursorX = 0;  // where the pointer was when full screen started
    int32_t cursorY = 0;
    const platform::Module* instance = nullptr;  // the program's, once the host starts it
    std::ostream* trace = nullptr;
};

HostState& hostState();

// Sends the saver window's destruction once, however many reasons there are to close.
void closeSaverWindow();
