#include "tests/support/AviClip.h"

namespace testing_support {

std::vector<std::uint8_t> rgbOf(const mBitmap& picture, const RgbQuad* palette) {
    const SurfaceInfo& info = *picture.info;
    std::vector<std::uint8_t> out;
    for (std::int32_t y = 0; y < info.height; ++y) {
        const std::uint8_t* row = info.topRow + std::ptrdiff_t{y} * info.rowStep;
        for (std::int32_t x = 0; x < info.width; ++x) {
            const RgbQuad& colour = palette[row[x]];
            out.insert(out.end(), {colour.red, colour.green, colour.blue});
        }
    }
    return out;
}

AviClip::AviClip(const std::filesystem::path& path) {
    if (avi.mFile::open(path.c_str(), 0) != 1 || avi.openImage() != 1) return;
    if (!target.createMemory(avi.width, avi.height, 8)) return;
    avi.attachBitmap(&target);
    opened = true;
}

std::int32_t AviClip::read() {
    return avi.readFrame(0, 0, nullptr);
}

std::optional<std::vector<std::vector<std::uint8_t>>> decodeClip(
    const std::filesystem::path& path) {
    AviClip clip(path);
    if (!clip.isOpen()) return std::nullopt;
    clip.avi.setAutoAdvance(1);
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::int32_t k = 0; k < clip.avi.frameCount; ++k) {
        if (clip.read() != k) return std::nullopt;
        frames.push_back(clip.rgb());
    }
    return frames;
}

}  // namespace testing_support
