#include "engine/media/mImageFlic.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/base/LittleEndian.h"
#include "engine/core/InPlaceReader.h"

namespace {

constexpr int32_t frameHeaderSize = 16;
// Pixel addressing works in 32-bit offsets: frames whose pixel memory would not fit are
// refused as if memory had run out.
constexpr int64_t largestFrameBytes = std::numeric_limits<int32_t>::max() / 2;

}  // namespace

mImageFlic::mImageFlic() {
    setBufferSizes(bufferBytes, defaultWrapSize);
}

mImageFlic::~mImageFlic() {
    if (useCount != 0) {
        reportWarning(idImageFlic, errStillInUse, nullptr);
        useCount = 0;
    }
    release();
}

void mImageFlic::release() {
    frameBitmap.reset();
    palette = nullptr;
    if (isOpen) close();
    // Closing went back to the file's default sizes.
    setBufferSizes(bufferBytes, defaultWrapSize);
    format = 0;
}

int32_t mImageFlic::frameOffset1() const {
    return static_cast<int32_t>(littleEndian::load32(header.data() + frame1Field));
}

int32_t mImageFlic::frameOffset2() const {
    return static_cast<int32_t>(littleEndian::load32(header.data() + frame2Field));
}

void mImageFlic::settleFrameOffsets() {
    for (int32_t field : {frame1Field, frame2Field}) {
        uint32_t offset = littleEndian::load32(header.data() + field);
        if (offset < headerSize || offset > static_cast<uint32_t>(fileSize)) {
            littleEndian::store32(header.data() + field, headerSize);
        }
    }
}

int32_t mImageFlic::openImage() {
    if (!isOpen || format != 0) return 0;
    header.fill(0);
    int32_t got = read(header.data(), headerSize);
    uint16_t magic = littleEndian::load16(header.data() + 4);
    int32_t headerWidth = littleEndian::load16(header.data() + 8);
    int32_t headerHeight = littleEndian::load16(header.data() + 10);
    if (got != headerSize || (magic != magicFli && magic != magicFlc) || headerWidth == 0 ||
        headerHeight == 0) {
        format = 0;
        reportError(idImageFlic, errFileType, fileName);
        release();
        return 0;
    }
    format = magic == magicFli ? formatFli : formatFlc;
    settleFrameOffsets();
    if (position != frameOffset1()) seek(frameOffset1(), 0);

    dataSize = static_cast<int32_t>(littleEndian::load32(header.data()));
    frameCount = littleEndian::load16(header.data() + 6);
    width = frameWidth = headerWidth;
    height = frameHeight = headerHeight;
    kind = 4;
    currentFrame = 0;
    frameBytes = 0;
    planes = 1;
    bitsPerPixel = littleEndian::load16(header.data() + 12);
    int64_t speed = static_cast<int32_t>(littleEndian::load32(header.data() + 16));
    int64_t time = format == formatFlc ? speed : speed * 100 / 7;
    frameTime = static_cast<int32_t>(std::clamp<int64_t>(time, std::numeric_limits<int32_t>::min(),
                                                         std::numeric_limits<int32_t>::max()));
    lastDecoded = -1;

    if (!createFrameBitmap()) {
        // Not open: no frame to seek to, as after a header of another format.
        frameCount = 0;
        release();
        return 0;
    }
    palette = frameBitmap->info->colorTable;

    stepInternally();
    currentFrame = 0;
    return 1;
}

bool mImageFlic::createFrameBitmap() {
    frameBitmap.reset();
    int64_t stride = (static_cast<int64_t>(frameWidth) + 3) / 4 * 4;
    if (stride * frameHeight > largestFrameBytes) {
        reportError(idImageFlic, errOutOfMemory, fileName);
        return false;
    }
    auto bitmap = std::make_unique<mBitmap>();
    if (!bitmap->createMemory(frameWidth, frameHeight, 8)) return false;
    if (destination) bitmap->setTopDown(destination->info->topDown != 0);
    if (transparent) bitmap->setTransparentIndex(transparentColour);
    if (remap) bitmap->setRemap(true);
    frameBitmap = std::move(bitmap);
    return true;
}

int32_t mImageFlic::WriteHeader() {
    reportError(idImageFlic, errNotImplemented, "WriteHeader()");
    return 0;
}

int32_t mImageFlic::WriteFrame(int32_t, int32_t, int32_t) {
    reportError(idImageFlic, errNotImplemented, "WriteFrame()");
    return -1;
}

int32_t mImageFlic::SetVideoDirect(int32_t) {
    return report(severityError, idImageFlic, errNotImplemented, "SetVideoDirect()");
}

