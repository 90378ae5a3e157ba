#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/lumivale-play/PlayCommands.h"

namespace {

constexpr const char* usage =
    "Usage: lumivale-play [MODE] FILE\n"
    "Plays and converts 8-bit animation files (FLI and FLC).\n\n"
    "  lumivale-play FILE                 play in a window at the file's speed, looping;\n"
    "                                     close the window or press Escape to stop\n"
    "  lumivale-play --info FILE          print format, size, depth, frame count, frame time\n"
    "  lumivale-play --dump DIR FILE      decode every frame and write DIR/frame-0000.png, ...\n"
    "  lumivale-play --bench [--loops N] FILE\n"
    "                                     decode every frame N times (default 10), print speed\n"
    "  lumivale-play --help               show this text\n\n"
    "The exit status is 0 on success and 1 when the file cannot be read; errors are reported\n"
    "on standard error.\n";

int refuse(const char* why) {
    std::fprintf(stderr, "lumivale-play: %s\n%s", why, usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) return refuse("no file given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(usage, stdout);
        return 0;
    }
    if (args[0] == "--info") {
        if (args.size() != 2) return refuse("--info takes one file");
        return printInfo(std::string(args[1]));
    }
    if (args[0] == "--dump") {
        if (args.size() != 3) return refuse("--dump takes a folder and a file");
        return dumpFrames(std::string(args[1]), std::string(args[2]));
    }
    if (args[0] == "--bench") {
        int32_t loops = 10;
        std::size_t next = 1;
        if (args.size() > 2 && args[1] == "--loops") {
            auto [end, error] =
                std::from_chars(args[2].data(), args[2].data() + args[2].size(), loops);
            if (error != std::errc{} || end != args[2].data() + args[2].size() || loops <= 0) {
                return refuse("--loops needs a positive number");
            }
            next = 3;
        }
        if (args.size() != next + 1) return refuse("--bench takes one file");
        return benchmarkDecoding(std::string(args[next]), loops);
    }
    if (args.size() != 1 || args[0].starts_with("-")) return refuse("unknown arguments");
    return playInWindow(std::string(args[0]));
}
