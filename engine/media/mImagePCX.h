#pragma once
#include <cstdint>
#include <memory>

#include "engine/media/mImageBitmap.h"

class PixelConversion;

// Reads single run-length encoded PCX pictures. There is no frame bitmap: every readFrame
// decodes the picture again from the file, straight into the destination when its depth and
// planes are the picture's 8 bits in one plane, otherwise line by line through a line buffer
// and a pixel conversion. Lines above the visible part are decoded only to be counted, lines
// below it not at all.
//
// Typical use: open(name, 0); openImage(); attachBitmap(&target); readFrame(0, 0, nullptr);
// `palette` holds the picture's colours (null for pictures of more than 8 bits in all).
class mImagePCX : public mImageBitmap {
  public:
    static constexpr uint32_t formatPcx = fourCC("PCX\0");
    static constexpr int32_t headerSize = 128;
    // The 256-colour table: a marker byte and 768 bytes of red, green, blue.
    static constexpr uint8_t paletteMarker = 12;
    static constexpr int32_t paletteTail = 769;

    mImagePCX();
    ~mImagePCX() override;

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

    int32_t pageMode = 0;  // set for pages of a DCX file: no palette search at the file's end
    int32_t pixelOffset = 0;
    int32_t lineBytes = 0;     // encoded bytes of one line of all planes
    int32_t bytesPerLine = 0;  // of one plane

  protected:
    // Reads the picture header at the file part's position (the PCX openImage).
    int32_t openPicture();
    // Looks for the 256-colour table at file offset `at`; one found replaces the colours. A
    // table that would reach into the picture's header or past the end of the file is not
    // looked for. Pictures of more than 8 bits in all have no palette, whatever follows them:
    // their pixels take the destination's own colours.
    void readTailPalette(int64_t at);
    // Draws the open picture (the PCX readFrame after opening).
    int32_t drawPicture(int32_t x, int32_t y, const Rect* clip);

  private:
    // Decoding (mImagePCXDecode.cpp).
    class Runs;
    bool decodeLine(Runs& in, uint8_t* kept, int32_t keepFrom, int32_t keepEnd) const;
    void drawDirect(Runs& in, const VisibleArea& area);
    void drawConverted(Runs& in, const VisibleArea& area, const PixelConversion& conversion);
    uint8_t* destinationRow(int32_t row) const;

    std::unique_ptr<uint8_t[]> paletteBlock;  // 256 entries, kept from the first open
};
