#include "tools/lumivale-play/ClipCommands.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "engine/media/mImageAVI.h"
#include "engine/platform/Clock.h"
#include "engine/platform/sdl/SdlWindow.h"
#include "saver/host/PngWriter.h"
#include "tools/lumivale-play/ClipTransport.h"
#include "tools/lumivale-play/FrameDecoder.h"
#include "tools/lumivale-play/ImageFiles.h"
#include "tools/lumivale-play/SoundDevice.h"
#include "tools/lumivale-play/SoundFile.h"

namespace {

// A clip read frame by frame into an 8-bit picture that takes its colours.
class ClipPlayer {
  public:
    bool open(const std::string& path) {
        std::unique_ptr<mImageBitmap> reader = readerFor(path);
        auto* opened = dynamic_cast<mImageAVI*>(reader.get());
        if (!opened) {
            if (reader) std::fprintf(stderr, "lumivale-play: %s is no AVI clip\n", path.c_str());
            return false;
        }
        reader.release();
        owned.reset(opened);
        mImageAVI& clip = *owned;
        if (!clip.mFile::open(path.c_str(), 0)) return false;
        if (!clip.openImage()) {
            std::fprintf(stderr, "lumivale-play: %s: not an AVI clip this player can decode\n",
                         path.c_str());
            return false;
        }
        if (!picture.createMemory(clip.width, clip.height, 8)) return false;
        clip.setRemap(0);
        clip.setAutoAdvance(1);
        clip.attachBitmap(&picture);
        return true;
    }
    // Shows the current frame and moves on; false at a frame that cannot be read.
    bool next() {
        if (owned->readFrame(0, 0, nullptr) < 0) return false;
        picture.setColors(owned->palette, 0, 256);
        return true;
    }
    mImageAVI& clip() { return *owned; }

    mBitmap picture;  // declared first: the clip holds a use on it until the clip goes

  private:
    std::unique_ptr<mImageAVI> owned;
};

// A four-character code in quotes, or its value when it is not four printable characters.
std::string codeText(uint32_t code) {
    if (code == 0) return "none";
    std::string text;
    for (int shift = 0; shift < 32; shift += 8) {
        auto letter = static_cast<char>(code >> shift);
        if (letter < 32 || letter > 126) {
            char number[16];
            std::snprintf(number, sizeof number, "0x%08X", code);
            return number;
        }
        text += letter;
    }
    return "\"" + text + "\"";
}

// What a key does to the clip on show.
std::optional<ClipTransport::Key> clipKey(int32_t key) {
    switch (key) {
        case SDLK_SPACE:
            return ClipTransport::Key::pause;
        case SDLK_LEFT:
            return ClipTransport::Key::back;
        case SDLK_RIGHT:
            return ClipTransport::Key::forward;
        default:
            return std::nullopt;
    }
}

}  // namespace

int printClipInfo(const std::string& path) {
    ClipPlayer player;
    if (!player.open(path)) return 1;
    const mImageAVI& clip = player.clip();
    std::printf(
        "file: %s\nformat: AVI\nsize: %dx%d\ndepth: %d bits\nframes: %d\nframe time: %d ms\n",
        path.c_str(), clip.width, clip.height, clip.bitsPerPixel, clip.frameCount, clip.frameTime);
    std::printf("index: %s\nstreams: %zu\n", clip.indexOffset != 0 ? "yes" : "no",
                clip.streams.size());
    for (std::size_t k = 0; k < clip.streams.size(); ++k) {
        const mImageAVI::StreamInfo& stream = clip.streams[k];
        const auto number = static_cast<int32_t>(k);
        const bool video = stream.type == mFile::fourCC("vids");
        const bool chosen = video ? number == clip.videoStream : number == clip.audioStream;
        std::printf("stream %d: %s, handler %s, priority %u, length %u, rate %u/%u%s\n", number,
                    codeText(stream.type).c_str(), codeText(stream.handler).c_str(),
                    stream.priority, stream.length, stream.rate, stream.scale,
                    chosen ? " (chosen)" : "");
        if (stream.type == mFile::fourCC("auds")) {
            const uint8_t* record = stream.format.data();
            std::printf("  audio format tag %u, %u channels, %u Hz, %u bits\n",
                        record[0] | record[1] << 8, record[2] | record[3] << 8,
                        static_cast<unsigned>(record[4] | record[5] << 8 | record[6] << 16 |
                                              record[7] << 24),
                        record[14] | record[15] << 8);
        } else if (video) {
            const uint8_t* record = stream.format.data();
            const auto compression = static_cast<uint32_t>(record[16] | record[17] << 8 |
                                                           record[18] << 16 | record[19] << 24);
            std::printf("  compression %s, %u bits\n",
                        compression == 0   ? "none"
                        : compression == 1 ? "8-bit run-length"
                                           : codeText(compression).c_str(),
                        record[14] | record[15] << 8);
        }
    }
    return 0;
}

