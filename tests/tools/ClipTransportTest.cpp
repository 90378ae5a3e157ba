// The clip player's timing: frames at the clip's rate, from the start again after the last,
// pause, and seeks by a second that show their frame at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/AviClip.h"
#include "tests/support/TempFile.h"
#include "tools/avigen/AviWriter.h"
#include "tools/lumivale-play/ClipTransport.h"

using Key = ClipTransport::Key;

namespace {

constexpr int frames = 30;
constexpr uint32_t frameTime = 50;  // so a second is 20 frames

// A silent clip whose frame k is painted all in colour k, with a key frame every 10 frames.
std::vector<uint8_t> numberedClip() {
    avigen::ClipOptions options;
    options.microsecondsPerFrame = frameTime * 1000;
    avigen::AviWriter writer(8, 4, options);
    avigen::VideoStream video;
    video.codec = avigen::Codec::Rle8;
    video.keyInterval = 10;
    const int stream = writer.addVideoStream(video);
    avigen::Palette palette{};
    for (int k = 0; k < frames; ++k) {
        writer.addFrame(stream, std::vector<uint8_t>(32, static_cast<uint8_t>(k)), palette);
    }
    return writer.build();
}

class ClipTransportTest : public testing::Test {
  protected:
    // Reads the frame the transport chose and says which one the picture shows.
    int32_t shown(int32_t due) {
        EXPECT_GE(due, 0);
        if (due < 0) return -1;
        EXPECT_EQ(clip.read(), due);
        return clip.target.info->topRow[0];
    }

    void SetUp() override { clip.avi.setAutoAdvance(0); }

    testing_support::TempFile file{numberedClip(), ".avi"};
    testing_support::AviClip clip{file.path()};
    ClipTransport transport{clip.avi, 1000};
};

TEST_F(ClipTransportTest, FramesFollowAtTheClipsRateAndStartAgainAfterTheLast) {
    ASSERT_TRUE(clip.isOpen());
    uint32_t now = 1000;
    EXPECT_EQ(shown(transport.frameDue(now)), 0);
    EXPECT_EQ(transport.frameDue(now + 49), -1);
    EXPECT_EQ(transport.wait(now + 20), 30);
    for (int k = 1; k < frames; ++k) {
        now += frameTime;
        EXPECT_EQ(shown(transport.frameDue(now)), k);
    }
    now += frameTime;
    EXPECT_EQ(shown(transport.frameDue(now)), 0);
    // A late frame does not push the ones after it back.
    now += frameTime + 30;
    EXPECT_EQ(shown(transport.frameDue(now)), 1);
    EXPECT_EQ(transport.wait(now), 20);
}

TEST_F(ClipTransportTest, PauseHoldsTheFrameUntilResumed) {
    ASSERT_TRUE(clip.isOpen());
    EXPECT_EQ(shown(transport.frameDue(1000)), 0);
    transport.press(Key::pause, 1010);
    EXPECT_TRUE(transport.paused());
    EXPECT_EQ(transport.frameDue(5000), -1);
    EXPECT_GT(transport.wait(5000), 1000000);
    transport.press(Key::pause, 5000);
    EXPECT_FALSE(transport.paused());
    EXPECT_EQ(shown(transport.frameDue(5000)), 1);
    EXPECT_EQ(transport.frameDue(5049), -1);
    EXPECT_EQ(shown(transport.frameDue(5050)), 2);
}

TEST_F(ClipTransportTest, SeeksGoASecondEitherWayWithinTheClip) {
    ASSERT_TRUE(clip.isOpen());
    uint32_t now = 1000;
    for (int k = 0; k < 3; ++k, now += frameTime)
        EXPECT_EQ(shown(transport.frameDue(now)), k);
    transport.press(Key::forward, now);
    EXPECT_EQ(transport.wait(now), 0);
    EXPECT_EQ(shown(transport.frameDue(now)), 22);
    transport.press(Key::forward, now);
    EXPECT_EQ(shown(transport.frameDue(now)), frames - 1);
    transport.press(Key::back, now);
    EXPECT_EQ(shown(transport.frameDue(now)), 9);
    transport.press(Key::back, now);
    EXPECT_EQ(shown(transport.frameDue(now)), 0);
    EXPECT_EQ(transport.frameDue(now + frameTime - 1), -1);
    EXPECT_EQ(shown(transport.frameDue(now + frameTime)), 1);
}

TEST_F(ClipTransportTest, ASeekWhilePausedShowsItsFrameAndStaysPaused) {
    ASSERT_TRUE(clip.isOpen());
    EXPECT_EQ(shown(transport.frameDue(1000)), 0);
    transport.press(Key::pause, 1000);
    transport.press(Key::forward, 2000);
    EXPECT_EQ(shown(transport.frameDue(2000)), 20);
    EXPECT_EQ(transport.frameDue(9000), -1);
    EXPECT_TRUE(transport.paused());
}

}  // namespace
