// The default-palette resource: the input is the "PALETTE" resource of the string module, read
// by loadDefaultColours. The colours it gives are the resource's "data" entries, found the way
// RIFF navigation finds them, over an untouched rest of the table, or, when the resource holds
// no usable entries, the built-in default colours; no report is shown.
#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/core/mFile.h"
#include "engine/graphics/DefaultColours.h"
#include "engine/graphics/mBitmap.h"
#include "engine/platform/Module.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

using Colours = std::array<RgbQuad, 256>;
constexpr RgbQuad untouched{1, 2, 3, 0x55};

// The colours the resource gives, over `out`; nothing when it gives none. A walk of its own:
// the "PAL " form's chunks in order, each within the form and the data, up to "data".
bool expectedColours(std::span<const uint8_t> bytes, Colours& out) {
    auto size = static_cast<int64_t>(bytes.size());
    auto word = [&](int64_t at) { return littleEndian::load32(bytes.data() + at); };
    if (size < 12 || word(0) != mFile::fourCC("RIFF") || word(8) != mFile::fourCC("PAL "))
        return false;
    int64_t end =
        std::min<int64_t>({int64_t{word(4)} + 8, size, std::numeric_limits<int32_t>::max()});
    for (int64_t at = 12; at + 8 <= end;) {
        uint32_t chunkSize = word(at + 4);
        if (word(at) == mFile::fourCC("data")) {
            int64_t data = at + 8;
            int64_t available = std::min<int64_t>(
                std::min<uint32_t>(chunkSize, std::numeric_limits<int32_t>::max()), size - data);
            if (available < 4) return false;
            int64_t count = std::min<int64_t>(
                {littleEndian::load16(bytes.data() + data + 2), 256, (available - 4) / 4});
            for (int64_t i = 0; i < count; ++i) {
                const uint8_t* entry = bytes.data() + data + 4 + 4 * i;
                out[static_cast<std::size_t>(i)] = {entry[2], entry[1], entry[0], 0};
            }
            return true;
        }
        at += 8 + int64_t{chunkSize} + (chunkSize & 1);
        if (at > end) return false;
    }
    return false;
}

// Makes `module` the string module for the length of a call, as a program sets its own.
class StringModule {
  public:
    explicit StringModule(const platform::Module& module) : previous(mObject::stringModule) {
        mObject::stringModule = &module;
    }
    ~StringModule() { mObject::stringModule = previous; }
    StringModule(const StringModule&) = delete;
    StringModule& operator=(const StringModule&) = delete;

  private:
    const platform::Module* previous;
};

}  // namespace

int fuzzPalette(const uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return 0;
    std::span<const uint8_t> bytes(data, size);
    platform::Module module;
    module.addResource("PALETTE", "default", std::vector<uint8_t>(bytes.begin(), bytes.end()));

    Colours expected;
    expected.fill(untouched);
    if (!expectedColours(bytes, expected)) DefaultColours::copyTo(expected.data());

    Colours colours;
    colours.fill(untouched);
    platform::ReportSink::Capture capture;
    {
        StringModule use(module);
        fuzz::check(mBitmap::loadDefaultColours(colours.data()) == 0, "loadDefaultColours failed");
    }
    fuzz::check(colours == expected, "colours are not the resource's or the defaults");
    fuzz::checkReports(capture, {}, 0);
    return 0;
}
