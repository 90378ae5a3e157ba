#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "tools/flicgen/FlicTypes.h"

namespace flicgen {

// How a frame's pixels are written. Auto: the first frame as clear (all pixels 0), literal
// (when smaller and the width is a multiple of 4) or byte run; every later frame as the
// format's delta (word-oriented for FLC, byte-oriented for FLI), or nothing when no pixel
// changed. The delta kinds are refused for the first frame. Clear is followed by the format's
// delta from an all-0 image when the frame is not all 0.
enum class PixelChunk { Auto, ByteRun, Literal, Black, WordDelta, ByteDelta };

// How a frame's palette changes are written. Auto: 256 levels (type 4) for FLC, 64 levels
// (type 11, components shifted right by 2) for FLI. An entry last written at the other level
// counts as changed.
enum class PaletteChunk { Auto, Levels256, Levels64 };

// A chunk written exactly as given: size 6 + payload, no padding added.
struct RawChunk {
    std::uint16_t type = 0;
    std::vector<std::uint8_t> payload;
};

struct FrameOptions {
    PixelChunk pixels = PixelChunk::Auto;
    PaletteChunk palette = PaletteChunk::Auto;
    bool fullPalette = false;             // write all 256 entries, changed or not
    bool postageStamp = false;            // put a thumbnail chunk (type 18) first
    std::vector<RawChunk> extraChunks{};  // appended after the frame's own chunks
};

struct FileOptions {
    bool frameOffsets = true;  // header offsets of frames 1 and 2; 0 when off
    bool prefixChunk = false;  // an empty prefix chunk (0xF100) between header and frame 1
};

// Builds a FLIC animation in memory from whole frames and writes it with its ring frame (the
// delta from the last frame back to the first). Frames are encoded as they are added.
class FlicWriter {
  public:
    static constexpr int maxSide = 4096;

    // `speed` is the frame time in the format's unit: 1/70 s for FLI (at most 65535), ms for
    // FLC. Throws std::invalid_argument for a side outside 1..maxSide.
    FlicWriter(int width, int height, FlicFormat format, std::uint32_t speed,
               FileOptions options = {});

    // `pixels`: width x height palette indexes, top row first. Throws std::invalid_argument
    // for a wrong pixel count, a delta kind on the first frame, or more than 65535 frames.
    void addFrame(std::span<const std::uint8_t> pixels, const Palette& palette,
                  const FrameOptions& options = {});

    int frameCount() const { return static_cast<int>(frames.size()); }

    // The whole file. Throws std::logic_error when no frame was added, std::length_error when
    // the file would outgrow its 32-bit size field.
    std::vector<std::uint8_t> build() const;

    // Writes build() to `path`; throws std::runtime_error when the file cannot be written.
    void finish(const std::filesystem::path& path) const;

  private:
    // What each palette entry was last written as, to find the entries a frame changes.
    struct PaletteState {
        std::array<Rgb, 256> stored{};
        std::array<bool, 256> levels64{};
        bool written = false;
    };

    std::vector<std::uint8_t> encodeFrame(const std::vector<std::uint8_t>* before,
                                          std::span<const std::uint8_t> after,
                                          const Palette& palette, const FrameOptions& options,
                                          PaletteState& state) const;
    static std::vector<std::uint8_t> paletteChanges(const Palette& palette, bool low, bool full,
                                                    PaletteState& state);
    PixelChunk choosePixels(PixelChunk asked, bool first,
                            std::span<const std::uint8_t> pixels) const;
    ImageView view(std::span<const std::uint8_t> pixels) const;

    std::size_t width;
    std::size_t height;
    FlicFormat format;
    std::uint32_t speed;
    FileOptions fileOptions;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::uint8_t> firstPixels;
    std::vector<std::uint8_t> lastPixels;
    Palette firstPalette{};
    PaletteChunk firstPaletteLevels = PaletteChunk::Auto;
    PaletteState paletteState;
};

}  // namespace flicgen
