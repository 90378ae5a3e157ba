#include "engine/sprite/mSpriteGroup.h"

#include <algorithm>
#include <array>
#include <new>
#include <string_view>

namespace {

// `rect` cut to (0, 0, width, height).
Rect clippedTo(Rect rect, int32_t width, int32_t height) {
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min(rect.right, width);
    rect.bottom = std::min(rect.bottom, height);
    return rect;
}

// The copy routines move one byte per pixel of one plane.
bool bytePixels(const SurfaceInfo& surface) {
    return surface.bitsPerPixel == 8 && surface.planes == 1;
}

}  // namespace

mSpriteGroup::mSpriteGroup() {
    currentFrame = 0;
    format = formatGroup;
    kind = 1;
    transparent = 1;
}

mSpriteGroup::mSpriteGroup(const char* name) : mSpriteGroup() {
    std::array<char, extensionSize> key{};
    fileExtension(name, key);
    if (std::string_view(key.data()) != "LOD") {
        fillFromImage(name);
        return;
    }
    // The definitions are read through the group's own file; the last frame stays current.
    if (open(name, 0)) {
        loadDefinitions(*this);
        close();
    }
}

mSpriteGroup::mSpriteGroup(const mSpriteGroup& other) : mSpriteGroup() {
    copyFrames(other);
}

mSpriteGroup& mSpriteGroup::operator=(const mSpriteGroup& other) {
    if (&other == this) return *this;
    releaseFrames();
    copyFrames(other);
    return *this;
}

// The destination's use is dropped by the image-bitmap part, with or without frames.
mSpriteGroup::~mSpriteGroup() {
    if (!first) return;
    releaseFrames();
    if (useCount != 0) {
        reportWarning(idImageBitmap, errStillInUse, nullptr);
        useCount = 0;
    }
}

void mSpriteGroup::copyFrames(const mSpriteGroup& other) {
    frameCount = other.frameCount;
    format = other.format;
    dataSize = other.dataSize;
    width = other.width;
    height = other.height;
    kind = other.kind;
    currentFrame = other.currentFrame;
    frameBytes = other.frameBytes;
    frameTime = other.frameTime;
    frameWidth = other.frameWidth;
    frameHeight = other.frameHeight;
    bitsPerPixel = other.bitsPerPixel;
    planes = other.planes;
    originX = other.originX;
    originY = other.originY;
    changed = other.changed;
    transparent = other.transparent;
    transparentColour = other.transparentColour;
    palette = other.palette;
    paletteChanged = other.paletteChanged;
    remap = other.remap;
    autoAdvance = other.autoAdvance;
    frameCount = 0;
    const Entry* entry = other.first;
    while (entry) {
        addFrame(*entry->bitmap, &entry->source, entry->originX, entry->originY, entry->time,
                 &entry->changed);
        entry = entry->next == other.first ? nullptr : entry->next;
    }
}

void mSpriteGroup::releaseFrames() {
    Entry* entry = first;
    while (entry) {
        Entry* next = entry->next == first ? nullptr : entry->next;
        entry->bitmap->useCount -= 1;
        if (entry->bitmap->useCount == 0) delete entry->bitmap;
        delete entry;
        entry = next;
    }
    first = nullptr;
    current = nullptr;
    frameCount = 0;
}

// Visits each frame bitmap once per run of entries that share it, the first entry always.
template <class Visit>
void mSpriteGroup::eachBitmap(Visit visit) {
    const Entry* entry = first;
    const mBitmap* before = nullptr;
    while (entry) {
        if (entry->bitmap != before) visit(*entry->bitmap);
        before = entry->bitmap;
        entry = entry->next == first ? nullptr : entry->next;
    }
}

void mSpriteGroup::addFrame(mBitmap& bitmap, const Rect* source, int32_t frameOriginX,
                            int32_t frameOriginY, uint32_t time, const Rect* changedArea) {
    // The rectangles are checked before anything is taken, so a refused frame leaves the
    // bitmap's use count as it was.
    const SurfaceInfo& surface = *bitmap.info;
    const Rect sourceArea = source ? clippedTo(*source, surface.width, surface.height)
                                   : Rect{0, 0, surface.width, surface.height};
    if (sourceArea.isEmpty()) {
        reportError(idImageBitmap, errBadRectangle, nullptr);
        return;
    }
    const int32_t wide = sourceArea.width();
    const int32_t high = sourceArea.height();
    const Rect changedPart =
        changedArea ? clippedTo(*changedArea, wide, high) : Rect{0, 0, wide, high};
    if (changedPart.isEmpty()) {
        reportError(idImageBitmap, errBadRectangle, nullptr);
        return;
    }
    auto* entry = new (std::nothrow) Entry;
    if (!entry) {
        reportError(idImageBitmap, errOutOfMemory, nullptr);
        return;
    }
    bitmap.useCount += 1;
    entry->bitmap = &bitmap;
    entry->source = sourceArea;
    entry->changed = changedPart;
    entry->originX = frameOriginX;
    entry->originY = frameOriginY;
    entry->time = time;

    frameCount += 1;
    width = std::max(width, wide);
    height = std::max(height, high);
    bitmap.setTransparent(transparent != 0);
    bitmap.setRemap(remap != 0);

    if (!first) {
        entry->previous = entry->next = entry;
        first = current = entry;
        currentFrame = 0;
        seekFrame(0, 1);
        return;
    }
    entry->previous = current;
    entry->next = current->next;
    current->next->previous = entry;
    current->next = entry;
    seekFrame(1, 1);
}

int32_t mSpriteGroup::openImage() {
    if (!remap) paletteChanged = 1;
    return 1;
}

