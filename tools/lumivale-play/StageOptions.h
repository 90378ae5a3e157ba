#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One sprite of a stage run: where it stands, the script that drives it and the image it shows.
struct StageSprite {
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;  // 0 keeps the sprite's own depth
    std::string script;
    std::string image;
};

// What the command line asks of a stage run:
//   lumivale-play [--stage WxH] SPRITE...   with each SPRITE [--at X,Y[,Z]] [--script FILE] IMAGE
// in a window, or --headless [--duration S] [--snapshot F.png] [--record DIR] on the simulated
// clock; --trace prints every sprite's state after each of its ticks.
struct StageOptions {
    int32_t width = 640;
    int32_t height = 480;
    std::vector<StageSprite> sprites;
    bool headless = false;
    uint32_t durationMs = 10000;
    std::string snapshotPath;
    std::string recordDir;
    bool trace = false;

    // Fills the options from the arguments after the program's name; false with `error` set
    // when they make no sense.
    bool parse(const std::vector<std::string_view>& args, std::string& error);
};

// True for the command lines of a stage run: those with one of its options.
bool isStageCommand(const std::vector<std::string_view>& args);
