#include <algorithm>

#include "engine/graphics/DefaultColors.h"
#include "engine/graphics/mBitmap.h"

int32_t mBitmap::loadDefaultColors(RgbQuad* out) {
    std::transform(DefaultColors::table.begin(), DefaultColors::table.end(), out,
                   [](const DefaultColors::Entry& entry) {
                       return RgbQuad{entry.blue, entry.green, entry.red, 0};
                   });
    return 0;
}
