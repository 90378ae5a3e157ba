#pragma once
#include <array>
#include <cstdint>

#include "engine/media/mImagePCX.h"

// Reads DCX files: a table of up to 1024 page offsets, each page a PCX picture, drawn as one
// frame each. A page's 256-colour table ends where the next page starts (the last page's at
// the end of the file).
//
// Typical use: open(name, 0); openImage(); attachBitmap(&target); then for each page
// seekFrame(n, 0) and readFrame(0, 0, nullptr).
class mImageDCX : public mImagePCX {
  public:
    static constexpr uint32_t magic = 0x3ADE68B1;
    static constexpr int32_t maxPages = 1024;
    static constexpr int32_t tableBytes = 4 + maxPages * 4;

    mImageDCX();

    int32_t openImage() override;
    int32_t WriteHeader() override;
    // Draws the current page; 0 when the table cannot be read, -1 when the page cannot.
    int32_t readFrame(int32_t x, int32_t y, const Rect* clip) override;
    int32_t WriteFrame(int32_t first, int32_t second, int32_t third) override;
    // Returns the page made current, or `currentFrame` for a page past the last; a page
    // before the first is the first. A page whose offset lies inside the table or leaves no
    // room for a header is reported and cannot be drawn, as one whose header is not PCX.
    int32_t seekFrame(int32_t frame, int32_t origin) override;

    // The offset of page `page` as the table gives it.
    uint32_t pageOffset(int32_t page) const;

    int32_t tableOffset = 0;  // where the table was read; added to page offsets
    int32_t pageCount = 0;
    std::array<uint8_t, tableBytes> pageTable{};

  private:
    bool tableRead() const;
};
