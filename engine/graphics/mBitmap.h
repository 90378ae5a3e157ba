#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/base/BitmapInfoHeader.h"
#include "engine/base/Rect.h"
#include "engine/base/RgbQuad.h"
#include "engine/core/mObject.h"

namespace platform {
class DeviceContext;
class MemoryContext;
class Palette;
class Section;
}  // namespace platform

// How a bitmap's pixels lie in memory. Pixel (x, y) of the displayed picture is the byte at
// topRow + y × rowStep + x, whichever way round the rows are stored.
struct SurfaceInfo {
    int32_t width = 1;
    int32_t height = 1;
    int32_t bitsPerPixel = 8;
    int32_t planes = 1;
    int32_t stride = 1;
    int32_t rowStep = 1;
    int32_t topDown = 1;
    uint8_t* bits = nullptr;
    uint8_t* topRow = nullptr;
    RgbQuad* colorTable = nullptr;  // 2^bitsPerPixel meaningful entries, room for 256
    int32_t paletteSerial = 0;      // raised at every change of the colour table
};

// The engine's pixel surface: a palettised bitmap with its own colour table, held as a section
// (paintable through its memory device context), a memory bitmap (header, colours and pixels
// in one block), or attached over a header and pixels that someone else owns.
class mBitmap : public virtual mObject {
  public:
    // drawMode bits, selecting the copy routine.
    static constexpr uint32_t drawTransparent = 1;
    static constexpr uint32_t drawRemap = 2;

    mBitmap();
    mBitmap(int32_t width, int32_t height, int32_t bitsPerPixel);  // memory bitmap
    mBitmap(int32_t width, int32_t height);                        // 8-bit section
    mBitmap(const mBitmap& other);
    mBitmap& operator=(const mBitmap& other);
    ~mBitmap() override;

    int32_t createMemory(int32_t width, int32_t height, int32_t bitsPerPixel);
    int32_t createSection(int32_t width, int32_t height, int32_t bitsPerPixel);
    int32_t attachPixels(BitmapInfoHeader* attachedHeader, uint8_t* pixels);
    void release();

    void setColors(const RgbQuad* entries, int32_t start, int32_t count);
    void setTransparentIndex(uint32_t index);
    void setTransparent(bool on);
    void setRemap(bool on);
    void setTopDown(bool wanted);

    // Palettes.
    std::unique_ptr<platform::Palette> createPalette() const;
    std::unique_ptr<platform::Palette> createIdentityPalette(bool remapPixels);
    int32_t nearestColor(RgbQuad rgb) const;
    void setColorsRemap(const RgbQuad* entries, int32_t start, int32_t count);
    static int32_t loadDefaultColours(RgbQuad* out);

    // Blitters. The four copies do not clip: the rectangle lies inside the destination and its
    // counterpart from (sourceX, sourceY) inside this bitmap.
    void copyOpaque(mBitmap& destination, const Rect& rect, int32_t sourceX, int32_t sourceY) const;
    void copyTransparent(mBitmap& destination, const Rect& rect, int32_t sourceX,
                         int32_t sourceY) const;
    void copyRemapped(mBitmap& destination, const Rect& rect, int32_t sourceX, int32_t sourceY);
    void copyTransparentRemapped(mBitmap& destination, const Rect& rect, int32_t sourceX,
                                 int32_t sourceY);
    // The copy drawMode selects (0 to 3; any other mode copies nothing), under the same terms
    // as the four copies. Image sources that clip for themselves copy their frames with it.
    void copyByDrawMode(mBitmap& destination, const Rect& rect, int32_t sourceX, int32_t sourceY);
    int32_t buildRemap(mBitmap* destination);
    void blit(mBitmap& destination, const Rect& rect, int32_t sourceX, int32_t sourceY);
    void fillRects(uint8_t colorIndex, const Rect* rects, int32_t count);
    void draw(platform::DeviceContext& dc, const Rect& rect, int32_t sourceX,
              int32_t sourceY) const;

    SurfaceInfo surface;
    SurfaceInfo* info = &surface;  // always the embedded description

    uint32_t transparentIndex = 0;  // its low byte is the key of transparent copies
    uint32_t drawMode = 0;
    uint8_t* remapTable = nullptr;  // one destination index per source index
    int32_t remapNeeded = 0;        // 0 while the remap table is the identity

    std::unique_ptr<platform::MemoryContext> memoryDC;  // sections only
    BitmapInfoHeader* header = nullptr;                 // memory and attached bitmaps
    std::unique_ptr<uint8_t[]> memoryHandle;            // colour table, or header + table + pixels
    std::size_t memorySize = 0;                         // bytes in memoryHandle
    std::unique_ptr<platform::Section> section;
    platform::Section* previousBitmap = nullptr;   // what memoryDC held before the section
    const BitmapInfoHeader* bitmapInfo = nullptr;  // what StretchDIBits reads
    std::unique_ptr<uint8_t[]> remapHandle;        // holds remapTable
    std::array<uint8_t, 4> placeholderPixels{};
    uint32_t remapSerial = 0;        // destination paletteSerial the remap table was built for
    mBitmap* remapTarget = nullptr;  // destination it was built for; null forces a rebuild
    // The table and the colours of both sides when it was built: a change of a few colours
    // then refreshes only the entries it can affect.
    struct RemapBasis {
        std::array<uint8_t, 256> table{};
        std::array<RgbQuad, 256> source{};
        std::array<RgbQuad, 256> destination{};
        std::size_t sourceColours = 0;
        std::size_t destinationColours = 0;
    };
    std::unique_ptr<RemapBasis> remapBasis;

  private:
    bool refreshRemap(const mBitmap& destination, std::span<const RgbQuad> sourceColours,
                      std::span<const RgbQuad> destinationColours, const RemapBasis& basis,
                      std::span<uint8_t, 256> table) const;
    void resetState();
    // Takes other's form, size, colours, pixels, key and mode.
    void copyFrom(const mBitmap& other);
    // The current colours where there is a table, the default colours elsewhere.
    std::array<RgbQuad, 256> currentColours() const;
    // Points topRow at the displayed top row for the current orientation.
    void placeTopRow();
};
