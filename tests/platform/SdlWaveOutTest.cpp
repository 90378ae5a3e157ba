#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/platform/HiddenWindow.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Thread.h"
#include "engine/platform/WaveOut.h"
#include "engine/platform/sdl/SdlWaveOut.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/TempFile.h"

using platform::HiddenWindow;
using platform::Message;
using platform::MessageQueue;
using platform::WaveFormat;
using platform::WaveHeader;
using platform::WaveOut;
using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr const char* windowClass = "sdlWaveOutTest";

// What the callback window's procedure saw of one finished buffer.
struct Notice {
    uint32_t thread = 0;
    uint64_t device = 0;
    WaveHeader* header = nullptr;
    uint32_t flags = 0;
    SteadyClock::time_point at;
};

std::mutex noticesMutex;
std::vector<Notice> notices;

std::vector<Notice> noticesSoFar() {
    std::lock_guard lock(noticesMutex);
    return notices;
}

int64_t recordNotice(uint32_t, uint32_t message, uint64_t wParam, int64_t lParam) {
    if (message != platform::mmWomDone) return 0;
    auto* header = reinterpret_cast<WaveHeader*>(static_cast<uintptr_t>(lParam));
    std::lock_guard lock(noticesMutex);
    notices.push_back(
        {MessageQueue::currentThreadId(), wParam, header, header->flags, SteadyClock::now()});
    return 0;
}

// Dispatches the calling thread's messages until `count` notices have arrived or `limit` has
// passed.
void pumpUntil(size_t count, milliseconds limit = milliseconds(5000)) {
    auto end = SteadyClock::now() + limit;
    Message message;
    while (noticesSoFar().size() < count && SteadyClock::now() < end) {
        if (MessageQueue::wait(message, 20)) MessageQueue::dispatch(message);
    }
}

WaveFormat pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
    auto blockAlign = static_cast<uint16_t>(channels * bits / 8);
    return {platform::waveFormatPcm, channels, rate, rate * blockAlign, blockAlign, bits};
}

uint8_t silenceOf(const WaveFormat& format) {
    return format.bitsPerSample == 8 ? 0x80 : 0;
}

// A tone that never rests on the silence value, so that where it starts in the output is plain.
std::vector<uint8_t> tone(const WaveFormat& format, size_t frames) {
    std::vector<uint8_t> bytes(frames * format.blockAlign);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(0x81 + (i * 37) % 120);
    return bytes;
}

std::vector<uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool isSilence(std::span<const uint8_t> bytes, const WaveFormat& format) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [&](uint8_t b) { return b == silenceOf(format); });
}

// From the first frame that is not silence on.
std::span<const uint8_t> fromFirstSound(std::span<const uint8_t> bytes, const WaveFormat& format) {
    size_t at = 0;
    while (at + format.blockAlign <= bytes.size() &&
           isSilence(bytes.subspan(at, format.blockAlign), format))
        at += format.blockAlign;
    return bytes.subspan(at);
}

// How many bytes lie from the first frame that is not silence to the last.
size_t soundLength(std::span<const uint8_t> bytes, const WaveFormat& format) {
    auto sound = fromFirstSound(bytes, format);
    size_t end = sound.size();
    while (end >= format.blockAlign &&
           isSilence(sound.subspan(end - format.blockAlign, format.blockAlign), format))
        end -= format.blockAlign;
    return end;
}

// The disk driver writes silence for as long as the device runs with nothing queued: the
// output must be silence, then exactly what was played, then silence.
void expectPlayed(std::span<const uint8_t> output, std::span<const uint8_t> written,
                  const WaveFormat& format) {
    auto sound = fromFirstSound(output, format);
    auto wanted = fromFirstSound(written, format);
    ASSERT_FALSE(wanted.empty());
    EXPECT_GE(output.size() - sound.size(), written.size() - wanted.size());
    ASSERT_GE(sound.size(), wanted.size()) << "the output ends early";
    auto [differs, _] = std::mismatch(wanted.begin(), wanted.end(), sound.begin());
    EXPECT_EQ(differs, wanted.end())
        << "first difference at byte " << (differs - wanted.begin()) << " of " << wanted.size();
    EXPECT_TRUE(isSilence(sound.subspan(wanted.size()), format)) << "sound after the end";
}

