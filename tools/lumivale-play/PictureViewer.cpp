#include "tools/lumivale-play/PictureViewer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

#include "engine/platform/sdl/SdlWindow.h"
#include "tools/lumivale-play/FrameDecoder.h"

namespace {

bool draws(FrameDecoder& decoder, platform::SdlWindow& window, int32_t page) {
    if (!decoder.decode(page)) return false;
    if (window.clientRect() != Rect{0, 0, decoder.width(), decoder.height()}) {
        window.resizeClient(decoder.width(), decoder.height());
    }
    if (auto context = window.getDC()) {
        decoder.picture().draw(*context, Rect{0, 0, decoder.width(), decoder.height()}, 0, 0);
    }
    window.update();
    return true;
}

// The page a key turns to from `page`, or `page` itself.
int32_t turned(SDL_Keycode key, int32_t page, int32_t pages) {
    if (key == SDLK_LEFT || key == SDLK_PAGEUP) return std::max(page - 1, 0);
    if (key == SDLK_RIGHT || key == SDLK_PAGEDOWN) return std::min(page + 1, pages - 1);
    return page;
}

}  // namespace

bool hasPage(const FrameDecoder& decoder, int32_t page) {
    if (page >= 0 && page < decoder.frameCount()) return true;
    std::fprintf(stderr, "no page %d: the file has %d\n", page + 1, decoder.frameCount());
    return false;
}

int viewPictures(FrameDecoder& decoder, platform::SdlWindow& window, int32_t page) {
    if (!draws(decoder, window, page)) return 1;
    for (;;) {
        SDL_Event event;
        if (!SDL_WaitEventTimeout(&event, 200)) continue;
        do {
            if (event.type == window.wakeEvent()) {
                window.update();
            } else if (event.type == SDL_QUIT ||
                       (event.type == SDL_WINDOWEVENT &&
                        event.window.event == SDL_WINDOWEVENT_CLOSE) ||
                       (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)) {
                return 0;
            } else if (event.type == SDL_WINDOWEVENT &&
                       event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                if (!draws(decoder, window, page)) return 1;
            } else if (event.type == SDL_KEYDOWN) {
                int32_t next = turned(event.key.keysym.sym, page, decoder.frameCount());
                if (next != page && !draws(decoder, window, next)) return 1;
                page = next;
            }
        } while (SDL_PollEvent(&event));
    }
}
