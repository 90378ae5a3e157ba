#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/base/BitmapInfoHeader.h"
#include "engine/base/Rect.h"
#include "engine/base/RgbQuad.h"

namespace platform {

class Palette;
class Section;

// What the drawing calls target. This base is a context on the screen with no pixels of its
// own (what the screen's context is used for: palettes and capabilities); memory contexts and
// pixel surfaces derive from it and say how they store what is drawn into them.
class DeviceContext {
  public:
    DeviceContext() = default;
    virtual ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Returns the palette selected before (null for the default palette). The palette must
    // outlive its selection.
    const Palette* selectPalette(const Palette* palette, bool background);
    const Palette* selectedPalette() const { return palette; }

    // Maps the selected palette onto the system palette when this context is on the display;
    // returns the system palette slots it changed.
    uint32_t realizePalette();

    // Copies a block from the section selected into `source` (a copy, no raster operations).
    // False when `source` holds no section.
    bool bitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const DeviceContext& source,
                int32_t sourceX, int32_t sourceY);

    // Copies (and scales) a block of a device-independent bitmap whose colour table of RGB
    // entries follows `info` at info->size bytes. (sourceX, sourceY) counts from the top-left
    // of the displayed picture for either row order. Returns the rows copied, 0 on failure.
    int32_t stretchDIBits(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceX,
                          int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                          const void* bits, const BitmapInfoHeader* info);

    virtual const Section* selectedSection() const { return nullptr; }
    virtual bool isDisplay() const { return true; }

    // The pixels this context writes to; a bare screen context has none.
    virtual int32_t width() const { return 0; }
    virtual int32_t height() const { return 0; }

  protected:
    // A stored value for each of 256 source colours; by default what the display shows for
    // it through the selected palette.
    virtual void translate(std::span<const RgbQuad, 256> colours,
                           std::array<uint32_t, 256>& values) const;

    // Stores `values`, area.width() per row, top row first; `area` lies inside the target.
    virtual void writePixels(const Rect& area, std::span<const uint32_t> values);
    // Stores 8-bit pixels as values[pixel], straight into the target's memory: row y of `area`
    // from `first` + (y − area.top) × `step`, its leftmost pixel first. False when the target
    // keeps no such memory; the copy then goes through writePixels.
    virtual bool storeIndexed(const Rect& area, const uint8_t* first, std::ptrdiff_t step,
                              const std::array<uint32_t, 256>& values);
    // A copy stored all of `area` (in one or more writePixels).
    virtual void written(const Rect& area);
    // The most pixels a copy stores at a time.
    static constexpr std::size_t bandPixels = 16384;

  private:
    struct Source;
    int32_t transfer(const Source& source, int32_t x, int32_t y, int32_t width, int32_t height,
                     int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight);

    const Palette* palette = nullptr;
    bool background = false;
};

}  // namespace platform
