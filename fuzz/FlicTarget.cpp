// The FLIC reader over one input: control bytes choose how the file is read (memory, a file
// with the default buffers, a file with small buffers and wrap areas), the destination and its
// clip, transparency and remapping, and a script of frame seeks, reads and switches; the rest
// is the FLIC file. After every call the reader's state is in range, and the destination
// changed exactly where the frame shows inside the clip, with the pixels its copy routine puts
// there.
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageFlic.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/ReaderSetup.h"

namespace {

using fuzz::check;

constexpr uint8_t untouched = 0xEE;
// Bigger frames only make each run slower: the decoders address them the same way.
constexpr int64_t largestFrame = 1 << 14;
constexpr int32_t largestScript = 32;

struct Setup {
    uint8_t reading = 0;  // 0 memory, 1 file, 2 file with small buffers
    bool remap = false;
    bool transparentColour = false;
    bool autoAdvance = false;
    bool transparentFirst = false;
    bool wholeDestination = false;  // read frames without a clip rectangle
    bool topDown = false;
    int32_t bufferSize = 0;
    int32_t wrapSize = 0;
    uint8_t colour = 0;
    Rect clip;
    int32_t targetWidth = 1;
    int32_t targetHeight = 1;
};

Setup setupFrom(fuzz::ControlBytes& control) {
    Setup s;
    uint8_t flags = control.next();
    s.reading = static_cast<uint8_t>((flags & 3) % 3);
    s.remap = flags & 4;
    s.transparentColour = flags & 8;
    s.autoAdvance = flags & 16;
    s.transparentFirst = flags & 32;
    s.wholeDestination = flags & 64;
    s.topDown = flags & 128;
    s.bufferSize = 4 + 4 * (control.next() % 64);
    s.wrapSize = 4 + control.next() % 64;
    s.colour = control.next();
    s.targetWidth = 1 + control.next() % 64;
    s.targetHeight = 1 + control.next() % 64;
    s.clip = fuzz::clipFrom(control, s.targetWidth, s.targetHeight, s.wholeDestination);
    return s;
}

using fuzz::pixel;
using fuzz::pixelsOf;

class FlicRun {
  public:
    FlicRun(const Setup& chosen, std::span<const uint8_t> file)
        : setup(chosen), target(chosen.targetWidth, chosen.targetHeight, 8) {
        if (setup.topDown) target.setTopDown(true);
        for (int32_t y = 0; y < setup.targetHeight; ++y)
            for (int32_t x = 0; x < setup.targetWidth; ++x)
                pixel(target, x, y) = untouched;
        fuzz::openInput(flic, file, setup.reading, setup.bufferSize, setup.wrapSize, bytes, disk);
    }
    ~FlicRun() { flic.attachBitmap(nullptr); }
    FlicRun(const FlicRun&) = delete;
    FlicRun& operator=(const FlicRun&) = delete;

    void open() {
        if (setup.transparentFirst) flic.setTransparent(1);
        if (setup.remap) flic.setRemap(1);
        opened = flic.openImage() == 1;
        if (!opened) {
            check(flic.format == 0 && !flic.frameBitmap, "a failed open left the reader open");
            return;
        }
        expectInRange(flic.lastDecoded, true);
        // A header of another depth refuses the destination, which stays attached all the same.
        check(flic.attachBitmap(&target) == (flic.bitsPerPixel == 8 ? 1 : 0),
              "attachBitmap misjudged the destination's depth");
        if (setup.transparentColour) flic.setTransparentColour(setup.colour);
        if (setup.remap) flic.updateRemap();
        if (setup.autoAdvance) flic.setAutoAdvance(1);
    }

    void step(uint8_t kind, uint8_t value) {
        switch (kind % 8) {
            case 0:
            case 1:
            case 2:
                expectInRange(flic.seekFrame(static_cast<int8_t>(value), kind % 8), false);
                break;
            case 3:
            case 4:
                readFrame((value % 16) * 4 - 16, (value / 16) * 4 - 16);
                break;
            case 5:
                flic.setAutoAdvance(value & 1);
                break;
            case 6:
                if (value & 1)
                    flic.setTransparentColour(value);
                else
                    flic.setTransparent(value & 2);
                break;
            default:
                flic.setRemap(value & 1);
                flic.updateRemap();
                break;
        }
        ++calls;
    }

    std::size_t callCount() const { return calls; }

