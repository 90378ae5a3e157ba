#include "saver/LumivaleScene.h"

#include <array>

namespace {

constexpr std::array<const char*, 3> fullFiles = {"SSaver11.flc", "SSaver06.flc", "SSaver13.flc"};

constexpr SceneSetup lumivale{.title = "Lumivale",
                              .paletteFirst = 0,
                              .paletteCount = 256,
                              .beepsOnRestart = false,
                              .previewFile = "Setupimg.flc",
                              .previewX = 0,
                              .previewY = 0,
                              .fullFiles = fullFiles};

}  // namespace

LumivaleScene::LumivaleScene() : Scene(lumivale) {}

void LumivaleScene::buildFull() {
    for (std::size_t i = 0; i < fullFiles.size(); ++i)
        create(i, fullFiles[i]);
    // A header that does not read leaves its size, and the later ones, unset.
    for (std::size_t i = 0; i < fullFiles.size(); ++i) {
        if (!openImage(i)) break;
        keepSize(i);
    }
    for (std::size_t i = 0; i < fullFiles.size(); ++i)
        attachImage(i);

    place(0, (width - imageWidth[0]) / 2, (height - imageHeight[0]) / 2, 4);
    place(1, width * 43 / 80, height / 2, 2);
    place(2, (width - imageWidth[2]) / 2, 0, 6);
    for (std::size_t i = 0; i < fullFiles.size(); ++i)
        addToStage(i);
}

void LumivaleScene::resetChoreography() {
    dropY = 0;
    dropLatch = {};
}

void LumivaleScene::choreographyPass() {
    // The jumper moves on every pass that finds it on its first frame.
    if (frameOf(1) == 0) {
        int32_t y = randomBelow(height - imageHeight[1]);
        int32_t x = randomBelow(width - imageWidth[1]);
        place(1, x, y, -1);
    }
    // The dropper steps down by its own height after each play, and starts over at the top.
    if (dropLatch.fires(frameOf(2))) {
        if (height - 2 * imageHeight[2] < dropY) {
            dropY = 0;
        } else {
            dropY = static_cast<int16_t>(dropY + imageHeight[2] + 1);
        }
        place(2, (width - imageWidth[2]) / 2, dropY, -1);
    }
}
