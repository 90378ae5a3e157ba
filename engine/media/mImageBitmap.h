#pragma once
#include <cstdint>
#include <memory>

#include "engine/base/Rect.h"
#include "engine/base/RgbQuad.h"
#include "engine/core/mFile.h"
#include "engine/graphics/mBitmap.h"
#include "engine/media/mImage.h"

// The reader interface every image source shares: frame count, size, depth, palette, the
// attached destination bitmap that readFrame copies into, transparency and colour translation
// switches, and the rectangle the last decoded frame changed. A reader is itself the file it
// reads: the opener calls the file part's `open`, then `openImage` reads the header from it.
class mImageBitmap : public virtual mFile, public virtual mImage {
  public:
    // Both bases name open, seek, read and write. The file's operations are the ones a reader
    // uses; the stream's `open(formatSize)` stays reachable beside the file's `open`.
    using mFile::open;
    using mFile::read;
    using mFile::seek;
    using mFile::write;
    using mImage::open;

    mImageBitmap() = default;
    // Drops the use held on the destination.
    ~mImageBitmap() override;

    virtual int32_t openImage() = 0;
    virtual int32_t WriteHeader() = 0;
    // Copies the current frame with its top-left corner at (x, y) of the destination, clipped
    // to `clip` (destination pixels) or to the whole destination when null. Returns a frame
    // index, or -1 on failure.
    virtual int32_t readFrame(int32_t x, int32_t y, const Rect* clip) = 0;
    virtual int32_t WriteFrame(int32_t first, int32_t second, int32_t third) = 0;
    virtual int32_t seekFrame(int32_t frame, int32_t origin) = 0;
    virtual int32_t updateRemap() = 0;
    // A new bitmap holding the current frame, at the image's depth when keepDepth is non-zero
    // and at 8 bits otherwise; null when the image cannot be opened or the bitmap made.
    virtual std::unique_ptr<mBitmap> createBitmap(int32_t keepDepth);
    virtual int32_t attachBitmap(mBitmap* bitmap);
    virtual int32_t setAutoAdvance(int32_t flag);
    virtual int32_t setTransparent(int32_t flag);
    virtual uint32_t setTransparentColour(uint32_t colour);
    virtual int32_t setRemap(int32_t flag);

    mBitmap* destination = nullptr;          // one use held on it
    SurfaceInfo* destinationInfo = nullptr;  // the destination's surface description
    int32_t remapActive = 0;                 // the last buildRemap result
    int32_t frameCount = 0;
    uint32_t format = 0;  // format tag, 0 while not open
    int32_t dataSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t kind = 0;
    int32_t currentFrame = -1;  // the frame readFrame shows next
    int32_t frameBytes = 0;
    int32_t frameTime = 0;  // display time of a frame in milliseconds
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    int32_t bitsPerPixel = 0;
    int32_t planes = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    Rect changed;  // pixels the last decoded frame changed
    int32_t transparent = 0;
    uint32_t transparentColour = 0;
    RgbQuad* palette = nullptr;  // 256 entries, or null for no colour table
    int32_t paletteChanged = 0;
    int32_t remap = 0;
    int32_t autoAdvance = 0;

  protected:
    // Where the current frame shows when readFrame places it at (x, y): `source` holds the
    // frame's visible columns and rows, `target` the destination pixels they go to (`source`
    // moved by x, y). Both are empty when nothing shows.
    struct VisibleArea {
        Rect source;
        Rect target;
        bool isEmpty() const { return target.isEmpty(); }
    };
    // The frame of frameWidth x frameHeight at (x, y), cut to `clip` (or the whole destination
    // when null) and to the destination's bounds; empty without a destination. A reader that
    // decodes rows in order skips the rows above source.top, and needs none from source.bottom.
    VisibleArea visibleArea(int32_t x, int32_t y, const Rect* clip) const;
    // Copies the visible part of `frame` (frameWidth x frameHeight at its top left) placed at
    // (x, y) into the destination, with the routine the frame's draw mode selects. The routines
    // write 8-bit pixels, so a destination of another depth receives nothing.
    void copyFrame(mBitmap& frame, int32_t x, int32_t y, const Rect* clip);
};
