#pragma once
#include <cstdint>
#include <span>

#include "engine/platform/VideoFormat.h"

// The video decoders behind the compression manager: each turns one frame's chunk into 8-bit
// pixels of the target, for a stream of the given format. A decoder writes only the pixels the
// chunk encodes, so that delta frames change only what they name, and reads nothing outside the
// chunk: data that runs past the picture is dropped and a chunk that ends early ends the frame.
namespace platform {

// 8-bit run-length encoding (BI_RLE8): runs, literal runs padded to 16 bits, end of line, end
// of picture and delta skips, lines from the bottom of the picture up.
void decodeRle8(std::span<const uint8_t> chunk, const VideoFormat& format,
                const FrameTarget& target);

// The 8-bit palettised form of Video 1: 4x4 blocks from the bottom-left corner, left to right
// and then up, each skipped, of one colour, of two colours or of two colours in each quarter.
// Blocks that reach past a side not a multiple of 4 are cut there.
void decodeVideo1(std::span<const uint8_t> chunk, const VideoFormat& format,
                  const FrameTarget& target);

// Uncompressed 8-bit rows padded to 32 bits, bottom row first unless the height is negative.
// The row size follows from the width, whatever the format's image size says.
void decodeDib8(std::span<const uint8_t> chunk, const VideoFormat& format,
                const FrameTarget& target);

}  // namespace platform
