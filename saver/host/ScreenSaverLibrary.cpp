#include "saver/host/ScreenSaverLibrary.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "saver/host/AboutBox.h"
#include "saver/host/HostState.h"

namespace {

// Full screen closes when the mouse has moved more than this, summed over both directions.
constexpr int32_t moveTolerance = 4;

int32_t lowWord(int64_t value) {
    return static_cast<int16_t>(value & 0xffff);
}
int32_t highWord(int64_t value) {
    return static_cast<int16_t>((value >> 16) & 0xffff);
}

}  // namespace

HostState& hostState() {
    static HostState state;
    return state;
}

void closeSaverWindow() {
    auto& state = hostState();
    if (state.closing.exchange(true) || !state.window) return;
    ScreenSaverProc(*state.window, saverlib::wmDestroy, 0, 0);
}

namespace saverlib {

int64_t defScreenSaverProc(platform::Window&, uint32_t message, uint64_t, int64_t lParam) {
    auto& state = hostState();
    // Only full screen listens to input, and not once closing has begun.
    if (state.mode != HostOptions::Mode::fullscreen || state.closing) return 0;
    switch (message) {
        case wmKeyDown:
        case wmButtonDown:
            closeSaverWindow();
            break;
        case wmMouseMove: {
            int32_t moved = std::abs(lowWord(lParam) - state.cursorX) +
                            std::abs(highWord(lParam) - state.cursorY);
            if (moved > moveTolerance) closeSaverWindow();
            break;
        }
        default:
            break;
    }
    return 0;
}

void postQuitMessage(int32_t exitCode) {
    auto& state = hostState();
    state.exitCode = exitCode;
    state.quitPosted = true;
}

void endDialog(Dialog& dialog, int64_t result) {
    dialog.end(result);
}

// The terminal's bell is the one sound every desktop has.
void messageBeep(uint32_t) {
    if (isatty(STDERR_FILENO)) std::fputc('\a', stderr);
}

const platform::Module* programInstance() {
    return hostState().instance;
}

std::ostream* traceStream() {
    return hostState().trace;
}

}  // namespace saverlib
