#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/media/mImageAVI.h"
#include "tools/lumivale-play/ClipCommands.h"
#include "tools/lumivale-play/GroupCommands.h"
#include "tools/lumivale-play/ImageFiles.h"
#include "tools/lumivale-play/PlayCommands.h"
#include "tools/lumivale-play/PlayOptions.h"
#include "tools/lumivale-play/ScriptCommands.h"
#include "tools/lumivale-play/SoundCommands.h"

namespace {

constexpr const char* usage =
    "Usage: lumivale-play [MODE] [OPTIONS] FILE\n"
    "Plays and converts 8-bit animation files (FLI and FLC), shows and converts pictures (PCX,\n"
    "DCX and BMP), plays AVI clips with their sound, WAVE sounds, and sprite definition files\n"
    "(LOD) with the sprite script they carry; the extension after the name's first dot tells\n"
    "which.\n\n"
    "  lumivale-play FILE                 play an animation in a window at the file's speed,\n"
    "                                     looping, a clip likewise with its sound (Space\n"
    "                                     pauses, Left/Right seek by a second), or show a\n"
    "                                     picture until closed (Left/Right or Page Up/Down turn\n"
    "                                     the pages of a DCX file); close the window or press\n"
    "                                     Escape to stop. A sound plays on the default sound\n"
    "                                     device, showing the time played on a terminal (Ctrl-C\n"
    "                                     stops it). A LOD file plays as its sprite on a stage\n"
    "  lumivale-play --page N FILE        show a picture file from page N (1 is the first)\n"
    "  lumivale-play --info FILE          print format, size, depth, planes, palette, and frame\n"
    "                                     count and frame time or pages; for a sound its format\n"
    "                                     tag, rate, channels, bits, data bytes and duration; for\n"
    "                                     a clip every stream. For a LOD file, one line per\n"
    "                                     frame of its sprite group: frame=N width= height=\n"
    "                                     origin=X,Y time=MS changed=L,T,R,B\n"
    "  lumivale-play --dump DIR FILE      decode every frame or page and write\n"
    "                                     DIR/frame-0000.png, ...; for a LOD file every frame\n"
    "                                     of its sprite group, whole\n"
    "  lumivale-play --group --info FILE, --group --dump DIR FILE\n"
    "                                     the same for any image file wrapped in a sprite group,\n"
    "                                     as a sprite built from its name shows it\n"
    "  lumivale-play --dump-audio OUT FILE\n"
    "                                     play a sound through a silent device as fast as it\n"
    "                                     goes and write every byte it was given to OUT (WAVE);\n"
    "                                     for a clip, the sound of its audio stream\n"
    "  lumivale-play --bench [--loops N] FILE\n"
    "                                     decode every frame N times (default 10), print speed\n"
    "  lumivale-play [--stage WxH] [--trace] SPRITE...\n"
    "                                     play sprites on a black stage (default 640x480) in a\n"
    "                                     window; each SPRITE is [--at X,Y[,Z]] [--script FILE]\n"
    "                                     IMAGE (any image file, or a LOD file, which carries\n"
    "                                     its script); --trace prints their state after every\n"
    "                                     tick\n"
    "  lumivale-play --headless [--duration S] [--snapshot F.png] [--record DIR] ... SPRITE...\n"
    "                                     the same on the simulated clock for S seconds (10)\n"
    "  lumivale-play --help               show this text\n\n"
    "Options for sounds:\n"
    "  --loops N          play N times (default 1; 0 repeats until stopped, when playing)\n"
    "  --start MS         start MS milliseconds into the sound\n"
    "  --volume P|L,R     the device's volume in percent (0 to 100), for both channels or\n"
    "                     left and right; playing only\n\n"
    "The exit status is 0 on success, 1 when the file cannot be read or played, 2 for a wrong\n"
    "command line and 130 when Ctrl-C stopped a sound; errors are reported on standard error.\n";

int runGroup(const PlayOptions& options) {
    switch (options.mode) {
        case PlayOptions::Mode::info:
            return printGroupInfo(options.file);
        case PlayOptions::Mode::dumpFrames:
            return dumpGroupFrames(options.output, options.file);
        default:
            break;
    }
    // A definition file plays as the sprite it makes, with its script, on a stage.
    return runStageCommand({options.file});
}

int runClip(const PlayOptions& options) {
    switch (options.mode) {
        case PlayOptions::Mode::info:
            return printClipInfo(options.file);
        case PlayOptions::Mode::dumpFrames:
            return dumpClipFrames(options.output, options.file);
        case PlayOptions::Mode::dumpAudio:
            return dumpClipSound(options);
        case PlayOptions::Mode::bench:
            return benchmarkClip(options.file, options.loops.value_or(10));
        case PlayOptions::Mode::help:
        case PlayOptions::Mode::play:
            break;
    }
    return playClip(options.file);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (isStageCommand(args)) return runStageCommand(args);
    PlayOptions options;
    std::string error;
    if (!options.parse(args, error)) {
        std::fprintf(stderr, "lumivale-play: %s\n%s", error.c_str(), usage);
        return 2;
    }
    if (options.mode == PlayOptions::Mode::help) {
        std::fputs(usage, stdout);
        return 0;
    }
    bool sound = isSoundFile(options.file);
    if (options.group || extensionKey(options.file) == "LOD") return runGroup(options);
    if (!sound) {
        // The engine's factory decides what the file is.
        std::unique_ptr<mImageBitmap> reader = readerFor(options.file);
        if (!reader) return 1;
        if (dynamic_cast<mImageAVI*>(reader.get())) return runClip(options);
        if (options.mode == PlayOptions::Mode::dumpAudio) {
            std::fprintf(
                stderr, "lumivale-play: --dump-audio takes a WAVE sound or an AVI clip\n%s", usage);
            return 2;
        }
    }
    switch (options.mode) {
        case PlayOptions::Mode::info:
            return sound ? printSoundInfo(options) : printInfo(options.file);
        case PlayOptions::Mode::dumpFrames:
            return dumpFrames(options.output, options.file);
        case PlayOptions::Mode::dumpAudio:
            return dumpSound(options);
        case PlayOptions::Mode::bench:
            return benchmarkDecoding(options.file, options.loops.value_or(10));
        case PlayOptions::Mode::help:
        case PlayOptions::Mode::play:
            break;
    }
    return sound ? playSound(options) : playInWindow(options.file, options.page - 1);
}