// Buffers over consecutive pieces of `bytes`, of the given sizes in turn.
std::vector<WaveHeader> split(std::span<const uint8_t> bytes, std::vector<uint32_t> sizes) {
    std::vector<uint32_t> lengths;
    for (size_t at = 0, i = 0; at < bytes.size(); at += lengths.back(), ++i)
        lengths.push_back(
            static_cast<uint32_t>(std::min<size_t>(sizes[i % sizes.size()], bytes.size() - at)));
    // Headers hold an atomic and stay where they are made.
    std::vector<WaveHeader> headers(lengths.size());
    for (size_t i = 0, at = 0; i < lengths.size(); at += lengths[i], ++i) {
        headers[i].data = bytes.data() + at;
        headers[i].bufferLength = lengths[i];
    }
    return headers;
}

// SDL's disk driver as the system's sound device: what a stream plays goes to a file.
class SdlWaveOutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        {
            std::lock_guard lock(noticesMutex);
            notices.clear();
        }
        setenv("SDL_AUDIODRIVER", "disk", 1);
        WaveOut::select(platform::SdlWaveOut::create());
        ASSERT_EQ(WaveOut::numDevs(), 1u) << "SDL's disk audio driver did not start";
        ASSERT_TRUE(HiddenWindow::registerClass(windowClass, recordNotice));
    }

    void TearDown() override {
        WaveOut::select(nullptr);
        HiddenWindow::unregisterClass(windowClass);
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        std::error_code ignored;
        for (const auto& path : outputs)
            std::filesystem::remove(path, ignored);
    }

    // Opens a stream whose output goes to a fresh file, its index in `outputs`.
    uint32_t openToFile(const WaveFormat& format, uint32_t window) {
        outputs.push_back(testing_support::uniqueTempPath(".raw"));
        setenv("SDL_DISKAUDIOFILE", outputs.back().c_str(), 1);
        uint32_t handle = 0;
        EXPECT_EQ(WaveOut::open(platform::waveMapper, format, window, handle), platform::mmNoError);
        return handle;
    }

    static void queue(uint32_t handle, WaveHeader& header) {
        ASSERT_EQ(WaveOut::prepareHeader(handle, header), platform::mmNoError);
        ASSERT_EQ(WaveOut::write(handle, header), platform::mmNoError);
    }

    static void unprepareAndClose(uint32_t handle, std::span<WaveHeader> headers) {
        for (auto& header : headers)
            EXPECT_EQ(WaveOut::unprepareHeader(handle, header), platform::mmNoError);
        EXPECT_EQ(WaveOut::close(handle), platform::mmNoError);
    }

    // Runs `body` on a thread of its own that owns a callback window of the test's class and
    // dispatches its own messages; returns that thread's id.
    static uint32_t onOwner(const std::function<void(uint32_t window)>& body) {
        uint32_t owner = 0;
        platform::Thread thread;
        EXPECT_TRUE(thread.start([&] {
            owner = MessageQueue::currentThreadId();
            uint32_t window = HiddenWindow::create(windowClass);
            EXPECT_NE(window, 0u);
            body(window);
            EXPECT_TRUE(HiddenWindow::destroy(window));
        }));
        thread.join();
        return owner;
    }

    // Plays `bytes` in buffers of the given sizes on one stream, at `volume`, and returns what
    // the device wrote to its file.
    std::vector<uint8_t> play(const WaveFormat& format, std::span<const uint8_t> bytes,
                              std::vector<uint32_t> sizes, uint32_t volume = 0xFFFFFFFF) {
        auto headers = split(bytes, std::move(sizes));
        onOwner([&](uint32_t window) {
            uint32_t handle = openToFile(format, window);
            EXPECT_EQ(WaveOut::setVolume(handle, volume), platform::mmNoError);
            uint32_t readBack = 0;
            EXPECT_EQ(WaveOut::getVolume(handle, readBack), platform::mmNoError);
            EXPECT_EQ(readBack, volume);
            for (auto& header : headers)
                queue(handle, header);
            pumpUntil(headers.size());
            unprepareAndClose(handle, headers);
        });
        EXPECT_EQ(noticesSoFar().size(), headers.size());
        return readAll(outputs.back());
    }

    std::vector<std::string> outputs;
};

