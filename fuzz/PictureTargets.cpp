// The picture readers (PCX, DCX, BMP) over one input: control bytes choose how the file is
// read (memory, a file with the default buffers, a file with small buffers and wrap areas),
// the destination's size, depth and orientation, the clip, and a script of page seeks,
// draws and bitmap copies; the rest is the picture file. After every call the page number is
// in range, and nothing outside the part of the picture that shows inside the clip changed.
#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageBMP.h"
#include "engine/media/mImageDCX.h"
#include "engine/media/mImagePCX.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

using fuzz::check;

constexpr uint8_t untouched = 0xEE;
constexpr int32_t largestScript = 24;
// createBitmap makes a bitmap of the whole picture: only small ones, to keep runs quick.
constexpr int64_t largestCopy = 1 << 14;

struct Setup {
    uint8_t reading = 0;  // 0 memory, 1 file, 2 file with small buffers
    bool wholeDestination = false;
    bool topDown = false;
    int32_t depth = 8;
    int32_t bufferSize = 0;
    int32_t wrapSize = 0;
    int32_t targetWidth = 1;
    int32_t targetHeight = 1;
    Rect clip;
};

Setup setupFrom(fuzz::ControlBytes& control) {
    Setup s;
    const uint8_t flags = control.next();
    s.reading = static_cast<uint8_t>((flags & 3) % 3);
    s.wholeDestination = flags & 4;
    s.topDown = flags & 8;
    s.depth = flags & 16 ? (flags & 32 ? 1 : 4) : 8;
    s.bufferSize = 4 + 4 * (control.next() % 64);
    s.wrapSize = 4 + control.next() % 64;
    s.targetWidth = 1 + control.next() % 64;
    s.targetHeight = 1 + control.next() % 64;
    s.clip = fuzz::clipFrom(control, s.targetWidth, s.targetHeight, s.wholeDestination);
    return s;
}

// A destination pixel of any depth, as its colour index.
uint8_t pixel(const mBitmap& bitmap, int32_t x, int32_t y) {
    const SurfaceInfo& info = *bitmap.info;
    const uint8_t* row = info.topRow + static_cast<std::ptrdiff_t>(y) * info.rowStep;
    const int32_t depth = info.bitsPerPixel;
    if (depth == 8) return row[x];
    const int32_t perByte = 8 / depth;
    return static_cast<uint8_t>(row[x / perByte] >> (8 - depth * (x % perByte + 1)) &
                                ((1 << depth) - 1));
}

std::vector<uint8_t> pixelsOf(const mBitmap& bitmap) {
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < bitmap.info->height; ++y)
        for (int32_t x = 0; x < bitmap.info->width; ++x)
            out.push_back(pixel(bitmap, x, y));
    return out;
}

template <class Reader>
class PictureRun {
  public:
    PictureRun(const Setup& chosen, std::span<const uint8_t> file)
        : setup(chosen), target(chosen.targetWidth, chosen.targetHeight, chosen.depth) {
        if (setup.topDown) target.setTopDown(true);
        const SurfaceInfo& info = *target.info;
        for (int32_t y = 0; y < info.height; ++y)
            std::fill_n(info.topRow + static_cast<std::ptrdiff_t>(y) * info.rowStep, info.stride,
                        untouched);
        fuzz::openInput(reader, file, setup.reading, setup.bufferSize, setup.wrapSize, bytes, disk);
    }
    ~PictureRun() {
        reader.attachBitmap(nullptr);
        if (reader.isOpen) reader.close();
    }
    PictureRun(const PictureRun&) = delete;
    PictureRun& operator=(const PictureRun&) = delete;

    void open() {
        opened = reader.openImage() == 1;
        if (!opened) {
            check(reader.format == 0, "a failed open left the reader open");
            return;
        }
        expectInRange(reader.currentFrame);
        reader.attachBitmap(&target);
    }

    void step(uint8_t kind, uint8_t value) {
        switch (kind % 5) {
            case 0:
            case 1:
            case 2:
                expectInRange(reader.seekFrame(static_cast<int8_t>(value), kind % 5));
                break;
            case 3:
                readFrame((value % 16) * 4 - 16, (value / 16) * 4 - 16);
                break;
            default:
                copyBitmap(value);
                break;
        }
        ++calls;
    }

    std::size_t callCount() const { return calls; }

  private:
    void expectInRange(int32_t frame) {
        if (!opened) return;
        check(frame >= 0 && frame < std::max(reader.frameCount, 1), "page number out of range");
        check(reader.currentFrame >= 0 && reader.currentFrame < std::max(reader.frameCount, 1),
              "currentFrame out of range");
    }

    void readFrame(int32_t x, int32_t y) {
        const auto before = pixelsOf(target);
        const int32_t result =
            reader.readFrame(x, y, setup.wholeDestination ? nullptr : &setup.clip);
        check(result == 0 || result == -1, "readFrame result neither 0 nor -1");
        const auto after = pixelsOf(target);
        const Rect& c = setup.clip;
        for (int32_t dy = 0; dy < setup.targetHeight; ++dy) {
            for (int32_t dx = 0; dx < setup.targetWidth; ++dx) {
                const bool shows = result == 0 && dx >= c.left && dx < c.right && dy >= c.top &&
                                   dy < c.bottom && dx >= x && dx - x < reader.frameWidth &&
                                   dy >= y && dy - y < reader.frameHeight;
                const auto at = static_cast<std::size_t>(dy * setup.targetWidth + dx);
                check(shows || after[at] == before[at], "drawn outside the picture or the clip");
            }
        }
    }

    void copyBitmap(uint8_t value) {
        if (int64_t{reader.frameWidth} * reader.frameHeight > largestCopy || !opened) return;
        auto copy = reader.createBitmap(value & 1);
        check(reader.destination == &target, "createBitmap left another destination");
    }

    const Setup& setup;
    mBitmap target;
    std::vector<uint8_t> bytes;
    std::optional<fuzz::MemoryFile> disk;
    bool opened = false;
    std::size_t calls = 0;
    Reader reader;
};

template <class Reader>
int fuzzPicture(const uint8_t* data, std::size_t size) {
    fuzz::ControlBytes control(data, size);
    const Setup setup = setupFrom(control);
    const auto script = control.script(largestScript);
    const auto file = control.rest();
    platform::ReportSink::Capture capture;
    std::size_t calls = 0;
    {
        PictureRun<Reader> run(setup, file);
        calls = fuzz::play(run, script);
    }
    // A seek may report a bad page and the page's file layer its own; a copy, its bitmap; a
    // draw that opens the picture itself after a failed open, the missing destination.
    fuzz::checkReports(capture,
                       {{"mFile", "File read error"},
                        {"mFile", "File seek error"},
                        {"mImagePCX", "File type error"},
                        {"mImagePCX", "Out of memory"},
                        {"mImagePCX", "Bitmap error"},
                        {"mImageDCX", "File type error"},
                        {"mImageBMP", "File type error"},
                        {"mImageBMP", "Out of memory"},
                        {"mImageBMP", "Bitmap error"},
                        {"mBitmap", "Bitmap error"},
                        {"mBitmap", "Out of memory"}},
                       (calls + 2) * 4);
    return 0;
}

}  // namespace

int fuzzPcx(const uint8_t* data, std::size_t size) {
    return fuzzPicture<mImagePCX>(data, size);
}

int fuzzDcx(const uint8_t* data, std::size_t size) {
    return fuzzPicture<mImageDCX>(data, size);
}

int fuzzBmp(const uint8_t* data, std::size_t size) {
    return fuzzPicture<mImageBMP>(data, size);
}
