#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace platform {

// One colour of a logical palette, in the platform's order: red, green, blue, flags.
struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
static_assert(sizeof(PaletteEntry) == 4);

// A logical palette: the colours a program asks the display for. Selected into a device
// context and realised, its entries are mapped onto slots of the display's system palette.
class Palette {
  public:
    static constexpr uint8_t reserved = 0x01;    // may be animated; never shared with others
    static constexpr uint8_t noCollapse = 0x04;  // takes a slot of its own
    static constexpr std::size_t maxEntries = 256;

    // Null when `entries` is empty or longer than 256.
    static std::unique_ptr<Palette> create(std::span<const PaletteEntry> entries);
    ~Palette();
    Palette(const Palette&) = delete;
    Palette& operator=(const Palette&) = delete;

    uint32_t size() const;
    PaletteEntry entry(uint32_t index) const;

    // Copies entries from `start` into `out`, as many as fit and exist; returns the count.
    uint32_t entries(uint32_t start, std::span<PaletteEntry> out) const;

    // Gives the entries from `start` the colours of `replacement`, skipping every entry that
    // was not created reserved; flags stay. While this palette is realised in the foreground of
    // a palette display, the system palette changes with it, and so do the colours of pixels
    // already shown. Returns the entries changed.
    uint32_t animate(uint32_t start, std::span<const PaletteEntry> replacement);

    // Only create() makes palettes.
    class Key {
        friend class Palette;
        Key() = default;
    };
    Palette(Key, std::span<const PaletteEntry> entries);

  private:
    friend class Display;

    // Guarded by the display's lock: read while converting pixels for the screen.
    std::vector<PaletteEntry> colours;
    mutable std::array<uint8_t, maxEntries> systemSlot{};  // logical index -> system slot
    mutable bool realised = false;
};

}  // namespace platform