TEST_F(SdlWaveOutTest, DeclaresOneDeviceWithEveryFormatAndBothVolumes) {
    platform::WaveOutCaps caps;
    ASSERT_EQ(WaveOut::getDevCaps(platform::waveMapper, caps), platform::mmNoError);
    EXPECT_EQ(caps.formats, 0xFFFu);
    EXPECT_EQ(caps.support, platform::waveCapsVolume | platform::waveCapsLrVolume);
    EXPECT_EQ(caps.channels, 2u);
    EXPECT_NE(caps.name[0], '\0');
    EXPECT_EQ(caps.name.back(), '\0');
    ASSERT_EQ(WaveOut::getDevCaps(0, caps), platform::mmNoError);
    EXPECT_EQ(WaveOut::getDevCaps(1, caps), platform::mmBadDeviceId);
    uint32_t handle = 7;
    EXPECT_EQ(WaveOut::open(1, pcm(1, 11025, 8), 0, handle), platform::mmBadDeviceId);
    EXPECT_EQ(handle, 0u);
}

TEST(SdlWaveOutNoAudio, HasNoDeviceWhenSdlAudioCannotStart) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    WaveOut::select(platform::SdlWaveOut::create());
    EXPECT_EQ(WaveOut::numDevs(), 0u);
    platform::WaveOutCaps caps;
    EXPECT_EQ(WaveOut::getDevCaps(platform::waveMapper, caps), platform::mmBadDeviceId);
    uint32_t handle = 7;
    EXPECT_EQ(WaveOut::open(platform::waveMapper, pcm(1, 11025, 8), 0, handle),
              platform::mmBadDeviceId);
    EXPECT_EQ(handle, 0u);
    uint32_t volume = 0;
    EXPECT_NE(WaveOut::setVolume(0, 0x6000), platform::mmNoError);
    EXPECT_NE(WaveOut::getVolume(0, volume), platform::mmNoError);
    WaveOut::select(nullptr);
    unsetenv("SDL_AUDIODRIVER");
}

TEST_F(SdlWaveOutTest, BuffersFinishOnlyOncePlayedAndTellTheOwningThread) {
    // Two buffers of 0.2 s each; SDL takes about 23 ms of sound a call.
    auto format = pcm(1, 11025, 8);
    auto bytes = tone(format, 4410);
    auto headers = split(bytes, {2205});
    uint32_t handle = 0;
    SteadyClock::time_point written;
    std::vector<uint32_t> flagsAfterWrite;
    uint32_t owner = onOwner([&](uint32_t window) {
        handle = openToFile(format, window);
        for (auto& header : headers)
            queue(handle, header);
        written = SteadyClock::now();
        for (auto& header : headers)
            flagsAfterWrite.push_back(header.flags);
        pumpUntil(2);
        unprepareAndClose(handle, headers);
    });
    for (uint32_t flags : flagsAfterWrite)
        EXPECT_EQ(flags, platform::waveHeaderPrepared | platform::waveHeaderInQueue);
    auto seen = noticesSoFar();
    ASSERT_EQ(seen.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(seen[i].thread, owner);
        EXPECT_EQ(seen[i].device, handle);
        EXPECT_EQ(seen[i].header, &headers[i]);
        EXPECT_EQ(seen[i].flags, platform::waveHeaderPrepared | platform::waveHeaderDone);
    }
    EXPECT_NE(owner, MessageQueue::currentThreadId());
    // The device's clock: the first buffer is done after about 0.18 s of playing, the second
    // after about 0.39 s; allow for the call that was under way when they were written.
    EXPECT_GE(seen[0].at - written, milliseconds(150));
    EXPECT_GE(seen[1].at - written, milliseconds(340));
    expectPlayed(readAll(outputs.back()), bytes, format);
}

TEST_F(SdlWaveOutTest, TheDeviceOutputIsWhatWasWrittenForEachFormat) {
    // Buffers of odd sizes split 16-bit samples and stereo frames between them.
    for (auto format : {pcm(2, 22050, 16), pcm(2, 44100, 16), pcm(1, 8000, 8)}) {
        SCOPED_TRACE(testing::Message()
                     << format.samplesPerSec << " Hz, " << format.bitsPerSample << " bits");
        auto bytes = tone(format, format.samplesPerSec / 8);
        expectPlayed(play(format, bytes, {1001, 3, 4096, 2}), bytes, format);
        std::lock_guard lock(noticesMutex);
        notices.clear();
    }
}

