// Sound playback over one input: control bytes choose memory or file reading, the raw record
// size, the ring's blocks and the unit, then a script of play, pause, stop, seek, volume and
// close calls interleaved with the device finishing buffers; the rest is the sound file. Every
// buffer handed to the device must hold the file's bytes, read on from the buffer before or
// from where the pass starts, and never from outside the sound's data; the ring, the device's
// queue and the playing state stay consistent.
#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "engine/media/mAudioWAV.h"
#include "engine/platform/HiddenWindow.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Module.h"
#include "engine/platform/NullWaveOut.h"
#include "engine/platform/WaveOut.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

using fuzz::check;

constexpr int32_t largestScript = 40;

// Checks every buffer as it is written against the file the sound plays.
class CheckingDevice : public platform::NullWaveOut {
  public:
    uint32_t write(uint32_t handle, platform::WaveHeader& header) override {
        if (sound) inspect(header);
        return NullWaveOut::write(handle, header);
    }

    // `rawStart` is where a raw sound's data begins: after the record it was opened with.
    void watch(const mAudioWAV* playing, std::span<const uint8_t> bytes, int64_t rawStart) {
        sound = playing;
        file = bytes;
        rawDataStart = std::min<int64_t>(rawStart, static_cast<int64_t>(bytes.size()));
        newPlayback();
    }

    // The next buffer starts a pass.
    void newPlayback() {
        next = 0;
        queuedOfPass = 0;
    }

    // File offset of the sound's first byte.
    int64_t soundStart() const {
        return sound->dataChunkOffset != 0 ? sound->dataChunkOffset : rawDataStart;
    }

  private:
    // The sound's bytes lie after the "fmt " record or the raw one, up to the data's end.
    void inspect(const platform::WaveHeader& header) {
        int64_t start = soundStart();
        int64_t end = static_cast<int64_t>(file.size());
        if (sound->dataChunkOffset != 0) end = std::min<int64_t>(end, start + sound->dataBytes);
        int64_t passStart = start + sound->startPosition;
        const int64_t length = header.bufferLength;
        auto matches = [&](int64_t at) {
            return at >= start && at + length <= end &&
                   std::equal(header.data, header.data + length, file.begin() + at);
        };
        // A pass reads on from where the buffer before ended; once it has queued all of its
        // bytes the next one starts again.
        if (queuedOfPass == 0 || queuedOfPass >= sound->bytesToPlay) {
            next = passStart;
            queuedOfPass = 0;
        }
        check(matches(next), "a buffer holds bytes that are not the sound's next ones");
        next += length;
        queuedOfPass += length;
    }

    const mAudioWAV* sound = nullptr;
    std::span<const uint8_t> file;
    int64_t rawDataStart = 0;
    int64_t next = 0;
    int64_t queuedOfPass = 0;
};

void dispatchAll() {
    platform::Message message;
    while (platform::MessageQueue::peek(message))
        platform::MessageQueue::dispatch(message);
}

// How the sound is read and played, from the control bytes after the script.
struct Setup {
    uint8_t mode = 0;  // bit 0: from a file; 1: small file buffers; 2: a ring of its own size
    int32_t formatSize = 0;
    int32_t units = 0;
    uint32_t blockSize = 0;
    int32_t blockCount = 0;

    explicit Setup(fuzz::ControlBytes& control)
        : mode(control.next()), formatSize(control.next() % 48), units(control.next() % 3) {
        if (mode & 4) {
            blockSize = control.next() * 4u;
            blockCount = control.next() % 5;
        }
    }
};

class WaveRun {
  public:
    WaveRun(const Setup& setup, std::span<const uint8_t> bytes,
            std::shared_ptr<CheckingDevice> checker)
        : file(bytes.begin(), bytes.end()),
          fileSize(static_cast<int64_t>(bytes.size())),
          device(std::move(checker)) {
        if ((setup.mode & 1) == 0) {
            file.push_back(0);
            sound.openMemory(file.data(), static_cast<int32_t>(bytes.size()));
        } else {
            disk.emplace(bytes);
            // The RIFF calls need 12 bytes in one piece.
            if (setup.mode & 2)
                sound.setBufferSizes(16 + 4 * (setup.mode >> 4), 12 + 4 * ((setup.mode >> 2) % 4));
            sound.mFile::open(disk->path(), 0);
        }
        sound.setUnits(setup.units);
        if (setup.mode & 4) sound.setBufferSize(setup.blockSize, setup.blockCount);
        // The sound is opened once; a later play opens it again only after a failure or a
        // close, which a raw sound does not have.
        sound.open(setup.formatSize);
        device->watch(&sound, bytes,
                      setup.formatSize == 0 ? mAudioWAV::rawRecordSize : setup.formatSize);
    }
    ~WaveRun() { device->watch(nullptr, {}, 0); }
    WaveRun(const WaveRun&) = delete;
    WaveRun& operator=(const WaveRun&) = delete;

