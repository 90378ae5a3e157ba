#include "tools/lumivale-play/FrameDecoder.h"

#include <array>

#include "engine/media/mImageFlic.h"
#include "tools/lumivale-play/ImageFiles.h"

FrameDecoder::~FrameDecoder() {
    if (image && image->isOpen) image->close();
}

bool FrameDecoder::open(const std::string& path) {
    image = readerFor(path);
    if (!image) return false;
    extension = extensionKey(path);
    if (!image->open(path.c_str(), 0) || !image->openImage()) return false;
    if (!isPicture()) {
        // An animation is shown from the reader's own frame bitmap, with its colours: copying
        // each frame out would cost as much as decoding it.
        image->setTransparent(0);
        image->setRemap(0);
        // Rows in file order: frames are decoded from the top row down, and walking memory
        // forwards is what the processor's prefetching follows best.
        static_cast<mImageFlic&>(*image).frameBitmap->setTopDown(true);
        return true;
    }
    if (!target.createMemory(image->width, image->height, 8)) return false;
    return image->attachBitmap(&target) != 0;
}

const mBitmap& FrameDecoder::picture() const {
    if (isPicture()) return target;
    return *static_cast<const mImageFlic&>(*image).frameBitmap;
}

const char* FrameDecoder::formatName() const {
    if (!isPicture()) return image->format == mImageFlic::formatFli ? "FLI" : "FLC";
    return extension.c_str();
}

bool FrameDecoder::isPicture() const {
    return image->format != mImageFlic::formatFli && image->format != mImageFlic::formatFlc;
}

std::string FrameDecoder::paletteKind() const {
    if (!image->palette) return "none (drawn in the default colours)";
    if (isPicture() && depth() * planes() <= 4)
        return std::to_string(1 << depth() * planes()) + " colours";
    return "256 colours";
}

bool FrameDecoder::decode(int32_t index) {
    if (image->seekFrame(index, 0) < 0) return false;
    if (!isPicture()) return image->readFrame(0, 0, nullptr) >= 0;
    // Pages of one file may differ in size.
    if (target.info->width != image->width || target.info->height != image->height) {
        if (!target.createMemory(image->width, image->height, 8)) return false;
        image->attachBitmap(&target);
    }
    if (image->readFrame(0, 0, nullptr) < 0) return false;
    if (image->palette) {
        target.setColors(image->palette, 0, 256);
    } else {
        std::array<RgbQuad, 256> defaults{};
        mBitmap::loadDefaultColours(defaults.data());
        target.setColors(defaults.data(), 0, 256);
    }
    return true;
}

std::vector<uint8_t> FrameDecoder::rgb() const {
    return pictureRgb(picture());
}

std::vector<uint8_t> pictureRgb(const mBitmap& picture) {
    const SurfaceInfo& info = *picture.info;
    std::vector<uint8_t> out;
    out.reserve(static_cast<std::size_t>(info.width) * static_cast<std::size_t>(info.height) * 3);
    for (int32_t y = 0; y < info.height; ++y) {
        const uint8_t* row = info.topRow + std::ptrdiff_t{y} * info.rowStep;
        for (int32_t x = 0; x < info.width; ++x) {
            const RgbQuad& colour = info.colorTable[row[x]];
            out.push_back(colour.red);
            out.push_back(colour.green);
            out.push_back(colour.blue);
        }
    }
    return out;
}
