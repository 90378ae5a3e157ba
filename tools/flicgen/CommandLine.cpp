#include "tools/flicgen/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "tools/flicgen/Patterns.h"

namespace flicgen {

namespace {

int number(std::string_view text, int low, int high, std::string_view what) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        throw std::invalid_argument(std::string(what) + " must be a whole number from " +
                                    std::to_string(low) + " to " + std::to_string(high) +
                                    ", not '" + std::string(text) + "'");
    return value;
}

std::string sceneNames(DemoProgram program) {
    std::string names;
    for (const DemoScene& scene : demoScenes(program)) {
        if (!names.empty()) names += ' ';
        names += scene.file;
    }
    return names;
}

}  // namespace

std::uint32_t CommandLine::speed() const {
    if (format == FlicFormat::Flc) return static_cast<std::uint32_t>(speedMs);
    return static_cast<std::uint32_t>(std::max(1, (speedMs * 70 + 500) / 1000));
}

CommandLine parseCommandLine(std::span<const std::string_view> args) {
    CommandLine line;
    if (args.empty()) throw std::invalid_argument("no command given");
    for (std::string_view a : args)
        if (a == "--help" || a == "-h") return line;
    if (args[0] == "list") {
        if (args.size() > 1) throw std::invalid_argument("'list' takes no arguments");
        line.action = CommandLine::Action::List;
        return line;
    }
    if (args[0] == "demo") {
        if (args.size() != 3)
            throw std::invalid_argument("'demo' needs a program and an output folder");
        auto program = findDemoProgram(args[1]);
        if (!program)
            throw std::invalid_argument("no demo for '" + std::string(args[1]) +
                                        "' (ideas or lumivale)");
        line.action = CommandLine::Action::Demo;
        line.program = *program;
        line.output = args[2];
        return line;
    }
    if (args[0] != "pattern")
        throw std::invalid_argument("unknown command '" + std::string(args[0]) + "'");

    line.action = CommandLine::Action::Pattern;
    std::size_t positional = 0;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string_view a = args[i];
        auto value = [&]() {
            if (i + 1 >= args.size())
                throw std::invalid_argument(std::string(a) + " needs a value");
            return args[++i];
        };
        if (a == "--size") {
            std::string_view size = value();
            auto x = size.find('x');
            if (x == std::string_view::npos)
                throw std::invalid_argument("--size takes WxH, not '" + std::string(size) + "'");
            line.width = number(size.substr(0, x), 1, FlicWriter::maxSide, "the width");
            line.height = number(size.substr(x + 1), 1, FlicWriter::maxSide, "the height");
        } else if (a == "--frames") {
            line.frames = number(value(), 1, 65535, "--frames");
        } else if (a == "--speed") {
            line.speedMs = number(value(), 1, 60000, "--speed");
        } else if (a == "--fli") {
            line.format = FlicFormat::Fli;
        } else if (a == "--stamp") {
            line.postageStamp = true;
        } else if (a == "--no-offsets") {
            line.fileOptions.frameOffsets = false;
        } else if (a == "--prefix") {
            line.fileOptions.prefixChunk = true;
        } else if (a.starts_with("-")) {
            throw std::invalid_argument("unknown option '" + std::string(a) + "'");
        } else if (positional == 0) {
            line.pattern = a;
            ++positional;
        } else if (positional == 1) {
            line.output = a;
            ++positional;
        } else {
            throw std::invalid_argument("unexpected argument '" + std::string(a) + "'");
        }
    }
    if (positional < 2)
        throw std::invalid_argument("'pattern' needs a pattern name and an output file");
    if (!findPattern(line.pattern))
        throw std::invalid_argument("no pattern named '" + line.pattern + "' (see 'flicgen list')");
    return line;
}

std::string usage() {
    std::string text =
        "Usage: flicgen pattern NAME OUT [options]\n"
        "       flicgen demo PROGRAM DIR\n"
        "       flicgen list\n"
        "       flicgen --help\n"
        "\n"
        "Writes a generated animation NAME to the FLIC file OUT: FLC (magic 0xAF12) unless\n"
        "--fli asks for FLI (0xAF11). The first frame holds the whole palette and the whole\n"
        "image; later frames hold only what changed, and a ring frame at the end leads from\n"
        "the last frame back to the first.\n"
        "\n"
        "'demo' writes the scene files of a saver into DIR (made if missing), under the\n"
        "names the saver opens. PROGRAM is one of:\n"
        "  ideas     " +
        sceneNames(DemoProgram::Ideas) +
        "\n"
        "  lumivale  " +
        sceneNames(DemoProgram::Lumivale) +
        "\n"
        "\n"
        "Options of 'pattern':\n"
        "  --size WxH     frame size, each side 1 to 4096 (default 320x200)\n"
        "  --frames N     number of frames, 1 to 65535 (default 30)\n"
        "  --speed MS     time per frame in milliseconds, 1 to 60000 (default 70); FLI\n"
        "                 stores it in 1/70 s, rounded\n"
        "  --fli          write FLI: 64-level palettes and byte-oriented deltas\n"
        "  --stamp        add a postage-stamp chunk to the first frame\n"
        "  --no-offsets   leave the header's offsets of frames 1 and 2 at 0\n"
        "  --prefix       put an empty prefix chunk between the header and frame 1\n"
        "\n"
        "Patterns:\n";
    for (const Pattern& p : patterns())
        text += "  " + std::string(p.name) + std::string(10 - p.name.size(), ' ') +
                std::string(p.summary) + "\n";
    return text;
}

}  // namespace flicgen