    void step(uint8_t kind, uint8_t value) {
        switch (kind % 9) {
            case 0:
                play(value % 4 == 0 ? 0 : value * 37, static_cast<int8_t>(kind) >> 4);
                break;
            case 1:
                sound.pause();
                break;
            case 2:
                expected.reset();
                sound.stop();
                break;
            case 3:
                sound.seek(static_cast<int8_t>(value) * 50, kind / 9 % 4);
                break;
            case 4:
                sound.setVolume(value * 257, kind * 257);
                break;
            case 5:
            case 6:
                for (int32_t n = 0; n <= value % 8; ++n) {
                    if (!device->finishNext(sound.waveOut)) break;
                    dispatchAll();
                }
                checkFinished();
                break;
            case 7:
                // Closing a paused sound stops it first.
                if (sound.paused) expected.reset();
                sound.closeFile();
                break;
            default:
                sound.setCurrent(value);
                break;
        }
        checkState();
    }

  private:
    // A playback of n passes that ends by itself has handed the device the pass's bytes n
    // times, in order.
    struct Expectation {
        uint32_t handle = 0;
        std::vector<uint8_t> bytes;
    };

    void play(int32_t length, int32_t loops) {
        bool fresh = !sound.playing;
        if (!fresh) {
            sound.play(length, loops);
            return;
        }
        device->newPlayback();
        if (!sound.play(length, loops)) return;
        expected.reset();
        if (loops <= 0) return;
        int64_t from = device->soundStart() + sound.startPosition;
        check(from + sound.bytesToPlay <= fileSize || sound.bytesToPlay == 0,
              "a pass reaches past the end of the file");
        if (from + sound.bytesToPlay > fileSize) return;
        Expectation expectation{sound.waveOut, {}};
        for (int32_t pass = 0; pass < loops; ++pass)
            expectation.bytes.insert(expectation.bytes.end(), file.begin() + from,
                                     file.begin() + from + sound.bytesToPlay);
        expected = std::move(expectation);
    }

    void checkFinished() {
        if (!expected || sound.playing) return;
        check(device->written(expected->handle) == expected->bytes,
              "a finished playback did not hand the device every pass");
        expected.reset();
    }

    void checkState() {
        check(sound.formatRecordSize() <= mAudioWAV::largestFormat, "format record not capped");
        if (!sound.playing) {
            check(sound.waveOut == 0 && sound.callbackWindow == 0 && sound.paused == 0,
                  "an idle sound holds a device or a window");
        } else {
            check(sound.waveOut != 0 && sound.callbackWindow != 0, "playing without a device");
            check(device->queuedCount(sound.waveOut) <=
                      static_cast<uint32_t>(std::max(sound.blockCount, 1)),
                  "more buffers queued than the ring has");
            check(sound.paused == (device->isPaused(sound.waveOut) ? 1 : 0),
                  "paused state differs from the device's");
        }
    }

    std::vector<uint8_t> file;  // in memory with one spare byte behind it
    int64_t fileSize = 0;
    std::optional<fuzz::MemoryFile> disk;
    std::shared_ptr<CheckingDevice> device;
    std::optional<Expectation> expected;

  public:
    mAudioWAV sound;
};

}  // namespace

int fuzzWave(const uint8_t* data, std::size_t size) {
    static const platform::Module module;
    static const auto device = [] {
        auto checking = std::make_shared<CheckingDevice>();
        platform::WaveOutCaps caps;
        caps.formats = 0xFFF;
        caps.support = platform::waveCapsVolume | platform::waveCapsLrVolume;
        checking->setCaps(caps);
        return checking;
    }();
    mObject::instance = &module;
    platform::WaveOut::select(device);

    fuzz::ControlBytes control(data, size);
    const auto script = control.script(largestScript);
    const Setup setup(control);
    platform::ReportSink::Capture capture;
    uint32_t handle = 0;
    {
        WaveRun run(setup, control.rest(), device);
        for (auto [kind, value] : script) {
            run.step(kind, value);
            if (run.sound.waveOut != 0) handle = run.sound.waveOut;
        }
    }
    check(handle == 0 || device->queuedCount(handle) == 0,
          "buffers left on the device after the sound went");
    check(!platform::HiddenWindow::unregisterClass(mAudioWAV::windowClass),
          "the sound's window class outlived it");
    dispatchAll();
    fuzz::checkReports(capture, {{"mAudioWAV", "Out of memory"}}, script.size() + 1);
    return 0;
}
