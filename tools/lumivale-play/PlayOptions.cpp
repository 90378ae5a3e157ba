#include "tools/lumivale-play/PlayOptions.h"

#include <charconv>

#include "tools/lumivale-play/ImageFiles.h"

namespace {

template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    return failure == std::errc{} && end == text.data() + text.size();
}

bool parsePercent(std::string_view text, uint32_t& percent) {
    return parseNumber(text, percent) && percent <= 100;
}

bool parseVolume(std::string_view text, std::pair<uint32_t, uint32_t>& volume) {
    auto comma = text.find(',');
    if (comma == std::string_view::npos) {
        if (!parsePercent(text, volume.first)) return false;
        volume.second = volume.first;
        return true;
    }
    return parsePercent(text.substr(0, comma), volume.first) &&
           parsePercent(text.substr(comma + 1), volume.second);
}

}  // namespace

bool PlayOptions::parse(const std::vector<std::string_view>& args, std::string& error) {
    bool pageGiven = false;
    auto setMode = [&](Mode chosen, std::string_view name) {
        if (mode != Mode::play && mode != chosen) {
            error = std::string(name) + " cannot be combined with another mode";
            return false;
        }
        mode = chosen;
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        bool hasValue = i + 1 < args.size();
        auto missing = [&] {
            error = std::string(arg) + " needs a value";
            return false;
        };
        if (arg == "--help" || arg == "-h") {
            mode = Mode::help;
            return true;
        } else if (arg == "--info") {
            if (!setMode(Mode::info, arg)) return false;
        } else if (arg == "--bench") {
            if (!setMode(Mode::bench, arg)) return false;
        } else if (arg == "--dump" || arg == "--dump-audio") {
            if (!setMode(arg == "--dump" ? Mode::dumpFrames : Mode::dumpAudio, arg)) return false;
            if (!hasValue) return missing();
            output = args[++i];
        } else if (arg == "--group") {
            group = true;
        } else if (arg == "--loops") {
            int32_t count = 0;
            if (!hasValue) return missing();
            if (!parseNumber(args[++i], count) || count < 0) {
                error = "--loops needs a number of 0 or more";
                return false;
            }
            loops = count;
        } else if (arg == "--start") {
            if (!hasValue) return missing();
            if (!parseNumber(args[++i], startMilliseconds)) {
                error = "--start needs a time in milliseconds";
                return false;
            }
        } else if (arg == "--page") {
            if (!hasValue) return missing();
            if (!parseNumber(args[++i], page) || page <= 0) {
                error = "--page needs a positive number";
                return false;
            }
            pageGiven = true;
        } else if (arg == "--volume") {
            std::pair<uint32_t, uint32_t> percent;
            if (!hasValue) return missing();
            if (!parseVolume(args[++i], percent)) {
                error = "--volume needs a percentage (0 to 100) or two as LEFT,RIGHT";
                return false;
            }
            volume = percent;
        } else if (arg.starts_with("-")) {
            error = "unknown option " + std::string(arg);
            return false;
        } else if (!file.empty()) {
            error = "more than one file given";
            return false;
        } else {
            file = arg;
        }
    }
    if (file.empty()) {
        error = "no file given";
        return false;
    }
    bool sound = isSoundFile(file);
    bool inGroup = group || extensionKey(file) == "LOD";
    if (group && (sound || (mode != Mode::info && mode != Mode::dumpFrames))) {
        error = "--group shows an image's frames as a sprite group, with --info or --dump";
        return false;
    }
    if (inGroup && (mode == Mode::bench || mode == Mode::dumpAudio)) {
        error = "a sprite group has no sound and is not decoded while it plays";
        return false;
    }
    if (pageGiven && (sound || inGroup || mode != Mode::play)) {
        error = "--page shows a picture from that page";
        return false;
    }
    if ((startMilliseconds != 0 || volume) && !sound) {
        error = "--start and --volume are for sounds";
        return false;
    }
    if (sound && (mode == Mode::dumpFrames || mode == Mode::bench)) {
        error = "a sound has no frames to dump or decode; use --dump-audio";
        return false;
    }
    if (mode == Mode::dumpAudio && volume) {
        error = "--volume sets the sound device's volume: --dump-audio writes the data as it is";
        return false;
    }
    if (loops && *loops == 0 && mode != Mode::play) {
        error = "--loops 0 repeats for ever: give a count";
        return false;
    }
    if (loops &&
        (mode == Mode::info || mode == Mode::dumpFrames || (mode == Mode::play && !sound))) {
        error = "--loops is for --bench, sounds and --dump-audio";
        return false;
    }
    return true;
}

bool isSoundFile(const std::string& path) {
    return extensionKey(path) == "WAV";
}
