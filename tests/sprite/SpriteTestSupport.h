#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/media/mImage.h"
#include "engine/media/mImageBitmap.h"

namespace spritetest {

// A media object that records what it is asked to play and tells when it is destroyed.
class RecordingSound : public mImage {
  public:
    explicit RecordingSound(bool* destroyedFlag = nullptr) : destroyed(destroyedFlag) {}
    ~RecordingSound() override {
        if (destroyed) *destroyed = true;
    }
    int32_t play(int32_t length, int32_t loops) override {
        plays.emplace_back(length, loops);
        return 1;
    }

    bool* destroyed;
    std::vector<std::pair<int32_t, int32_t>> plays;
};

// An image source with a given frame count and frame time that records the calls a sprite
// makes, without a file behind it.
class RecordingImage : public mImageBitmap {
  public:
    RecordingImage(int32_t frames, int32_t msPerFrame, bool* destroyedFlag = nullptr)
        : destroyed(destroyedFlag) {
        frameCount = frames;
        frameTime = msPerFrame;
        width = frameWidth = 16;
        height = frameHeight = 8;
        bitsPerPixel = 8;
        planes = 1;
        palette = colours.data();
    }
    ~RecordingImage() override {
        if (destroyed) *destroyed = true;
    }

    int32_t openImage() override {
        calls.emplace_back("openImage");
        if (format != 0) return 0;
        format = 1;
        currentFrame = 0;
        return 1;
    }
    int32_t WriteHeader() override { return 0; }
    int32_t readFrame(int32_t x, int32_t y, const Rect* clip) override {
        reads.push_back({x, y, clip ? *clip : Rect{}});
        return currentFrame;
    }
    int32_t WriteFrame(int32_t, int32_t, int32_t) override { return -1; }
    int32_t seekFrame(int32_t frame, int32_t origin) override {
        seeks.emplace_back(frame, origin);
        if (origin == 0 && frame >= 0 && frame < frameCount) currentFrame = frame;
        return currentFrame;
    }
    int32_t updateRemap() override {
        calls.emplace_back("updateRemap");
        return 0;
    }
    int32_t play(int32_t length, int32_t loops) override {
        calls.push_back("play " + std::to_string(length) + " " + std::to_string(loops));
        return 0;
    }
    int32_t pause() override {
        calls.emplace_back("pause");
        return 0;
    }
    int32_t stop() override {
        calls.emplace_back("stop");
        return 0;
    }

    struct Read {
        int32_t x;
        int32_t y;
        Rect clip;
        bool operator==(const Read&) const = default;
    };

    bool* destroyed;
    std::vector<RgbQuad> colours = std::vector<RgbQuad>(256);
    std::vector<std::string> calls;
    std::vector<std::pair<int32_t, int32_t>> seeks;
    std::vector<Read> reads;
};

// Objects held through use counts are destroyed by their last holder with delete; tests hand
// them over this way.
template <class T, class... Args>
T* handedOver(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}

}  // namespace spritetest