int32_t mSpriteGroup::WriteHeader() {
    reportError(idImageBitmap, errNotImplemented, nullptr);
    return 0;
}

int32_t mSpriteGroup::WriteFrame(int32_t, int32_t, int32_t) {
    reportError(idImageBitmap, errNotImplemented, nullptr);
    return 0;
}

int32_t mSpriteGroup::seekFrame(int32_t offset, int32_t origin) {
    if (!current) return -1;
    int64_t step = offset;
    if (origin == 0) {
        step = int64_t{offset} - currentFrame;
    } else if (origin == 2) {
        step = int64_t{frameCount} - currentFrame - offset - 1;
    }
    // The walk stops at either end of the list; it never wraps.
    bool moved = false;
    for (int64_t left = step; left > 0 && current->next != first; --left) {
        current = current->next;
        currentFrame += 1;
        moved = true;
    }
    for (int64_t left = step; left < 0 && current != first; ++left) {
        current = current->previous;
        currentFrame -= 1;
    }

    const Entry& entry = *current;
    frameTime = static_cast<int32_t>(entry.time);
    frameWidth = entry.source.width();
    frameHeight = entry.source.height();
    originX = entry.originX;
    originY = entry.originY;
    // Only the step to the next frame may repaint part of it; any other lands on a picture
    // that has nothing in common with what was shown.
    changed = step == 1 && moved ? entry.changed : Rect{0, 0, frameWidth, frameHeight};

    const mBitmap& bitmap = *entry.bitmap;
    bitsPerPixel = bitmap.info->bitsPerPixel;
    planes = bitmap.info->planes;
    palette = bitmap.info->colorTable;
    transparentColour = bitmap.transparentIndex;
    transparent = (bitmap.drawMode & mBitmap::drawTransparent) ? 1 : 0;
    remap = (bitmap.drawMode & mBitmap::drawRemap) ? 1 : 0;
    remapActive = bitmap.remapNeeded;
    frameBytes = 0;
    return currentFrame;
}

int32_t mSpriteGroup::readFrame(int32_t x, int32_t y, const Rect* clip) {
    if (!destination || !current) return -1;
    paletteChanged = 0;
    const VisibleArea area = visibleArea(x, y, clip);
    if (area.isEmpty()) return currentFrame;
    mBitmap& bitmap = *current->bitmap;
    if (bytePixels(*bitmap.info) && bytePixels(*destination->info)) {
        bitmap.copyByDrawMode(*destination, area.target, current->source.left + area.source.left,
                              current->source.top + area.source.top);
    }
    if (!autoAdvance) return currentFrame;
    const int32_t next = currentFrame + 1 < frameCount ? currentFrame + 1 : 0;
    return seekFrame(next, 0);
}

int32_t mSpriteGroup::updateRemap() {
    if (!destination || !first) return 0;
    mBitmap& target = *destination;
    eachBitmap([&target](mBitmap& bitmap) {
        if (bitmap.drawMode & mBitmap::drawRemap) {
            bitmap.buildRemap(&target);
        } else if (target.info->colorTable) {
            // Converted once, so that later copies need no table.
            bitmap.setColorsRemap(target.info->colorTable, 0, 256);
        }
    });
    remapActive = current->bitmap->remapNeeded;
    return remapActive;
}

int32_t mSpriteGroup::setTransparent(int32_t flag) {
    transparent = flag;
    eachBitmap([flag](mBitmap& bitmap) { bitmap.setTransparent(flag != 0); });
    return flag;
}

uint32_t mSpriteGroup::setTransparentColour(uint32_t colour) {
    mImageBitmap::setTransparentColour(colour);
    if (current) current->bitmap->setTransparentIndex(colour);
    return colour;
}

int32_t mSpriteGroup::setRemap(int32_t flag) {
    remap = flag;
    eachBitmap([flag](mBitmap& bitmap) { bitmap.setRemap(flag != 0); });
    paletteChanged = flag ? 0 : 1;
    return flag;
}

void mSpriteGroup::fillFromImage(const char* name) {
    std::unique_ptr<mImageBitmap> reader = createImage(name);
    if (!reader) return;
    // A file that does not open has reported so and yields no frames.
    reader->open(name, 0);
    reader->openImage();
    for (int32_t index = 0; index < reader->frameCount; ++index) {
        if (reader->seekFrame(index, 0) != index) break;
        // Readers that decode while seeking say so there, the others while drawing.
        int32_t coloursChanged = reader->paletteChanged;
        std::unique_ptr<mBitmap> bitmap = reader->createBitmap(0);
        if (!bitmap) break;
        coloursChanged |= reader->paletteChanged;
        // A frame that changed only colours leaves the reader's rectangle empty; one whose
        // colours changed repaints whole either way.
        const Rect* changedArea =
            coloursChanged || reader->changed.isEmpty() ? nullptr : &reader->changed;
        mBitmap& added = *bitmap;
        addFrame(added, nullptr, reader->originX, reader->originY,
                 static_cast<uint32_t>(reader->frameTime), changedArea);
        // The entry holds the bitmap from now on and frees it with its last use.
        if (added.useCount > 0) static_cast<void>(bitmap.release());
    }
    reader->close();
    reader.reset();
    seekFrame(0, 0);
}

const mSpriteGroup::Entry* mSpriteGroup::frameAt(int32_t index) const {
    const Entry* entry = first;
    for (int32_t k = 0; entry && k < index; ++k) {
        entry = entry->next;
        if (entry == first) return nullptr;
    }
    return index >= 0 ? entry : nullptr;
}
