#include "tools/lumivale-play/PlayCommands.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/platform/Clock.h"
#include "engine/platform/sdl/SdlWindow.h"
#include "saver/host/PngWriter.h"
#include "tools/lumivale-play/FrameDecoder.h"
#include "tools/lumivale-play/PictureViewer.h"

int printInfo(const std::string& path) {
    FrameDecoder decoder;
    if (!decoder.open(path)) return 1;
    std::printf("file: %s\nformat: %s\nsize: %dx%d\ndepth: %d bits\nplanes: %d\npalette: %s\n",
                path.c_str(), decoder.formatName(), decoder.width(), decoder.height(),
                decoder.depth(), decoder.planes(), decoder.paletteKind().c_str());
    if (decoder.isPicture()) {
        std::printf("pages: %d\n", decoder.frameCount());
    } else {
        std::printf("frames: %d\nframe time: %d ms\n", decoder.frameCount(), decoder.frameTime());
    }
    return 0;
}

int dumpFrames(const std::string& folder, const std::string& path) {
    FrameDecoder decoder;
    if (!decoder.open(path)) return 1;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (int32_t frame = 0; frame < decoder.frameCount(); ++frame) {
        if (!decoder.decode(frame)) return 1;
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%04d.png", frame);
        if (!PngWriter::write(folder + name, decoder.width(), decoder.height(), decoder.rgb())) {
            std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), name);
            return 1;
        }
    }
    std::printf("%d frames written to %s\n", decoder.frameCount(), folder.c_str());
    return 0;
}

int benchmarkDecoding(const std::string& path, int32_t loops) {
    FrameDecoder decoder;
    if (!decoder.open(path)) return 1;
    auto start = std::chrono::steady_clock::now();
    int64_t frames = 0;
    for (int32_t loop = 0; loop < loops; ++loop) {
        for (int32_t frame = 0; frame < decoder.frameCount(); ++frame, ++frames) {
            if (!decoder.decode(frame)) return 1;
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double pixels = static_cast<double>(frames) * decoder.width() * decoder.height();
    std::printf("%lld frames in %.3f s: %.1f frames/s, %.1f MB/s of decoded pixels\n",
                static_cast<long long>(frames), seconds, static_cast<double>(frames) / seconds,
                pixels / seconds / 1e6);
    return 0;
}

int playInWindow(const std::string& path, int32_t page) {
    FrameDecoder decoder;
    if (!decoder.open(path)) return 1;
    if (decoder.isPicture() && !hasPage(decoder, page)) return 1;
    std::string error;
    std::string title = "lumivale-play: " + std::filesystem::path(path).filename().string();
    auto window =
        platform::SdlWindow::open(title.c_str(), decoder.width(), decoder.height(), false, error);
    if (!window) {
        std::fprintf(stderr, "cannot open a window: %s\n", error.c_str());
        return 1;
    }
    if (decoder.isPicture()) return viewPictures(decoder, *window, page);
    Rect all{0, 0, decoder.width(), decoder.height()};
    uint32_t due = platform::Clock::now();
    for (int32_t frame = 0;; frame = (frame + 1) % decoder.frameCount()) {
        if (!decoder.decode(frame)) return 1;
        if (auto context = window->getDC()) decoder.picture().draw(*context, all, 0, 0);
        window->update();
        due += static_cast<uint32_t>(std::max(decoder.frameTime(), 1));
        // Wait for the frame's time while answering the window; a close or Escape ends it.
        do {
            int32_t left = static_cast<int32_t>(due - platform::Clock::now());
            if (window->waitForClose(left > 0 ? left : 0)) return 0;
        } while (static_cast<int32_t>(due - platform::Clock::now()) > 0);
    }
}
