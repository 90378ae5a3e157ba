#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/core/mFile.h"
#include "engine/graphics/mBitmap.h"
#include "fuzz/FuzzCheck.h"

namespace fuzz {

// How an image reader's input is read and drawn, from the control bytes at its front: a flag
// byte (bits 0 and 1 the reading: 0 memory, 1 a file, 2 a file with small buffers; bit 6 the
// whole destination as the clip; the other bits are the target's own), the small buffers'
// sizes, a colour, the destination's size and a clip rectangle inside it.
struct ReaderSetup {
    // `smallestBuffer`: the fewest bytes the reader needs in one piece.
    ReaderSetup(ControlBytes& control, int32_t smallestBuffer);

    // Opens the reader's file part on `input` the chosen way: from `memory`, which takes a copy,
    // or from `disk`, which takes the input as a file.
    void openInput(mFile& reader, std::span<const uint8_t> input, std::vector<uint8_t>& memory,
                   std::optional<MemoryFile>& disk) const;
    // A destination of the chosen size, every pixel `value`.
    void fillTarget(mBitmap& target, uint8_t value) const;

    uint8_t flags = 0;
    uint8_t reading = 0;
    bool wholeDestination = false;
    int32_t bufferSize = 0;
    int32_t wrapSize = 0;
    uint8_t colour = 0;
    int32_t targetWidth = 1;
    int32_t targetHeight = 1;
    Rect clip;
};

uint8_t& pixel(mBitmap& bitmap, int32_t x, int32_t y);
// Every pixel, rows from the top.
std::vector<uint8_t> pixelsOf(mBitmap& bitmap);

}  // namespace fuzz
