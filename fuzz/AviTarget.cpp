// The AVI reader over one input: control bytes choose how the file is read (memory, a file with
// the default buffers, a file with small buffers), the destination and its clip, transparency
// and remapping, whether the sound plays on the null device, and a script of frame seeks,
// reads, switches, device finishes and stream choices; the rest is the clip. After every call
// the reader's state is in range, the destination changed only where the frame shows inside
// the clip, and no more buffers are queued than the sound's ring has.
#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageAVI.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Module.h"
#include "engine/platform/NullWaveOut.h"
#include "engine/platform/WaveOut.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/ReaderSetup.h"

namespace {

using fuzz::check;

constexpr uint8_t untouched = 0xEE;
// Bigger frames only make each run slower: the decoders address them the same way.
constexpr int64_t largestFrame = 1 << 14;
constexpr int32_t largestScript = 32;

// Bit 5 of the flags plays the sound; a list header has to lie in one piece: 12 bytes.
struct Setup : fuzz::ReaderSetup {
    explicit Setup(fuzz::ControlBytes& control)
        : ReaderSetup(control, 12),
          remap((flags & 4) != 0),
          transparentColour((flags & 8) != 0),
          autoAdvance((flags & 16) != 0),
          sound((flags & 32) != 0) {}

    bool remap;
    bool transparentColour;
    bool autoAdvance;
    bool sound;
};

using fuzz::pixel;

void dispatchAll() {
    platform::Message message;
    while (platform::MessageQueue::peek(message))
        platform::MessageQueue::dispatch(message);
}

// The size of the first "avih" record, or 0 when none is found near the start.
int64_t headerFrameSize(std::span<const uint8_t> file) {
    constexpr std::string_view tag = "avih";
    for (std::size_t at = 0; at + 8 + 40 <= std::min<std::size_t>(file.size(), 512); ++at) {
        if (!std::equal(tag.begin(), tag.end(), file.begin() + static_cast<std::ptrdiff_t>(at)))
            continue;
        // The reader refuses sides past its limit before it makes anything.
        int64_t width = std::min<int64_t>(littleEndian::load32(file.data() + at + 8 + 32),
                                          mImageAVI::largestSide + 1);
        int64_t height = std::min<int64_t>(littleEndian::load32(file.data() + at + 8 + 36),
                                           mImageAVI::largestSide + 1);
        return width * height;
    }
    return 0;
}

class AviRun {
  public:
    AviRun(const Setup& chosen, std::span<const uint8_t> file,
           std::shared_ptr<platform::NullWaveOut> nullDevice)
        : setup(chosen),
          target(chosen.targetWidth, chosen.targetHeight, 8),
          device(std::move(nullDevice)) {
        setup.fillTarget(target, untouched);
        setup.openInput(avi, file, bytes, disk);
    }
    ~AviRun() { avi.attachBitmap(nullptr); }
    AviRun(const AviRun&) = delete;
    AviRun& operator=(const AviRun&) = delete;

    void open() {
        if (setup.remap) avi.setRemap(1);
        opened = avi.openImage() == 1;
        if (!opened) {
            check(avi.format == 0, "a failed open left the reader open");
            return;
        }
        check(
            avi.frameBitmap.info->width == avi.width && avi.frameBitmap.info->height == avi.height,
            "the frame bitmap is not the clip's size");
        avi.attachBitmap(&target);
        if (setup.transparentColour) avi.setTransparentColour(setup.colour);
        if (setup.remap) avi.updateRemap();
        if (setup.autoAdvance) avi.setAutoAdvance(1);
        if (setup.sound) avi.play(0, 1);
        expectInRange(0, false);
    }

