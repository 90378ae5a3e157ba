#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mImageBitmap.h"

class InPlaceReader;

// Reads FLI (0xAF11) and FLC (0xAF12) animations. Frames are deltas against the one before,
// so they are decoded in order into a frame bitmap of the reader's own; going back replays
// from the first frame, except after the last one, where the ring frame at the end of the file
// turns the last picture back into the first. readFrame copies the visible part of the frame
// bitmap into the attached 8-bit destination with the copy its draw mode selects.
//
// Typical use: open(name, 0); openImage(); attachBitmap(&target); then for each frame
// seekFrame(n, 0) and readFrame(0, 0, nullptr); `palette` holds the current colours.
class mImageFlic : public mImageBitmap {
  public:
    static constexpr uint16_t magicFli = 0xAF11;
    static constexpr uint16_t magicFlc = 0xAF12;
    static constexpr uint32_t formatFli = fourCC("FLI\0");
    static constexpr uint32_t formatFlc = fourCC("FLC\0");
    static constexpr int32_t headerSize = 128;
    // Header fields holding the file offsets of frames 1 and 2.
    static constexpr int32_t frame1Field = 80;
    static constexpr int32_t frame2Field = 84;

    // Frames of a large animation run to hundreds of kilobytes: a buffer this size takes them
    // in a few reads where the file's default would take dozens.
    static constexpr int32_t bufferBytes = 65536;

    mImageFlic();
    ~mImageFlic() override;

    int32_t openImage() override;
    int32_t WriteHeader() override;
    int32_t readFrame(int32_t x, int32_t y, const Rect* clip) override;
    int32_t WriteFrame(int32_t first, int32_t second, int32_t third) override;
    // Returns the frame asked for, whichever way it is reached; a frame before the first is the
    // first. Past the last frame nothing changes and the result is `currentFrame`.
    int32_t seekFrame(int32_t frame, int32_t origin) override;
    int32_t updateRemap() override;
    int32_t attachBitmap(mBitmap* bitmap) override;
    int32_t setTransparent(int32_t flag) override;
    uint32_t setTransparentColour(uint32_t colour) override;
    int32_t setRemap(int32_t flag) override;
    int32_t SetVideoDirect(int32_t value);

    // Where decoding starts, and where it resumes after the ring frame.
    int32_t frameOffset1() const;
    int32_t frameOffset2() const;

    std::array<uint8_t, headerSize> header{};
    std::unique_ptr<mBitmap> frameBitmap;  // frames are decoded into it; null while not open
    int32_t lastDecoded = -1;              // the frame now in the frame bitmap
    int32_t internalStep = 0;              // set while decoding on the reader's own behalf
    int32_t autoTransparentColour = 1;

  private:
    void release();
    // Header offsets that lie outside the file mean "directly after the header", like 0.
    void settleFrameOffsets();
    bool createFrameBitmap();
    int32_t stepInternally();
    bool ringFrameFollows();
    int32_t replay(int32_t frame);
    void clearFrame();

    // Decoding, one frame at the cursor (mImageFlicDecode.cpp).
    bool decodeNextFrame();
    bool readFrameHeader(InPlaceReader& in, uint32_t& chunks);
    void decodeChunks(InPlaceReader& in, uint32_t chunks);
    void widenChanged(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void takeAutoTransparentColour();
    uint8_t* row(int32_t index) const;
    bool decodePalette(InPlaceReader& in, int shift);
    bool decodeWordDelta(InPlaceReader& in);
    bool decodeByteDelta(InPlaceReader& in);
    bool decodeByteRun(InPlaceReader& in);
    bool decodeLiteral(InPlaceReader& in);
    void decodeClear();

    bool frame2Known = false;  // the frame-2 offset came from the header or was recorded
    bool unknownChunkWarned = false;
};