TEST_F(SdlWaveOutTest, VolumeIsAGainOnTheSamplesAndReadsBackExactly) {
    auto format = pcm(2, 22050, 16);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 2205; ++i) {
        for (int value : {9000 - 16 * i, -12345 + 3 * i}) {
            bytes.push_back(static_cast<uint8_t>(value));
            bytes.push_back(static_cast<uint8_t>(value >> 8));
        }
    }
    // Left at half, right at full.
    auto output = play(format, bytes, {4096}, 0xFFFF8000);
    uint32_t volume = 0;
    ASSERT_EQ(WaveOut::getVolume(0, volume), platform::mmNoError);
    EXPECT_EQ(volume, 0xFFFF8000u);
    auto sound = fromFirstSound(output, format);
    ASSERT_GE(sound.size(), bytes.size());
    for (size_t at = 0; at < bytes.size(); at += 4) {
        auto left = static_cast<int16_t>(littleEndian::load16(&bytes[at]));
        auto right = static_cast<int16_t>(littleEndian::load16(&bytes[at + 2]));
        auto playedLeft = static_cast<int16_t>(littleEndian::load16(&sound[at]));
        auto playedRight = static_cast<int16_t>(littleEndian::load16(&sound[at + 2]));
        ASSERT_LE(std::abs(2 * playedLeft - left), 2) << "frame " << at / 4;
        ASSERT_EQ(playedRight, right) << "frame " << at / 4;
    }
    for (uint32_t set : {0x6000u, 0x1000FFFFu}) {
        ASSERT_EQ(WaveOut::setVolume(0, set), platform::mmNoError);
        ASSERT_EQ(WaveOut::getVolume(0, volume), platform::mmNoError);
        EXPECT_EQ(volume, set);
    }
    EXPECT_EQ(WaveOut::setVolume(99, 0), platform::mmInvalidHandle);
    EXPECT_EQ(WaveOut::getVolume(99, volume), platform::mmInvalidHandle);
}

TEST_F(SdlWaveOutTest, PauseHoldsTheQueueUntilRestart) {
    auto format = pcm(1, 11025, 8);
    auto bytes = tone(format, 1102);
    WaveHeader header{bytes.data(), static_cast<uint32_t>(bytes.size())};
    SteadyClock::time_point restarted;
    size_t noticesWhilePaused = 0;
    onOwner([&](uint32_t window) {
        uint32_t handle = openToFile(format, window);
        ASSERT_EQ(WaveOut::pause(handle), platform::mmNoError);
        queue(handle, header);
        pumpUntil(1, milliseconds(400));
        noticesWhilePaused = noticesSoFar().size();
        EXPECT_EQ(header.flags & platform::waveHeaderDone, 0u);
        restarted = SteadyClock::now();
        ASSERT_EQ(WaveOut::restart(handle), platform::mmNoError);
        pumpUntil(1);
        unprepareAndClose(handle, {&header, 1});
    });
    EXPECT_EQ(noticesWhilePaused, 0u);
    auto seen = noticesSoFar();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_GE(seen[0].at - restarted, milliseconds(60));
    expectPlayed(readAll(outputs.back()), bytes, format);
}

TEST_F(SdlWaveOutTest, ResetReturnsEveryBufferInOrderAndCloseWaitsForIt) {
    auto format = pcm(2, 44100, 16);
    auto bytes = tone(format, 44100);
    auto headers = split(bytes, {44100});
    ASSERT_EQ(headers.size(), 4u);
    onOwner([&](uint32_t window) {
        uint32_t handle = openToFile(format, window);
        EXPECT_EQ(WaveOut::write(handle, headers[0]), platform::waveUnprepared);
        for (auto& header : headers)
            queue(handle, header);
        EXPECT_EQ(WaveOut::write(handle, headers[0]), platform::waveStillPlaying);
        EXPECT_EQ(WaveOut::unprepareHeader(handle, headers[0]), platform::waveStillPlaying);
        EXPECT_EQ(WaveOut::close(handle), platform::waveStillPlaying);
        ASSERT_EQ(WaveOut::reset(handle), platform::mmNoError);
        for (auto& header : headers)
            EXPECT_EQ(header.flags, platform::waveHeaderPrepared | platform::waveHeaderDone);
        pumpUntil(headers.size(), milliseconds(1000));
        unprepareAndClose(handle, headers);
        EXPECT_EQ(WaveOut::write(handle, headers[0]), platform::mmInvalidHandle);
        EXPECT_EQ(WaveOut::close(handle), platform::mmInvalidHandle);
    });
    auto seen = noticesSoFar();
    ASSERT_EQ(seen.size(), headers.size());
    for (size_t i = 0; i < headers.size(); ++i)
        EXPECT_EQ(seen[i].header, &headers[i]);
    // Stopped at once: far less than the second's worth queued reached the device.
    EXPECT_LT(soundLength(readAll(outputs.back()), format), bytes.size() / 4);
}

