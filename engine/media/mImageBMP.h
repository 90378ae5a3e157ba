#pragma once
#include <cstdint>
#include <memory>

#include "engine/media/PixelConversion.h"
#include "engine/media/mImageBitmap.h"

// Reads single Windows bitmap files: uncompressed rows of 1, 2, 4, 8, 16, 24 or 32 bits,
// rows of 16 or 32 bits under bit masks, and run-length encoded pictures of 8 and 4 bits.
// The information header is read by its first 40 bytes whatever its size (40, 108 or 124);
// the colour table follows the whole header. There is no frame bitmap: every readFrame reads
// the visible rows from the file again, straight into the destination when it has the
// picture's depth in whole bytes, otherwise through a line buffer and a pixel conversion.
// Pictures stored top row first (a negative height) draw upright as the others do.
//
// Typical use: open(name, 0); openImage(); attachBitmap(&target); readFrame(0, 0, nullptr);
// `palette` holds the colours of pictures of at most 8 bits.
class mImageBMP : public mImageBitmap {
  public:
    static constexpr uint32_t formatBmp = fourCC("BMP\0");
    static constexpr uint16_t magic = 0x4D42;  // "BM"
    static constexpr int32_t fileHeaderSize = 14;
    static constexpr int32_t infoHeaderSize = 40;
    // Compression kinds.
    static constexpr uint32_t uncompressed = 0;
    static constexpr uint32_t runLength8 = 1;
    static constexpr uint32_t runLength4 = 2;
    static constexpr uint32_t bitFields = 3;

    mImageBMP() = default;
    ~mImageBMP() override;

    int32_t openImage() override;
    int32_t WriteHeader() override;
    // Returns 0, or -1 without an image or a destination.
    int32_t readFrame(int32_t x, int32_t y, const Rect* clip) override;
    int32_t WriteFrame(int32_t first, int32_t second, int32_t third) override;
    int32_t seekFrame(int32_t frame, int32_t origin) override;
    int32_t updateRemap() override;
    int32_t setTransparent(int32_t flag) override;
    uint32_t setTransparentColour(uint32_t colour) override;
    int32_t setRemap(int32_t flag) override;

    int32_t pixelOffset = 0;
    int32_t rowBytes = 0;  // one stored row, padded to a multiple of 4 bytes
    uint32_t compression = uncompressed;
    bool topDown = false;          // the rows are stored top row first
    PixelConversion::Masks masks;  // where the colours of 16- and 32-bit pixels lie

  private:
    bool refuse();
    bool readHeaderFields(int32_t headerSize);
    bool readColourTable(int64_t at, uint32_t used);

    // Decoding (mImageBMPDecode.cpp).
    void drawRows(const VisibleArea& area);
    void drawRunLength(const VisibleArea& area);
    uint8_t* destinationRow(int32_t row) const;
    // The picture row that stored row `stored` holds.
    int32_t pictureRow(int32_t stored) const { return topDown ? stored : height - 1 - stored; }

    std::unique_ptr<uint8_t[]> paletteBlock;  // 256 entries, from the first colour table read
};
