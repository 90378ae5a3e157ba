#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// What the saver host was asked to do, read from its command line.
struct HostOptions {
    enum class Mode { window, fullscreen, preview, embedded, headless, about, help };
    // The largest window or headless side: beyond it the pictures would take gigabytes.
    static constexpr int32_t maxSide = 8192;

    Mode mode = Mode::window;
    int32_t width = 800;  // window and headless sizes
    int32_t height = 600;
    uint64_t windowId = 0;        // preview and embedded: the window someone else owns
    bool rootWindow = false;      // embedded into the root window
    uint32_t durationMs = 10000;  // headless: simulated time to run
    std::string snapshotPath;     // headless: PNG of the last frame
    std::string recordDir;        // headless: a PNG of every step
    bool present = false;         // headless: every step shown on a screen picture in memory
    std::string sceneDir;
    bool trace = false;
    bool frameRate = false;  // --fps: the frames-per-second readout
    int32_t scale = 1;       // each stage pixel shown as scale × scale; 0 picks by screen width
    std::string display;     // the X display to use instead of $DISPLAY
    std::string error;       // why the command line was refused; empty when it was fine
};

// Reads the arguments after the program name. `xscreensaverWindow` is the value of the
// XSCREENSAVER_WINDOW environment variable, or null.
HostOptions parseCommandLine(std::span<const std::string_view> args,
                             const char* xscreensaverWindow);

// The --help text.
std::string usageText(std::string_view program, std::string_view title);
