#include "tools/lumivale-play/GroupCommands.h"

#include <array>
#include <cstdio>
#include <filesystem>

#include "engine/graphics/mBitmap.h"
#include "engine/sprite/mSpriteGroup.h"
#include "saver/host/PngWriter.h"
#include "tools/lumivale-play/FrameDecoder.h"

namespace {

// A group filled from the file; false when it got no frame (the engine has said why).
bool filled(const mSpriteGroup& group, const std::string& path) {
    if (group.frameCount > 0) return true;
    std::fprintf(stderr, "lumivale-play: %s gives no frame\n", path.c_str());
    return false;
}

}  // namespace

int printGroupInfo(const std::string& path) {
    mSpriteGroup group(path.c_str());
    if (!filled(group, path)) return 1;
    for (int32_t index = 0; index < group.frameCount; ++index) {
        const mSpriteGroup::Entry& frame = *group.frameAt(index);
        std::printf("frame=%d width=%d height=%d origin=%d,%d time=%u changed=%d,%d,%d,%d\n", index,
                    frame.source.width(), frame.source.height(), frame.originX, frame.originY,
                    frame.time, frame.changed.left, frame.changed.top, frame.changed.right,
                    frame.changed.bottom);
    }
    return 0;
}

int dumpGroupFrames(const std::string& folder, const std::string& path) {
    mBitmap picture;  // declared first: the group holds a use on it until the group goes
    mSpriteGroup group(path.c_str());
    if (!filled(group, path)) return 1;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // Whole frames: key colours are written as the colours they are.
    group.setTransparent(0);
    for (int32_t index = 0; index < group.frameCount; ++index) {
        group.seekFrame(index, 0);
        if (!picture.createMemory(group.frameWidth, group.frameHeight, 8)) return 1;
        group.attachBitmap(&picture);
        group.readFrame(0, 0, nullptr);
        if (group.palette) {
            picture.setColors(group.palette, 0, 256);
        } else {
            std::array<RgbQuad, 256> defaults{};
            mBitmap::loadDefaultColours(defaults.data());
            picture.setColors(defaults.data(), 0, 256);
        }
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%04d.png", index);
        if (!PngWriter::write(folder + name, group.frameWidth, group.frameHeight,
                              pictureRgb(picture))) {
            std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), name);
            return 1;
        }
    }
    std::printf("%d frames written to %s\n", group.frameCount, folder.c_str());
    return 0;
}
