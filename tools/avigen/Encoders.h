#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "tools/flicgen/FlicTypes.h"

// The frame encoders of the clip writer. Pictures are top row first without padding; `before`
// is the previous frame for a delta, or empty for a key frame.
namespace avigen {

// BI_RLE8: lines from the bottom, runs and literals, delta skips over unchanged pixels.
std::vector<std::uint8_t> encodeRle8(flicgen::ImageView picture,
                                     std::span<const std::uint8_t> before);

// 8-bit Video 1: 4x4 blocks of one, two or two-per-quarter colours, skips over unchanged
// blocks. Blocks with more colours keep the two most common of each quarter and map the others
// to the nearer of the two in `palette`.
std::vector<std::uint8_t> encodeVideo1(flicgen::ImageView picture,
                                       std::span<const std::uint8_t> before,
                                       const flicgen::Palette& palette);

// Uncompressed 8-bit rows padded to 32 bits, bottom row first when `bottomUp`.
std::vector<std::uint8_t> encodeRaw(flicgen::ImageView picture, bool bottomUp);

}  // namespace avigen