  private:
    void expectInRange(int32_t result, bool mayFail) {
        if (!opened) {
            check(result <= 0, "a frame from a reader that is not open");
            return;
        }
        const int32_t frames = std::max(flic.frameCount, 1);
        check((mayFail && result == -1) || (result >= 0 && result < frames),
              "frame number out of range");
        check(flic.currentFrame >= 0 && flic.currentFrame < frames, "currentFrame out of range");
        check(flic.lastDecoded >= -1 && flic.lastDecoded < frames, "lastDecoded out of range");
        const Rect& c = flic.changed;
        check(
            c.left >= 0 && c.right <= flic.frameWidth && c.top >= 0 && c.bottom <= flic.frameHeight,
            "changed rectangle outside the frame");
        check(flic.frameBitmap && flic.palette == flic.frameBitmap->info->colorTable,
              "palette is not the frame's colour table");
        check(flic.paletteChanged == 0 || flic.paletteChanged == 1, "paletteChanged not a flag");
    }

    // What a copy of the frame placed at (x, y) leaves at destination pixel (dx, dy), given
    // what was there before.
    uint8_t expectedPixel(int32_t x, int32_t y, int32_t dx, int32_t dy, uint8_t before) {
        const Rect& c = setup.clip;
        bool shows = dx >= c.left && dx < c.right && dy >= c.top && dy < c.bottom && dx >= x &&
                     dx < x + flic.frameWidth && dy >= y && dy < y + flic.frameHeight;
        if (!shows) return before;
        mBitmap& frame = *flic.frameBitmap;
        uint8_t source = pixel(frame, dx - x, dy - y);
        if ((frame.drawMode & mBitmap::drawTransparent) &&
            source == static_cast<uint8_t>(frame.transparentIndex))
            return before;
        bool translated =
            (frame.drawMode & mBitmap::drawRemap) && frame.remapNeeded && frame.remapTable;
        return translated ? frame.remapTable[source] : source;
    }

    void readFrame(int32_t x, int32_t y) {
        auto before = pixelsOf(target);
        int32_t result = flic.readFrame(x, y, setup.wholeDestination ? nullptr : &setup.clip);
        expectInRange(result, true);
        auto after = pixelsOf(target);
        for (int32_t dy = 0; dy < setup.targetHeight; ++dy) {
            for (int32_t dx = 0; dx < setup.targetWidth; ++dx) {
                auto at = static_cast<std::size_t>(dy * setup.targetWidth + dx);
                uint8_t expected =
                    result < 0 ? before[at] : expectedPixel(x, y, dx, dy, before[at]);
                check(after[at] == expected,
                      result < 0 || after[at] != before[at]
                          ? "destination pixel drawn wrong or outside the clip"
                          : "destination pixel not drawn");
            }
        }
    }

    const Setup& setup;
    mBitmap target;
    std::vector<uint8_t> bytes;
    std::optional<fuzz::MemoryFile> disk;
    bool opened = false;
    std::size_t calls = 0;
    mImageFlic flic;
};

// Literal chunks warn each time one is decoded; a frame can hold one per six bytes.
std::size_t reportLimit(std::size_t calls, std::size_t fileSize) {
    return (calls + 2) * (3 + fileSize / 6);
}

}  // namespace

int fuzzFlic(const uint8_t* data, std::size_t size) {
    fuzz::ControlBytes control(data, size);
    const Setup setup = setupFrom(control);
    const auto script = control.script(largestScript);
    const auto file = control.rest();
    if (file.size() >= 12) {
        int64_t width = littleEndian::load16(file.data() + 8);
        int64_t height = littleEndian::load16(file.data() + 10);
        // Frames the reader refuses cost nothing; only the big ones it would make are left out.
        bool refused = (width + 3) / 4 * 4 * height > std::numeric_limits<int32_t>::max() / 2;
        if (width * height > largestFrame && !refused) return 0;
    }

    platform::ReportSink::Capture capture;
    std::size_t calls = 0;
    {
        FlicRun run(setup, file);
        calls = fuzz::play(run, script);
    }
    fuzz::checkReports(capture,
                       {{"mFile", "File read error"},
                        {"mFile", "File seek error"},
                        {"mImageFlic", "File type error"},
                        {"mImageFlic", "Bad frame header"},
                        {"mImageFlic", "Bad chunk type"},
                        {"mImageFlic", "Not tested"},
                        {"mImageFlic", "Out of memory"},
                        {"mImageFlic", "Bitmap error"}},
                       reportLimit(calls, file.size()));
    return 0;
}
