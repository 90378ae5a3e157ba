#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageAVI.h"

namespace testing_support {

// An 8-bit picture through a palette, as packed RGB (3 bytes a pixel, top row first).
std::vector<std::uint8_t> rgbOf(const mBitmap& picture, const RgbQuad* palette);

// A clip opened with the reader, drawing into an 8-bit bitmap of its size.
class AviClip {
  public:
    explicit AviClip(const std::filesystem::path& path);
    AviClip(const AviClip&) = delete;
    AviClip& operator=(const AviClip&) = delete;

    bool isOpen() const { return opened; }
    // Reads the current frame into the target; the frame shown, or -1.
    std::int32_t read();
    // The target through the palette in force.
    std::vector<std::uint8_t> rgb() const { return rgbOf(target, avi.palette); }

    mBitmap target;  // declared first: the reader holds a use on it until it goes
    mImageAVI avi;

  private:
    bool opened = false;
};

// Every frame of the clip in order, through the palette in force at each; empty when it does
// not open or a frame cannot be read.
std::optional<std::vector<std::vector<std::uint8_t>>> decodeClip(const std::filesystem::path& path);

}  // namespace testing_support
