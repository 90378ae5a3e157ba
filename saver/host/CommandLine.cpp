#include "saver/host/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// "WxH" in decimal digits; says nothing of the size's range.
bool looksLikeSize(std::string_view text) {
    auto x = text.find_first_of("xX");
    auto digits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return x != std::string_view::npos && digits(text.substr(0, x)) && digits(text.substr(x + 1));
}

// A size within 1 to maxSide pixels each way; `why` says what is wrong when it is not.
bool parseSize(std::string_view text, int32_t& width, int32_t& height, std::string& why) {
    auto x = text.find_first_of("xX");
    int32_t w = 0;
    int32_t h = 0;
    auto first = std::from_chars(text.data(), text.data() + x, w);
    auto second = std::from_chars(text.data() + x + 1, text.data() + text.size(), h);
    bool inRange = first.ec == std::errc{} && second.ec == std::errc{} &&
                   w <= HostOptions::maxSide && h <= HostOptions::maxSide;
    if (!inRange) {
        why = "the size " + std::string(text) + " is too large (at most " +
              std::to_string(HostOptions::maxSide) + "x" + std::to_string(HostOptions::maxSide) +
              ")";
        return false;
    }
    if (w == 0 || h == 0) {
        why = "the size " + std::string(text) + " has no area (width and height start at 1)";
        return false;
    }
    width = w;
    height = h;
    return true;
}

// X window ids come in decimal or hexadecimal ("0x2a00007").
bool parseWindowId(std::string_view text, uint64_t& id) {
    std::string copy(text);
    char* end = nullptr;
    unsigned long long value = std::strtoull(copy.c_str(), &end, 0);
    if (copy.empty() || *end != '\0' || value == 0) return false;
    id = value;
    return true;
}

// 1 to 8, or "auto" for 0.
bool parseScale(std::string_view text, int32_t& scale) {
    if (text == "auto") {
        scale = 0;
        return true;
    }
    int32_t value = 0;
    auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec != std::errc{} || read.ptr != text.data() + text.size() || value < 1 || value > 8)
        return false;
    scale = value;
    return true;
}

bool parseSeconds(std::string_view text, uint32_t& ms) {
    std::string copy(text);
    char* end = nullptr;
    double seconds = std::strtod(copy.c_str(), &end);
    if (copy.empty() || *end != '\0' || !(seconds >= 0) || seconds > 4'000'000) return false;
    ms = static_cast<uint32_t>(std::lround(seconds * 1000));
    return true;
}

}  // namespace

