#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageBitmap.h"

// Decodes the frames of an animation file (into the reader's own frame picture), or the pages
// of a picture file (into an 8-bit picture of its own), one at a time, and hands them out as
// indexes with their palette or as RGB.
// Pictures of more than 8 bits are drawn into the default colours the picture starts with.
class FrameDecoder {
  public:
    FrameDecoder() = default;
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;
    // Picture readers leave their file part open for their owner to close.
    ~FrameDecoder();

    // False when the file cannot be read as an animation or a picture; the engine has
    // reported why.
    bool open(const std::string& path);

    int32_t frameCount() const { return image->frameCount; }
    int32_t width() const { return image->width; }
    int32_t height() const { return image->height; }
    int32_t depth() const { return image->bitsPerPixel; }
    int32_t planes() const { return image->planes; }
    int32_t frameTime() const { return image->frameTime; }
    const char* formatName() const;
    // Whether the file holds still pictures (pages) rather than an animation.
    bool isPicture() const;
    // How the current frame's colours are given.
    std::string paletteKind() const;

    // Shows frame `index` (0-based): cheapest in order, with a wrap to 0 after the last.
    bool decode(int32_t index);
    const mBitmap& picture() const;
    // The picture through the palette in force at this frame, rows from the top, 3 bytes a pixel.
    std::vector<uint8_t> rgb() const;

  private:
    mBitmap target;  // pages are read into it; declared first: the image holds a use on it
    std::unique_ptr<mImageBitmap> image;
    std::string extension;  // the engine's key
};

// A picture through its own colour table, rows from the top, 3 bytes a pixel.
std::vector<uint8_t> pictureRgb(const mBitmap& picture);