TEST_F(SdlWaveOutTest, OpenRefusesWhatIsNotPlainPcm) {
    auto adpcm = pcm(1, 11025, 4);
    adpcm.formatTag = 2;
    for (auto format : {adpcm, pcm(0, 11025, 8), pcm(3, 11025, 8), pcm(1, 11025, 12),
                        pcm(2, 22050, 24), pcm(1, 0, 16), pcm(1, 0x80000000, 16)}) {
        uint32_t handle = 7;
        EXPECT_EQ(WaveOut::open(0, format, 0, handle), platform::waveBadFormat)
            << format.formatTag << " " << format.channels << " " << format.samplesPerSec << " "
            << format.bitsPerSample;
        EXPECT_EQ(handle, 0u);
    }
}

// A WAVE file's format record and sound data, found by walking its chunks.
struct WaveFile {
    WaveFormat format;
    std::vector<uint8_t> data;
};

std::optional<WaveFile> readWave(const std::filesystem::path& path) {
    auto file = readAll(path);
    if (file.size() < 12 || !std::equal(file.begin(), file.begin() + 4, "RIFF") ||
        !std::equal(file.begin() + 8, file.begin() + 12, "WAVE"))
        return std::nullopt;
    WaveFile wave;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= file.size();) {
        const uint8_t* chunk = &file[at];
        size_t size = std::min<size_t>(littleEndian::load32(chunk + 4), file.size() - at - 8);
        if (std::equal(chunk, chunk + 4, "fmt ") && size >= 16) {
            wave.format = {littleEndian::load16(chunk + 8),  littleEndian::load16(chunk + 10),
                           littleEndian::load32(chunk + 12), littleEndian::load32(chunk + 16),
                           littleEndian::load16(chunk + 20), littleEndian::load16(chunk + 22)};
            haveFormat = true;
        } else if (std::equal(chunk, chunk + 4, "data")) {
            wave.data.assign(chunk + 8, chunk + 8 + size);
            return haveFormat ? std::optional(wave) : std::nullopt;
        }
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

TEST_F(SdlWaveOutTest, EveryTestWaveFilePlaysAsFfmpegDecodesIt) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    // Every file at once, each on a stream of its own, in the engine's blocks of 16384 bytes.
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(LUMIVALE_TESTDATA "/wav"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    std::vector<WaveFile> waves;
    for (const auto& file : files) {
        auto wave = readWave(file);
        ASSERT_TRUE(wave) << file;
        waves.push_back(std::move(*wave));
    }
    std::vector<std::vector<WaveHeader>> headers;
    size_t buffers = 0;
    for (const auto& wave : waves) {
        headers.push_back(split(wave.data, {16384}));
        buffers += headers.back().size();
    }
    onOwner([&](uint32_t window) {
        std::vector<uint32_t> handles;
        for (const auto& wave : waves)
            handles.push_back(openToFile(wave.format, window));
        for (size_t i = 0; i < waves.size(); ++i) {
            for (auto& header : headers[i])
                queue(handles[i], header);
        }
        pumpUntil(buffers);
        for (size_t i = 0; i < waves.size(); ++i)
            unprepareAndClose(handles[i], headers[i]);
    });
    EXPECT_EQ(noticesSoFar().size(), buffers);
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].filename().string());
        std::string failure;
        auto decoded = testing_support::ffmpegDecodeAudio(
            files[i], waves[i].format.bitsPerSample == 8 ? "u8" : "s16le", &failure);
        ASSERT_TRUE(decoded) << failure;
        expectPlayed(readAll(outputs[i]), *decoded, waves[i].format);
    }
}

}  // namespace