int32_t mImageFlic::readFrame(int32_t x, int32_t y, const Rect* clip) {
    if (format == 0 && !openImage()) return -1;
    if (!internalStep) paletteChanged = 0;
    if (currentFrame != lastDecoded) {
        if (!decodeNextFrame()) return -1;
        lastDecoded = currentFrame;
    }
    if (autoAdvance && !internalStep && currentFrame + 1 < frameCount) currentFrame += 1;
    if (internalStep || !destination) return lastDecoded;
    copyFrame(*frameBitmap, x, y, clip);
    return lastDecoded;
}

int32_t mImageFlic::stepInternally() {
    internalStep = 1;
    int32_t result = readFrame(0, 0, nullptr);
    internalStep = 0;
    return result;
}

int32_t mImageFlic::seekFrame(int32_t frame, int32_t origin) {
    int64_t target = frame;
    if (origin == 1) {
        target += lastDecoded;
    } else if (origin == 2) {
        target = static_cast<int64_t>(frameCount) - frame;
    }
    // A frame before the first is the first, whichever origin led there.
    target = std::max<int64_t>(target, 0);
    if (target >= frameCount) return currentFrame;
    frame = static_cast<int32_t>(target);

    if (frame == lastDecoded) {
        currentFrame = frame;
        return frame;
    }
    if (frame == lastDecoded + 1) {
        currentFrame = frame;
        stepInternally();
        return frame;
    }
    // After the last frame the ring frame turns the picture back into frame 0; then decoding
    // goes on with frame 1. A file that ends without one replays from the start.
    if (frame == 0 && lastDecoded == frameCount - 1 && ringFrameFollows()) {
        currentFrame = 0;
        if (stepInternally() >= 0) {
            seek(frameOffset2(), 0);
            return 0;
        }
    }
    return replay(frame);
}

bool mImageFlic::ringFrameFollows() {
    InPlaceReader in(*this);
    return in.offset() + frameHeaderSize <= fileSize;
}

// Decodes the frames before `frame` on the reader's own behalf, forward from the frame in the
// bitmap or again from the first frame; `frame` itself is left for the next readFrame. When no
// frame could be decoded yet, replaying starts from the first frame too, so that the current
// frame never becomes -1. Returns `frame`, as every seek within range does.
int32_t mImageFlic::replay(int32_t frame) {
    if (lastDecoded >= 0 && lastDecoded < frame) {
        currentFrame = lastDecoded;
    } else {
        currentFrame = 0;
        seek(frameOffset1(), 0);
        clearFrame();
        lastDecoded = -1;
    }
    internalStep = 1;
    while (currentFrame < frame) {
        if (readFrame(0, 0, nullptr) < 0) break;
        currentFrame += 1;
    }
    changed = Rect{0, 0, frameWidth, frameHeight};
    internalStep = 0;
    return frame;
}

// The first frame may be a delta against a blank picture, as it is when the file is opened.
void mImageFlic::clearFrame() {
    if (!frameBitmap) return;
    const SurfaceInfo& surface = *frameBitmap->info;
    for (int32_t index = 0; index < surface.height; ++index) {
        std::memset(row(index), 0, static_cast<std::size_t>(surface.width));
    }
}

int32_t mImageFlic::updateRemap() {
    if (remap && destination && frameBitmap) remapActive = frameBitmap->buildRemap(destination);
    return remapActive;
}

int32_t mImageFlic::attachBitmap(mBitmap* bitmap) {
    mImageBitmap::attachBitmap(bitmap);
    if (!bitmap) return 1;
    // Before the header is read the depth is not known yet; openImage matches the orientation.
    if (format != 0 &&
        (bitmap->info->bitsPerPixel != bitsPerPixel || bitmap->info->planes != planes)) {
        reportError(idImageFlic, errBitmap, "Bitmap wrong format");
        return 0;
    }
    if (frameBitmap) frameBitmap->setTopDown(bitmap->info->topDown != 0);
    return 1;
}

int32_t mImageFlic::setTransparent(int32_t flag) {
    transparent = flag;
    if (frameBitmap) frameBitmap->setTransparent(flag != 0);
    return flag;
}

uint32_t mImageFlic::setTransparentColour(uint32_t colour) {
    transparent = 1;
    transparentColour = colour;
    if (frameBitmap) frameBitmap->setTransparentIndex(colour);
    autoTransparentColour = 0;
    return colour;
}

int32_t mImageFlic::setRemap(int32_t flag) {
    remap = flag;
    if (frameBitmap) frameBitmap->setRemap(flag != 0);
    paletteChanged = flag ? 0 : 1;
    return flag;
}
