// avigen: writes test clips of the flicgen patterns with each codec, for trying the reader and
// the player by hand. It is not installed.
#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "tools/avigen/AviWriter.h"
#include "tools/flicgen/Patterns.h"

namespace {

constexpr const char* usage =
    "Usage: avigen PATTERN OUT.avi [OPTIONS]\n"
    "Writes an 8-bit AVI clip of a flicgen pattern (flicgen --list names them).\n\n"
    "  --codec raw|rle|video1   frame coding (default rle)\n"
    "  --size WxH               picture size (default 320x240)\n"
    "  --frames N               frame count (default 30)\n"
    "  --key N                  a key frame every N frames (default 0: only the first)\n"
    "  --fps N                  frames per second (default 10)\n"
    "  --sound                  an 8-bit mono 11025 Hz tone interleaved with the frames\n"
    "  --no-index               no index\n"
    "  --records                each frame's chunks in a \"rec \" list\n"
    "  --junk                   JUNK chunks in the headers and between frames\n";

struct Arguments {
    const flicgen::Pattern* pattern = nullptr;
    std::string output;
    avigen::VideoStream video;
    avigen::ClipOptions options;
    int width = 320;
    int height = 240;
    int frames = 30;
    bool sound = false;
};

int number(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        throw std::invalid_argument("not a number: " + std::string(text));
    return value;
}

Arguments parse(const std::vector<std::string_view>& args) {
    Arguments parsed;
    parsed.video.codec = avigen::Codec::Rle8;
    std::vector<std::string_view> names;
    for (std::size_t k = 0; k < args.size(); ++k) {
        std::string_view arg = args[k];
        auto value = [&]() {
            if (k + 1 >= args.size())
                throw std::invalid_argument(std::string(arg) + " needs a value");
            return args[++k];
        };
        if (arg == "--codec") {
            std::string_view codec = value();
            if (codec == "raw") {
                parsed.video.codec = avigen::Codec::Raw;
            } else if (codec == "rle") {
                parsed.video.codec = avigen::Codec::Rle8;
            } else if (codec == "video1") {
                parsed.video.codec = avigen::Codec::Video1;
            } else {
                throw std::invalid_argument("no codec " + std::string(codec));
            }
        } else if (arg == "--size") {
            std::string_view size = value();
            std::size_t x = size.find('x');
            if (x == std::string_view::npos) throw std::invalid_argument("a size is WxH");
            parsed.width = number(size.substr(0, x));
            parsed.height = number(size.substr(x + 1));
        } else if (arg == "--frames") {
            parsed.frames = std::max(number(value()), 1);
        } else if (arg == "--key") {
            parsed.video.keyInterval = number(value());
        } else if (arg == "--fps") {
            parsed.options.microsecondsPerFrame =
                static_cast<std::uint32_t>(1000000 / std::max(number(value()), 1));
        } else if (arg == "--sound") {
            parsed.sound = true;
        } else if (arg == "--no-index") {
            parsed.options.index = false;
        } else if (arg == "--records") {
            parsed.options.recordLists = true;
        } else if (arg == "--junk") {
            parsed.options.junk = true;
        } else if (arg.starts_with("--")) {
            throw std::invalid_argument("no option " + std::string(arg));
        } else {
            names.push_back(arg);
        }
    }
    if (names.size() != 2) throw std::invalid_argument("give a pattern and an output file");
    parsed.pattern = flicgen::findPattern(names[0]);
    if (!parsed.pattern) throw std::invalid_argument("no pattern " + std::string(names[0]));
    parsed.output = names[1];
    return parsed;
}

void write(const Arguments& arguments) {
    avigen::AviWriter writer(arguments.width, arguments.height, arguments.options);
    int stream = writer.addVideoStream(arguments.video);
    if (arguments.sound) {
        avigen::AudioStream tone;
        const std::size_t samples =
            static_cast<std::size_t>(uint64_t{tone.rate} * arguments.options.microsecondsPerFrame *
                                     arguments.frames / 1000000);
        // A square wave of about 440 Hz.
        for (std::size_t k = 0; k < samples; ++k)
            tone.samples.push_back(k % 25 < 12 ? 0xA0 : 0x60);
        writer.addAudioStream(std::move(tone));
    }
    flicgen::PatternFrame frame;
    for (int k = 0; k < arguments.frames; ++k) {
        arguments.pattern->render(arguments.width, arguments.height, k, arguments.frames, frame);
        writer.addFrame(stream, frame.pixels, frame.palette);
    }
    writer.finish(arguments.output);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--help") {
        std::fputs(usage, stdout);
        return 0;
    }
    Arguments arguments;
    try {
        arguments = parse(args);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "avigen: %s\n%s", e.what(), usage);
        return 2;
    }
    try {
        write(arguments);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "avigen: %s\n", e.what());
        return 1;
    }
    return 0;
}