    void step(uint8_t kind, uint8_t value) {
        switch (kind % 8) {
            case 0:
            case 1:
            case 2:
                expectInRange(avi.seekFrame(static_cast<int8_t>(value), kind % 8), false);
                break;
            case 3:
            case 4:
                readFrame((value % 16) * 4 - 16, (value / 16) * 4 - 16);
                break;
            case 5:
                if (value & 1)
                    avi.setTransparentColour(value);
                else
                    avi.setAutoAdvance(value & 2);
                break;
            case 6:
                for (int32_t n = 0; n <= value % 4; ++n) {
                    if (!device->finishNext(avi.waveOut)) break;
                    dispatchAll();
                }
                break;
            default:
                if (value & 1) {
                    avi.setCurrent(value % 4);
                } else if (value & 2) {
                    avi.stop();
                } else {
                    avi.play(0, value & 4 ? 0 : 1);
                }
                break;
        }
        if (avi.playing)
            check(device->queuedCount(avi.waveOut) <=
                      static_cast<uint32_t>(std::max(avi.blockCount, 1)),
                  "more buffers queued than the ring has");
    }

  private:
    void expectInRange(int32_t result, bool mayFail) {
        if (!opened) return;
        const int32_t frames = std::max(avi.frameCount, 1);
        check((mayFail && result == -1) || (result >= 0 && result < frames),
              "frame number out of range");
        check(avi.currentFrame >= 0 && avi.currentFrame < frames, "currentFrame out of range");
        check(avi.decodedFrame >= -1 && avi.decodedFrame < frames, "decodedFrame out of range");
        check(avi.palette == avi.frameBitmap.info->colorTable,
              "palette is not the frame's colour table");
        check(avi.compressedCapacity <= std::max(avi.fileSize, 0), "a buffer larger than the file");
    }

    void readFrame(int32_t x, int32_t y) {
        const std::vector<uint8_t> before = fuzz::pixelsOf(target);
        int32_t result = avi.readFrame(x, y, setup.wholeDestination ? nullptr : &setup.clip);
        expectInRange(result, true);
        const Rect& c = setup.clip;
        for (int32_t dy = 0; dy < setup.targetHeight; ++dy) {
            for (int32_t dx = 0; dx < setup.targetWidth; ++dx) {
                bool shows = result >= 0 && dx >= c.left && dx < c.right && dy >= c.top &&
                             dy < c.bottom && dx >= x && dx < x + avi.frameWidth && dy >= y &&
                             dy < y + avi.frameHeight;
                if (shows) continue;
                check(pixel(target, dx, dy) ==
                          before[static_cast<std::size_t>(dy * setup.targetWidth + dx)],
                      "destination pixel drawn outside the clip or the frame");
            }
        }
    }

    const Setup& setup;
    mBitmap target;
    std::shared_ptr<platform::NullWaveOut> device;
    std::vector<uint8_t> bytes;
    std::optional<fuzz::MemoryFile> disk;
    bool opened = false;

  public:
    mImageAVI avi;
};

}  // namespace

int fuzzAvi(const uint8_t* data, std::size_t size) {
    static const platform::Module module;
    static const auto device = [] {
        auto null = std::make_shared<platform::NullWaveOut>();
        null->setRecording(false);
        platform::WaveOutCaps caps;
        caps.formats = 0xFFF;
        null->setCaps(caps);
        return null;
    }();
    mObject::instance = &module;
    platform::WaveOut::select(device);

    fuzz::ControlBytes control(data, size);
    const Setup setup(control);
    const auto script = control.script(largestScript);
    const auto file = control.rest();
    if (headerFrameSize(file) > largestFrame) return 0;

    platform::ReportSink::Capture capture;
    {
        AviRun run(setup, file, device);
        run.open();
        for (auto [kind, value] : script)
            run.step(kind, value);
    }
    dispatchAll();
    fuzz::checkReports(capture,
                       {{"mFile", "File read error"},
                        {"mFile", "File seek error"},
                        {"mImageAVI", "Out of memory"},
                        {"mAudioWAV", "Out of memory"},
                        {"mBitmap", "Bitmap error"}},
                       2 * (script.size() + 4));
    return 0;
}
