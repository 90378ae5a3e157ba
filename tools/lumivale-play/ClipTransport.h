#pragma once
#include <cstdint>

class mImageAVI;

// When each frame of a clip shows, with pause and seeking: the frames follow one another at the
// clip's frame time, the last one is followed by the first, and the clip's sound is started,
// paused and restarted with the picture. Times are milliseconds of one monotonic clock.
class ClipTransport {
  public:
    enum class Key { pause, back, forward };
    // How far Left and Right move.
    static constexpr int32_t seekStep = 1000;

    // Frame 0 is due at `now`, with the sound from its start.
    ClipTransport(mImageAVI& clip, uint32_t now);

    // Space pauses or resumes; Left and Right go back or on by a second, clamped to the clip,
    // and show that frame at once, paused or not.
    void press(Key key, uint32_t now);
    // The frame to show now, with the clip positioned to read it, or -1 while the one on show
    // stays.
    int32_t frameDue(uint32_t now);
    // Milliseconds until frameDue has a frame; a paused clip waits for a key.
    int32_t wait(uint32_t now) const;

    bool paused() const { return isPaused; }

  private:
    int32_t frameTime() const;
    void startSound();
    void stopSound();

    mImageAVI& clip;
    int32_t next = 0;  // the frame shown next
    uint32_t due;      // when it shows
    bool isPaused = false;
    bool showAtOnce = true;
};