HostOptions parseCommandLine(std::span<const std::string_view> args,
                             const char* xscreensaverWindow) {
    HostOptions options;
    auto fail = [&](std::string why) {
        options.error = std::move(why);
        return options;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        auto value = [&]() -> std::string_view { return i + 1 < args.size() ? args[++i] : ""; };
        // False when a size follows and is refused.
        auto optionalSize = [&] {
            if (i + 1 >= args.size() || !looksLikeSize(args[i + 1])) return true;
            std::string why;
            if (!parseSize(args[++i], options.width, options.height, why)) {
                options.error = std::string(arg) + ": " + why;
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h" || arg == "-help") {
            options.mode = HostOptions::Mode::help;
            return options;
        } else if (arg == "--window" || arg == "-window") {
            options.mode = HostOptions::Mode::window;
            if (!optionalSize()) return options;
        } else if (arg == "--fullscreen" || arg == "/s" || arg == "/S" || arg == "-s") {
            options.mode = HostOptions::Mode::fullscreen;
        } else if (arg == "/p" || arg == "/P" || arg == "/l" || arg == "/L") {
            options.mode = HostOptions::Mode::preview;
            if (!parseWindowId(value(), options.windowId))
                return fail(std::string(arg) + " needs a window id");
        } else if (arg == "/c" || arg == "/C" || arg == "--about") {
            options.mode = HostOptions::Mode::about;
        } else if (arg == "-root" || arg == "--root") {
            options.mode = HostOptions::Mode::embedded;
            options.rootWindow = true;
        } else if (arg == "-window-id" || arg == "--window-id") {
            options.mode = HostOptions::Mode::embedded;
            options.rootWindow = false;
            if (!parseWindowId(value(), options.windowId))
                return fail(std::string(arg) + " needs a window id");
        } else if (arg == "--headless") {
            options.mode = HostOptions::Mode::headless;
            options.width = 640;
            options.height = 480;
            if (!optionalSize()) return options;
        } else if (arg == "--duration") {
            if (!parseSeconds(value(), options.durationMs)) return fail("--duration needs seconds");
        } else if (arg == "--snapshot") {
            options.snapshotPath = value();
            if (options.snapshotPath.empty()) return fail("--snapshot needs a file name");
        } else if (arg == "--record") {
            options.recordDir = value();
            if (options.recordDir.empty()) return fail("--record needs a folder");
        } else if (arg == "--present") {
            options.present = true;
        } else if (arg == "--scene-dir") {
            options.sceneDir = value();
            if (options.sceneDir.empty()) return fail("--scene-dir needs a folder");
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--fps" || arg == "-fps") {
            options.frameRate = true;
        } else if (arg == "--scale" || arg == "-scale") {
            if (!parseScale(value(), options.scale))
                return fail(std::string(arg) + " needs a whole number from 1 to 8, or auto");
        } else if (arg == "--delay" || arg == "-delay") {
            // Stock hacks take a pause between frames; each sprite here keeps its own pace.
            std::string_view given = value();
            int64_t microseconds = 0;
            auto read = std::from_chars(given.data(), given.data() + given.size(), microseconds);
            if (given.empty() || read.ec != std::errc{} ||
                read.ptr != given.data() + given.size() || microseconds < 0)
                return fail(std::string(arg) + " needs microseconds");
        } else if (arg == "--display" || arg == "-display") {
            options.display = value();
            if (options.display.empty()) return fail(std::string(arg) + " needs a display name");
        } else {
            return fail("unknown argument: " + std::string(arg));
        }
    }
    // The screen-saver daemon hands its window over; a command without a mode means it too.
    bool noModeGiven = std::none_of(args.begin(), args.end(), [](std::string_view arg) {
        return arg == "--window" || arg == "-window" || arg == "--fullscreen" || arg == "-s" ||
               arg == "--headless" || arg.starts_with('/') || arg.ends_with("window-id");
    });
    if (noModeGiven && xscreensaverWindow) {
        options.mode = HostOptions::Mode::embedded;
        options.rootWindow = true;
    }
    // A window handed over by the screen-saver daemon takes the place of the root window.
    if (options.mode == HostOptions::Mode::embedded && options.rootWindow && xscreensaverWindow) {
        uint64_t id = 0;
        if (parseWindowId(xscreensaverWindow, id)) {
            options.windowId = id;
            options.rootWindow = false;
        }
    }
    bool headlessOnly =
        !options.snapshotPath.empty() || !options.recordDir.empty() || options.present;
    if (headlessOnly && options.mode != HostOptions::Mode::headless) {
        return fail("--snapshot, --record and --present need --headless");
    }
    return options;
}

std::string usageText(std::string_view program, std::string_view title) {
    std::string p(program);
    return std::string(title) + " screen saver\n\n" + "Usage: " + p +
           " [MODE] [OPTIONS]\n\n"
           "Modes (the last one given wins; without one the saver runs in a window):\n"
           "  --window [WxH]      run in a desktop window (default 800x600)\n"
           "  --fullscreen, /s    run full screen; a key, a mouse button or a move ends it\n"
           "  /p ID, /l ID        preview inside the window with this X window id\n"
           "  -window-id ID, --window-id ID\n"
           "                      draw into the X window with this id (input is ignored)\n"
           "  -root, --root       draw into the root window, or into $XSCREENSAVER_WINDOW\n"
           "  --headless [WxH]    run without a display on a simulated clock (default 640x480)\n"
           "  --about, /c         show the about box\n"
           "  --help              show this text\n\n"
           "Options:\n"
           "  --duration SECONDS  headless: simulated time to run (default 10)\n"
           "  --snapshot FILE.png headless: write the last frame as PNG\n"
           "  --record DIR        headless: write every frame as DIR/frame-NNNNN.png\n"
           "  --present           headless: show every frame on a screen in memory of the\n"
           "                      headless size, at --scale, as a display would be sent it\n"
           "                      (to measure what showing costs)\n"
           "  --scene-dir DIR     read the scene's animation files from DIR\n"
           "                      (default: the current folder when it holds them, else the\n"
           "                      installed demo scenes)\n"
           "  --trace             print each placement, pause and resume on standard output\n"
           "  --fps               show the frames per second in the top-left corner\n"
           "  --scale N|auto      show each stage pixel as an N x N block (1 to 8); auto: 2 on\n"
           "                      screens from 2560 pixels wide, else 1\n"
           "  --display NAME      the X display to use (default $DISPLAY)\n"
           "  --delay N           accepted as other screen savers take it; each animation\n"
           "                      keeps its own frame timing\n"
           "  (Options may also start with one dash: -fps, -scale, -display, -delay.)\n\n"
           "The saver ends on SIGTERM or SIGINT. A window of preview size (narrower than 300\n"
           "pixels) shows the preview scene.\n";
}
