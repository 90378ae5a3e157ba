#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "tools/flicgen/FlicTypes.h"

// Chunk payloads (everything after the 6-byte chunk header) for each chunk kind.
namespace flicgen::encoder {

// Every row run-length coded (type 15).
std::vector<std::uint8_t> byteRun(const ImageView& image);

// Every row stored as it is (type 16).
std::vector<std::uint8_t> literal(const ImageView& image);

// Word-oriented delta (type 7): pixel pairs, line-skip opcodes and, for odd widths, the
// last-pixel opcode. `after` must differ from `before`.
std::vector<std::uint8_t> wordDelta(const ImageView& before, const ImageView& after);

// Byte-oriented delta (type 12) over the rows from the first to the last changed one.
// `after` must differ from `before`.
std::vector<std::uint8_t> byteDelta(const ImageView& before, const ImageView& after);

// Palette packets (types 4 and 11) for the entries marked in `changed`; `entries` holds the
// components as they are stored (8-bit or 6-bit). At least one entry must be marked.
std::vector<std::uint8_t> palette(const std::array<Rgb, 256>& entries,
                                  const std::array<bool, 256>& changed);

// A postage stamp (type 18): a thumbnail of at most 100 x 63 in the six-level colour cube.
std::vector<std::uint8_t> postageStamp(const ImageView& image, const Palette& colours);

}  // namespace flicgen::encoder
