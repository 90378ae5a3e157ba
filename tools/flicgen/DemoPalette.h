#pragma once
#include <array>
#include <cstdint>

#include "tools/flicgen/FlicTypes.h"

namespace flicgen {

// The one palette every animation of a saver shares: six light ramps, each running from a dim
// shade of its hue through the full hue to a white-hot core, and a loop of colours that the
// animations rotate (colour cycling). Entry 0 is black, the transparent background; entries
// outside the ramps and the loop are black too. Every component is a multiple of 4 so that
// 64-level palette chunks carry the colours exactly.
class DemoPalette {
  public:
    static constexpr int rampCount = 6;
    static constexpr int rampLevels = 32;
    static constexpr int cycleLength = 32;
    static constexpr int entryCount = rampCount * rampLevels + cycleLength;

    DemoPalette(int firstEntry, const std::array<Rgb, rampCount>& hues,
                const std::array<Rgb, cycleLength>& cycle);

    // The entry showing `light` (0 to 1) of a ramp; 0 when the light is too dim to show.
    std::uint8_t rampEntry(int ramp, float light) const;

    // The entry of a place in the colour loop; any phase, wrapped round.
    std::uint8_t cycleEntry(int phase) const;

    // The palette with the loop turned on by `shift` places: a pixel of phase p shows the
    // colour of phase p + shift, so the colours flow towards higher phases.
    Palette colours(int shift) const;

    int firstEntry() const { return first; }
    int lastEntry() const { return first + entryCount - 1; }

  private:
    int first;
    Palette base{};
};

// The palettes of the two savers. The first saver installs only its first 236 entries, so its
// colours start at entry 1; the second installs all 256, and its colours stay within entries
// 10 to 245, clear of a display's reserved colours.
namespace ideas {
enum Ramp : int { cyan, magenta, gold, green, violet, silver };
const DemoPalette& palette();
}  // namespace ideas

namespace lumi {
enum Ramp : int { amber, rose, aurora, sky, violet, pearl };
const DemoPalette& palette();
}  // namespace lumi

}  // namespace flicgen
