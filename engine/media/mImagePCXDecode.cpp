#include <algorithm>
#include <cstring>

#include "engine/media/PixelConversion.h"
#include "engine/media/mImagePCX.h"
#include "engine/platform/Memory.h"

// Picture decoding. Each line decodes to lineBytes bytes, plane after plane; a run that goes
// past the line's end is counted in full and its excess dropped. Data that ends early ends the
// drawing there: the rows it does not reach are left as they were.

// The encoded bytes at the file part's cursor, read in place. Before each run the buffer is
// refilled when 2 or fewer bytes remain, so that a run's count and value lie together.
class mImagePCX::Runs {
  public:
    explicit Runs(mFile& source) : at(source.cursor), file(source), end(source.dataEnd) {}
    Runs(const Runs&) = delete;
    Runs& operator=(const Runs&) = delete;
    // The file part's cursor and position follow to where decoding stopped.
    ~Runs() {
        file.cursor = at;
        file.position = file.dataOffset + static_cast<int32_t>(at - file.dataStart);
    }

    // The next run; false when the data ends first.
    bool next(int32_t& count, uint8_t& value) {
        if (end - at <= 2) refill();
        if (at == end) return false;
        const uint8_t byte = *at++;
        if (byte < 0xc0) {
            count = 1;
            value = byte;
            return true;
        }
        if (at == end) return false;
        count = byte & 0x3f;
        value = *at++;
        return true;
    }

    // Whether a run at `at` has its count and value in the buffer without a refill.
    bool roomy() const { return end - at > 2; }

    uint8_t* at;  // the cursor; decodeLine moves it itself where the buffer is roomy

  private:
    void refill() {
        if (exhausted) return;
        file.fill(at);
        at = file.cursor;
        end = file.dataEnd;
        // Only the end of the data leaves so little after a refill.
        exhausted = end - at <= 2;
    }

    mFile& file;
    uint8_t* end;
    bool exhausted = false;
};

bool mImagePCX::decodeLine(Runs& in, uint8_t* kept, int32_t keepFrom, int32_t keepEnd) const {
    int32_t done = 0;
    auto store = [&](int32_t end, uint8_t value) {
        const int32_t from = std::max(done, keepFrom);
        const int32_t to = std::min(end, keepEnd);
        if (to - from == 1) {
            kept[from - keepFrom] = value;
        } else if (to > from) {
            std::memset(kept + (from - keepFrom), value, static_cast<std::size_t>(to - from));
        }
    };
    while (done < lineBytes) {
        // Where more than 2 bytes remain, runs are taken without the refill test.
        while (done < lineBytes && in.roomy()) {
            uint8_t value = *in.at++;
            int32_t repeat = 1;
            if (value >= 0xc0) {
                repeat = value & 0x3f;
                value = *in.at++;
            }
            const int32_t end = std::min(done + repeat, lineBytes);
            if (kept) store(end, value);
            done = end;
        }
        if (done >= lineBytes) break;
        int32_t repeat = 0;
        uint8_t value = 0;
        if (!in.next(repeat, value)) return false;
        const int32_t end = std::min(done + repeat, lineBytes);
        if (kept) store(end, value);
        done = end;
    }
    return true;
}

uint8_t* mImagePCX::destinationRow(int32_t row) const {
    const SurfaceInfo& surface = *destination->info;
    return surface.topRow + static_cast<std::ptrdiff_t>(row) * surface.rowStep;
}

int32_t mImagePCX::drawPicture(int32_t x, int32_t y, const Rect* clip) {
    if (!destination) {
        reportError(idImagePCX, errBitmap, nullptr);
        return -1;
    }
    const VisibleArea area = visibleArea(x, y, clip);
    if (area.isEmpty()) return 0;
    seek(pixelOffset, 0);
    Runs in(*this);
    const SurfaceInfo& surface = *destination->info;
    if (surface.bitsPerPixel == 8 && surface.planes == 1 && bitsPerPixel == 8 && planes == 1) {
        drawDirect(in, area);
        return 0;
    }
    const PixelConversion conversion(*destination, {bitsPerPixel, planes, bytesPerLine}, {});
    if (conversion.convertible()) drawConverted(in, area, conversion);
    return 0;
}

void mImagePCX::drawDirect(Runs& in, const VisibleArea& area) {
    const Rect& shown = area.source;
    for (int32_t line = 0; line < shown.top; ++line) {
        if (!decodeLine(in, nullptr, 0, 0)) return;
    }
    // Columns past a line's bytes (a header with too few bytes per line) are black.
    const int32_t stored = std::clamp(bytesPerLine, shown.left, shown.right);
    for (int32_t line = shown.top; line < shown.bottom; ++line) {
        uint8_t* row = destinationRow(area.target.top + line - shown.top) + area.target.left;
        if (!decodeLine(in, row, shown.left, shown.right)) return;
        std::memset(row + (stored - shown.left), 0, static_cast<std::size_t>(shown.right - stored));
    }
}

void mImagePCX::drawConverted(Runs& in, const VisibleArea& area,
                              const PixelConversion& conversion) {
    auto line = platform::Memory::allocate(static_cast<std::size_t>(lineBytes));
    if (!line) {
        reportError(idImagePCX, errOutOfMemory, nullptr);
        return;
    }
    const Rect& shown = area.source;
    for (int32_t index = 0; index < shown.top; ++index) {
        if (!decodeLine(in, nullptr, 0, 0)) return;
    }
    for (int32_t index = shown.top; index < shown.bottom; ++index) {
        std::memset(line.get(), 0, static_cast<std::size_t>(lineBytes));
        // A line cut short by the data's end shows as far as it was decoded.
        const bool whole = decodeLine(in, line.get(), 0, lineBytes);
        conversion.convert(line.get(), shown.left, shown.right,
                           destinationRow(area.target.top + index - shown.top), area.target.left);
        if (!whole) return;
    }
}