int dumpClipFrames(const std::string& folder, const std::string& path) {
    ClipPlayer player;
    if (!player.open(path)) return 1;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (int32_t frame = 0; frame < player.clip().frameCount; ++frame) {
        if (!player.next()) {
            std::fprintf(stderr, "lumivale-play: %s: frame %d cannot be read\n", path.c_str(),
                         frame);
            return 1;
        }
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%04d.png", frame);
        if (!PngWriter::write(folder + name, player.clip().width, player.clip().height,
                              pictureRgb(player.picture))) {
            std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), name);
            return 1;
        }
    }
    std::printf("%d frames written to %s\n", player.clip().frameCount, folder.c_str());
    return 0;
}

int dumpClipSound(const PlayOptions& options) {
    claimInstance();
    auto device = selectSilentDevice();
    ClipPlayer player;
    if (!player.open(options.file)) return 1;
    mImageAVI& clip = player.clip();
    if (clip.mImage::count == 0) {
        std::fprintf(stderr, "lumivale-play: %s has no sound\n", options.file.c_str());
        return 1;
    }
    std::string problem = formatProblem(clip.waveFormat());
    if (!problem.empty()) {
        std::fprintf(stderr, "lumivale-play: %s cannot be played: %s\n", options.file.c_str(),
                     problem.c_str());
        return 1;
    }
    if (!clip.play(0, 1)) {
        std::fprintf(stderr, "lumivale-play: %s did not start playing\n", options.file.c_str());
        return 1;
    }
    uint32_t handle = clip.waveOut;
    // The device takes each frame's sound before the next frame is read, so that none is
    // dropped for want of a free block.
    for (int32_t frame = 0; frame < clip.frameCount && player.next(); ++frame) {
        device->finishAll(handle);
        dispatchWaiting();
    }
    clip.stop();
    std::vector<uint8_t> written = device->written(handle);
    if (!writeWaveFile(options.output, consistent(clip.waveFormat()), written)) {
        std::fprintf(stderr, "lumivale-play: cannot write %s\n", options.output.c_str());
        return 1;
    }
    std::printf("%zu bytes of sound written to %s\n", written.size(), options.output.c_str());
    return 0;
}

int benchmarkClip(const std::string& path, int32_t loops) {
    ClipPlayer player;
    if (!player.open(path)) return 1;
    mImageAVI& clip = player.clip();
    clip.setAutoAdvance(1);
    auto start = std::chrono::steady_clock::now();
    int64_t frames = 0;
    for (int32_t loop = 0; loop < loops; ++loop) {
        clip.seekFrame(0, 0);
        for (int32_t frame = 0; frame < clip.frameCount; ++frame, ++frames) {
            if (clip.readFrame(0, 0, nullptr) < 0) return 1;
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%lld frames in %.3f s: %.1f frames/s, %.1f us a frame\n",
                static_cast<long long>(frames), seconds, static_cast<double>(frames) / seconds,
                seconds * 1e6 / static_cast<double>(frames));
    return 0;
}

int playClip(const std::string& path) {
    claimInstance();
    DefaultDevice device;
    ClipPlayer player;
    if (!player.open(path)) return 1;
    mImageAVI& clip = player.clip();
    // The transport chooses each frame before it is read.
    clip.setAutoAdvance(0);
    std::string error;
    std::string title = "lumivale-play: " + std::filesystem::path(path).filename().string();
    auto window = platform::SdlWindow::open(title.c_str(), clip.width, clip.height, false, error);
    if (!window) {
        std::fprintf(stderr, "cannot open a window: %s\n", error.c_str());
        return 1;
    }
    const Rect all{0, 0, clip.width, clip.height};
    ClipTransport transport(clip, platform::Clock::now());
    std::vector<int32_t> keys;
    for (;;) {
        if (int32_t frame = transport.frameDue(platform::Clock::now()); frame >= 0) {
            if (!player.next()) {
                std::fprintf(stderr, "lumivale-play: %s: frame %d cannot be read\n", path.c_str(),
                             frame);
                clip.stop();
                return 1;
            }
            if (auto context = window->getDC()) player.picture.draw(*context, all, 0, 0);
            window->update();
        }
        // Wait for the next frame's time, answering the window, its keys and the sound's
        // notices; a short wait keeps the sound's blocks coming.
        dispatchWaiting();
        keys.clear();
        if (window->waitForInput(std::clamp(transport.wait(platform::Clock::now()), 0, 5), keys)) {
            clip.stop();
            return 0;
        }
        for (int32_t key : keys) {
            if (auto pressed = clipKey(key)) transport.press(*pressed, platform::Clock::now());
        }
    }
}
