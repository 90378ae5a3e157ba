#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/lumivale-play/PlayCommands.h"

namespace {

constexpr const char* usage =
    "Usage: lumivale-play [MODE] FILE\n"
    "Plays and converts 8-bit animation files (FLI and FLC) and shows and converts pictures\n"
    "(PCX, DCX and BMP; the extension tells which).\n\n"
    "  lumivale-play FILE                 play in a window at the file's speed, looping; a\n"
    "                                     picture shows until closed, Left/Right or Page\n"
    "                                     Up/Down turn the pages of a DCX file; close the\n"
    "                                     window or press Escape to stop\n"
    "  lumivale-play --page N FILE        show a picture file from page N (1 is the first)\n"
    "  lumivale-play --info FILE          print format, size, depth, planes, palette, and\n"
    "                                     frame count and frame time or pages\n"
    "  lumivale-play --dump DIR FILE      decode every frame or page and write\n"
    "                                     DIR/frame-0000.png, ...\n"
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
    if (args[0] == "--page") {
        int32_t page = 0;
        if (args.size() != 3) return refuse("--page takes a number and a file");
        auto [end, error] = std::from_chars(args[1].data(), args[1].data() + args[1].size(), page);
        if (error != std::errc{} || end != args[1].data() + args[1].size() || page <= 0) {
            return refuse("--page needs a positive number");
        }
        return playInWindow(std::string(args[2]), page - 1);
    }
    if (args.size() != 1 || args[0].starts_with("-")) return refuse("unknown arguments");
    return playInWindow(std::string(args[0]));
}
