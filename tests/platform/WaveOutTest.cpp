#include <gtest/gtest.h>

#include <array>
#include <future>
#include <memory>
#include <vector>

#include "engine/platform/HiddenWindow.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/NullWaveOut.h"
#include "engine/platform/Thread.h"
#include "engine/platform/WaveOut.h"

using platform::HiddenWindow;
using platform::Message;
using platform::MessageQueue;
using platform::NullWaveOut;
using platform::WaveHeader;
using platform::WaveOut;

namespace {

// What the callback procedure saw; written on the owning thread, read after it has joined.
struct DoneRecord {
    uint32_t thread = 0;
    uint32_t window = 0;
    uint64_t device = 0;
    WaveHeader* header = nullptr;
};
std::vector<DoneRecord> doneSeen;

int64_t recordDone(uint32_t window, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message != platform::mmWomDone) return 0;
    doneSeen.push_back({MessageQueue::currentThreadId(), window, wParam,
                        reinterpret_cast<WaveHeader*>(static_cast<uintptr_t>(lParam))});
    return 0;
}

platform::WaveFormat monoPcm8() {
    return {platform::waveFormatPcm, 1, 11025, 11025, 1, 8};
}

// Selects a fresh null device for one test and no device afterwards.
class WaveOutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doneSeen.clear();
        WaveOut::select(device);
    }
    void TearDown() override { WaveOut::select(nullptr); }

    // Opens a stream reporting to a window of a fresh class on this thread.
    uint32_t openStream() {
        EXPECT_TRUE(HiddenWindow::registerClass(className, recordDone));
        window = HiddenWindow::create(className);
        EXPECT_NE(window, 0u);
        uint32_t handle = 0;
        EXPECT_EQ(WaveOut::open(platform::waveMapper, monoPcm8(), window, handle),
                  platform::mmNoError);
        return handle;
    }

    void queue(uint32_t handle, WaveHeader& header) {
        ASSERT_EQ(WaveOut::prepareHeader(handle, header), platform::mmNoError);
        ASSERT_EQ(WaveOut::write(handle, header), platform::mmNoError);
    }

    void dispatchAll() {
        Message message;
        while (MessageQueue::peek(message))
            MessageQueue::dispatch(message);
    }

    void closeStream(uint32_t handle) {
        EXPECT_EQ(WaveOut::close(handle), platform::mmNoError);
        EXPECT_TRUE(HiddenWindow::destroy(window));
        EXPECT_TRUE(HiddenWindow::unregisterClass(className));
    }

    std::shared_ptr<NullWaveOut> device = std::make_shared<NullWaveOut>();
    const char* className = "waveOutTest";
    uint32_t window = 0;
};

