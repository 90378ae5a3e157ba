// The sprite definition reader over one input: a control byte chooses the buffer sizes of the
// file read; the rest is the definition text. Read from memory and from a file, the text gives
// the same result and the same frames; every frame lies inside its bitmap with a changed
// rectangle inside the frame, and only the reader's own reports appear. The image files that
// FILE lines name do not exist, so those lines report that they cannot be opened.
#include <vector>

#include "engine/core/mFile.h"
#include "engine/sprite/mSpriteGroup.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

using fuzz::check;

struct Frame {
    int32_t width = 0;
    int32_t height = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t time = 0;
    friend bool operator==(const Frame&, const Frame&) = default;
};

struct Loaded {
    int32_t result = 0;
    std::vector<Frame> frames;
};

Loaded load(mFile& source) {
    mSpriteGroup group;
    Loaded out;
    out.result = group.loadDefinitions(source);
    source.close();
    check(out.result == 0 || out.result == 1, "result neither 0 nor 1");
    for (int32_t index = 0; index < group.frameCount; ++index) {
        // A step of exactly +1 shows the frame's own changed rectangle.
        if (index == 0) {
            group.seekFrame(0, 0);
        } else {
            group.seekFrame(1, 1);
        }
        check(group.currentFrame == index, "frames out of order");
        check(group.frameWidth > 0 && group.frameHeight > 0, "empty frame");
        check(group.frameWidth <= group.width && group.frameHeight <= group.height,
              "frame larger than the group");
        const Rect& changed = group.changed;
        check(!changed.isEmpty() && changed.left >= 0 && changed.top >= 0 &&
                  changed.right <= group.frameWidth && changed.bottom <= group.frameHeight,
              "changed rectangle outside the frame");
        out.frames.push_back(
            {group.frameWidth, group.frameHeight, group.originX, group.originY, group.frameTime});
    }
    return out;
}

}  // namespace

int fuzzDefinition(const uint8_t* data, std::size_t size) {
    fuzz::ControlBytes control(data, size);
    const uint8_t mode = control.next();
    const auto text = control.rest();

    platform::ReportSink::Capture capture;
    const auto [inMemory, onDisk] =
        fuzz::readFromMemoryAndFile(text, mode, [](mFile& source, bool) { return load(source); });
    check(inMemory.result == onDisk.result && inMemory.frames == onDisk.frames,
          "memory and file read differently");
    // Every keyword takes at least five bytes of text and reports at most once.
    fuzz::checkReports(capture,
                       {{"mImageBitmap", "File type error"},
                        {"mImageBitmap", "Bad rectangle"},
                        {"mFile", "File open error"}},
                       2 * (text.size() / 5 + 1));
    return 0;
}
