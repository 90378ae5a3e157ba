#include "tools/lumivale-play/ClipTransport.h"

#include <algorithm>
#include <limits>

#include "engine/media/mImageAVI.h"

ClipTransport::ClipTransport(mImageAVI& shown, uint32_t now) : clip(shown), due(now) {
    clip.seekFrame(0, 0);
    startSound();
}

int32_t ClipTransport::frameTime() const {
    return std::max(clip.frameTime, 1);
}

void ClipTransport::startSound() {
    // The sound is queued as frames are read, so it starts from wherever the picture is.
    if (clip.mImage::count != 0) clip.play(0, 1);
}

void ClipTransport::stopSound() {
    if (clip.mImage::count != 0) clip.stop();
}

void ClipTransport::press(Key key, uint32_t now) {
    if (key == Key::pause) {
        isPaused = !isPaused;
        if (isPaused) {
            if (clip.mImage::count != 0) clip.pause();
        } else {
            // Resuming through play picks the sound up where it stopped.
            startSound();
            due = now;
        }
        return;
    }
    const int32_t shown = std::max(next - 1, 0);
    const int32_t frames = std::max(seekStep / frameTime(), 1);
    const int32_t last = std::max(clip.frameCount - 1, 0);
    const int32_t target = std::clamp(key == Key::back ? shown - frames : shown + frames, 0, last);
    // Frames decoded on the way must not send their sound to the device.
    stopSound();
    clip.seekFrame(target, 0);
    next = target;
    showAtOnce = true;
    due = now;
    if (!isPaused) startSound();
}

int32_t ClipTransport::frameDue(uint32_t now) {
    if (!showAtOnce && (isPaused || static_cast<int32_t>(now - due) < 0)) return -1;
    if (next >= clip.frameCount) {
        // From the first frame again, with the sound from its start.
        stopSound();
        next = 0;
        clip.seekFrame(0, 0);
        startSound();
    }
    // The frame after the one decoded: nothing is decoded until it is read.
    clip.seekFrame(next, 0);
    if (showAtOnce) {
        showAtOnce = false;
        due = now;
    }
    due += static_cast<uint32_t>(frameTime());
    return next++;
}

int32_t ClipTransport::wait(uint32_t now) const {
    if (showAtOnce) return 0;
    if (isPaused) return std::numeric_limits<int32_t>::max();
    return std::max(static_cast<int32_t>(due - now), 0);
}
