#pragma once
#include <cstdint>
#include <memory>
#include <span>

#include "engine/base/Rect.h"
#include "engine/media/mImageBitmap.h"

// An image source whose frames are rectangles cut from the frames of other images, decoded
// once when the group is filled. Each frame keeps one use of its bitmap, so groups copied from
// one another share the pixels. A group is filled from one image file (every frame whole) or
// from a sprite definition file that names image files and the rectangles to take from them.
// Drawing a frame is one clipped copy from its bitmap.
//
// Typical use: mSpriteGroup group("walk.lod"); group.attachBitmap(&back);
// group.seekFrame(2, 0); group.readFrame(x, y, nullptr);
class mSpriteGroup : public mImageBitmap {
  public:
    static constexpr uint32_t formatGroup = fourCC("BMAP");
    static constexpr int32_t extensionSize = 4;  // three characters and the terminating zero

    mSpriteGroup();
    // Filled from an image file, or from a sprite definition file for the key "LOD".
    explicit mSpriteGroup(const char* fileName);
    // Shares the other group's frame bitmaps.
    mSpriteGroup(const mSpriteGroup& other);
    mSpriteGroup& operator=(const mSpriteGroup& other);
    ~mSpriteGroup() override;

    // The extension key of a file name (of a path: its last part): up to three characters
    // after its first dot, ASCII letters upper-cased; empty without a dot.
    static void fileExtension(const char* fileName, std::span<char, extensionSize> key);
    // A new, unopened reader for the name's extension, or null (reported for an unknown key).
    std::unique_ptr<mImageBitmap> createImage(const char* fileName);

    // Reads definition lines from the file's cursor on: 1 at "END" or the end of the text, 0
    // on an error or when the file is not open.
    int32_t loadDefinitions(mFile& file);
    // Appends a frame cut from `bitmap` (whole when `source` is null) and makes it current;
    // `changedArea` is relative to the frame (whole when null). The entry holds a use of the
    // bitmap and deletes it with the last use: a caller that keeps the bitmap holds one too.
    void addFrame(mBitmap& bitmap, const Rect* source, int32_t frameOriginX, int32_t frameOriginY,
                  uint32_t time, const Rect* changedArea);

    // One frame: a rectangle of a shared bitmap, in a circular list in frame order.
    struct Entry {
        mBitmap* bitmap = nullptr;  // one use held on it
        Rect source;
        Rect changed;  // relative to the source rectangle's top-left corner
        int32_t originX = 0;
        int32_t originY = 0;
        uint32_t time = 0;
        uint32_t reserved = 0;
        Entry* previous = nullptr;
        Entry* next = nullptr;
    };

    // Frame `index` as it was added, for tools that list a group; null past the last frame.
    const Entry* frameAt(int32_t index) const;

    int32_t openImage() override;
    int32_t WriteHeader() override;
    int32_t readFrame(int32_t x, int32_t y, const Rect* clip) override;
    int32_t WriteFrame(int32_t first, int32_t second, int32_t third) override;
    // Steps to another frame without wrapping; returns the new index, -1 when empty.
    int32_t seekFrame(int32_t offset, int32_t origin) override;
    int32_t updateRemap() override;
    int32_t setTransparent(int32_t flag) override;
    uint32_t setTransparentColour(uint32_t colour) override;
    int32_t setRemap(int32_t flag) override;

  private:
    void fillFromImage(const char* fileName);
    void copyFrames(const mSpriteGroup& other);
    void releaseFrames();
    // Calls visit(mBitmap&) for each frame bitmap in list order, skipping an entry whose
    // bitmap is the one of the entry before it.
    template <class Visit>
    void eachBitmap(Visit visit);

    Entry* first = nullptr;
    Entry* current = nullptr;
};
