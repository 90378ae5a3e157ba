#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the command line asks lumivale-play to do.
struct PlayOptions {
    enum class Mode { play, info, dumpFrames, dumpAudio, bench, help };

    Mode mode = Mode::play;
    std::string file;
    std::string output;  // the folder of --dump, the file of --dump-audio
    std::optional<int32_t> loops;
    uint32_t startMilliseconds = 0;
    int32_t page = 1;    // the picture page shown first, from 1
    bool group = false;  // the image's frames as a sprite group shows them
    // Percent of full volume, left and right.
    std::optional<std::pair<uint32_t, uint32_t>> volume;

    // Fills the options from the arguments after the program's name; false with `error` set
    // when they make no sense.
    bool parse(const std::vector<std::string_view>& args, std::string& error);
};

// True for the files played as sounds: the extension key "WAV".
bool isSoundFile(const std::string& path);