TEST_F(WaveOutTest, FinishedBuffersReachTheWindowOnTheOwningThreadInOrder) {
    std::array<uint8_t, 3> first{1, 2, 3};
    std::array<uint8_t, 2> second{4, 5};
    WaveHeader headers[2] = {{first.data(), 3}, {second.data(), 2}};
    std::promise<uint32_t> opened;
    uint32_t ownerThread = 0;
    uint32_t ownerWindow = 0;
    platform::Thread owner;
    ASSERT_TRUE(HiddenWindow::registerClass("mAudio", recordDone));
    ASSERT_TRUE(owner.start([&] {
        ownerThread = MessageQueue::currentThreadId();
        ownerWindow = HiddenWindow::create("mAudio");
        uint32_t handle = 0;
        WaveOut::open(0, monoPcm8(), ownerWindow, handle);
        for (auto& header : headers)
            queue(handle, header);
        opened.set_value(handle);
        Message message;
        while (doneSeen.size() < 2 && MessageQueue::wait(message, 2000)) {
            MessageQueue::dispatch(message);
        }
        for (auto& header : headers)
            WaveOut::unprepareHeader(handle, header);
        EXPECT_EQ(WaveOut::close(handle), platform::mmNoError);
        EXPECT_TRUE(HiddenWindow::destroy(ownerWindow));
    }));
    uint32_t handle = opened.get_future().get();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(device->queuedCount(handle), 2u);
    EXPECT_EQ(headers[0].flags & platform::waveHeaderDone, 0u);
    EXPECT_EQ(device->written(handle), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(device->finishAll(handle), 2u);
    owner.join();
    EXPECT_TRUE(HiddenWindow::unregisterClass("mAudio"));

    ASSERT_EQ(doneSeen.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(doneSeen[i].thread, ownerThread);
        EXPECT_NE(doneSeen[i].thread, MessageQueue::currentThreadId());
        EXPECT_EQ(doneSeen[i].window, ownerWindow);
        EXPECT_EQ(doneSeen[i].device, handle);
        EXPECT_EQ(doneSeen[i].header, &headers[i]);
        EXPECT_EQ(headers[i].flags, platform::waveHeaderDone);
    }
    // The record outlives the closed handle.
    EXPECT_EQ(device->written(handle).size(), 5u);
}

TEST_F(WaveOutTest, HeadersFollowTheDeviceRules) {
    uint32_t handle = openStream();
    std::array<uint8_t, 4> data{9, 8, 7, 6};
    WaveHeader header{data.data(), 4};
    EXPECT_EQ(WaveOut::write(handle, header), platform::waveUnprepared);
    queue(handle, header);
    EXPECT_EQ(header.flags, platform::waveHeaderPrepared | platform::waveHeaderInQueue);
    EXPECT_EQ(WaveOut::write(handle, header), platform::waveStillPlaying);
    EXPECT_EQ(WaveOut::unprepareHeader(handle, header), platform::waveStillPlaying);
    EXPECT_EQ(WaveOut::close(handle), platform::waveStillPlaying);
    EXPECT_TRUE(device->finishNext(handle));
    EXPECT_FALSE(device->finishNext(handle));
    EXPECT_EQ(header.flags, platform::waveHeaderPrepared | platform::waveHeaderDone);
    EXPECT_EQ(WaveOut::unprepareHeader(handle, header), platform::mmNoError);
    EXPECT_EQ(header.flags, platform::waveHeaderDone);
    dispatchAll();
    EXPECT_EQ(doneSeen.size(), 1u);
    closeStream(handle);
    EXPECT_EQ(WaveOut::prepareHeader(handle, header), platform::mmInvalidHandle);
    EXPECT_EQ(device->written(handle), (std::vector<uint8_t>{9, 8, 7, 6}));
}

TEST_F(WaveOutTest, PauseHoldsBuffersAndResetReturnsThemAll) {
    uint32_t handle = openStream();
    std::array<uint8_t, 1> data{0x80};
    WaveHeader headers[3] = {{data.data(), 1}, {data.data(), 1}, {data.data(), 1}};
    for (auto& header : headers)
        queue(handle, header);
    EXPECT_EQ(WaveOut::pause(handle), platform::mmNoError);
    EXPECT_TRUE(device->isPaused(handle));
    EXPECT_FALSE(device->finishNext(handle));
    EXPECT_EQ(WaveOut::restart(handle), platform::mmNoError);
    EXPECT_FALSE(device->isPaused(handle));
    EXPECT_TRUE(device->finishNext(handle));
    EXPECT_EQ(device->queuedCount(handle), 2u);
    EXPECT_EQ(WaveOut::reset(handle), platform::mmNoError);
    EXPECT_EQ(device->queuedCount(handle), 0u);
    dispatchAll();
    ASSERT_EQ(doneSeen.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(doneSeen[i].header, &headers[i]);
        EXPECT_NE(headers[i].flags & platform::waveHeaderDone, 0u);
        EXPECT_EQ(headers[i].flags & platform::waveHeaderInQueue, 0u);
    }
    closeStream(handle);
}

TEST_F(WaveOutTest, VolumeReadsBackExactlyWhatWasSet) {
    platform::WaveOutCaps caps;
    EXPECT_EQ(WaveOut::numDevs(), 1u);
    ASSERT_EQ(WaveOut::getDevCaps(platform::waveMapper, caps), platform::mmNoError);
    EXPECT_EQ(caps.support & platform::waveCapsVolume, platform::waveCapsVolume);
    EXPECT_EQ(WaveOut::getDevCaps(3, caps), platform::mmBadDeviceId);
    platform::WaveOutCaps plain;
    plain.formats = platform::waveFormat1M08;
    device->setCaps(plain);
    ASSERT_EQ(WaveOut::getDevCaps(0, caps), platform::mmNoError);
    EXPECT_EQ(caps.formats, platform::waveFormat1M08);
    EXPECT_EQ(caps.support, 0u);
    uint32_t volume = 0;
    for (uint32_t set : {0x6000u, 0xFFFF1000u}) {
        ASSERT_EQ(WaveOut::setVolume(0, set), platform::mmNoError);
        ASSERT_EQ(WaveOut::getVolume(0, volume), platform::mmNoError);
        EXPECT_EQ(volume, set);
    }
    EXPECT_EQ(WaveOut::setVolume(77, 1), platform::mmInvalidHandle);
    EXPECT_EQ(WaveOut::getVolume(0, volume), platform::mmNoError);
    EXPECT_EQ(volume, 0xFFFF1000u);
}

TEST_F(WaveOutTest, OpenRefusesWhatIsNotPlainPcm) {
    uint32_t handle = 5;
    auto format = monoPcm8();
    format.bitsPerSample = 12;
    EXPECT_EQ(WaveOut::open(0, format, 0, handle), platform::waveBadFormat);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(WaveOut::open(1, monoPcm8(), 0, handle), platform::mmBadDeviceId);
}

TEST(WaveOutNoDevice, HasNoDevicesAndOpensNothing) {
    WaveOut::select(nullptr);
    EXPECT_EQ(WaveOut::numDevs(), 0u);
    platform::WaveOutCaps caps;
    EXPECT_NE(WaveOut::getDevCaps(platform::waveMapper, caps), platform::mmNoError);
    uint32_t handle = 5;
    EXPECT_NE(WaveOut::open(platform::waveMapper, monoPcm8(), 0, handle), platform::mmNoError);
    EXPECT_EQ(handle, 0u);
    uint32_t volume = 0;
    EXPECT_NE(WaveOut::getVolume(0, volume), platform::mmNoError);
    EXPECT_NE(WaveOut::setVolume(0, 0x6000), platform::mmNoError);
}

}  // namespace
