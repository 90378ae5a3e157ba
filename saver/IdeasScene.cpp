#include "saver/IdeasScene.h"

#include <array>

#include "engine/platform/Random.h"

namespace {

constexpr std::array<const char*, 7> fullFiles = {
    "Lvfin6.flc", "Cyber1.flc", "Cyber2.flc", "Cyber3.flc", "Dots01.flc", "Dots02.flc", "Xan2.flc"};

constexpr SceneSetup ideas{.title = "Lumivale Ideas",
                           .paletteFirst = 10,
                           .paletteCount = 236,
                           .beepsOnRestart = true,
                           .previewFile = "Dots01.flc",
                           .previewX = 1,
                           .previewY = 19,
                           .fullFiles = fullFiles};

}  // namespace

IdeasScene::IdeasScene() : Scene(ideas) {}

void IdeasScene::buildFull() {
    for (std::size_t i = 0; i < fullFiles.size(); ++i)
        create(i, fullFiles[i]);
    for (std::size_t i = 0; i < fullFiles.size(); ++i) {
        openImage(i);
        keepSize(i);
    }
    for (std::size_t i = 0; i < fullFiles.size(); ++i)
        attachImage(i);

    place(0, (width - imageWidth[0]) / 2, (height - imageHeight[0]) / 2, 6);
    place(1, width - imageWidth[1], height / 3, 4);
    place(2, 0, height - imageHeight[2], 4);
    place(3, width - imageWidth[3], 0, 4);
    place(6, (width - imageWidth[6]) / 2, (height - imageHeight[6]) / 2, 6);
    for (std::size_t i : {2, 3, 4, 5, 6})
        pause(i);
    for (std::size_t i = 0; i < fullFiles.size(); ++i)
        addToStage(i);
}

void IdeasScene::resetChoreography() {
    swapIndex = 0;
    swapLatch = {};
    cycleIndex = 1;
    cycleLatch = {};
    flyerActive = false;
    flyerIndex = 4;
}

void IdeasScene::choreographyPass() {
    // The central pair: the one that finished moves to a random place and the other plays.
    auto k = static_cast<std::size_t>(swapIndex);
    if (swapLatch.fires(frameOf(k))) {
        int32_t y = randomBelow(height - imageHeight[k]);
        int32_t x = randomBelow(width - imageWidth[k]);
        place(k, x, y, -1);
        std::size_t next = k == 0 ? 6 : 0;
        swapIndex = static_cast<int16_t>(next);
        pause(k);
        resume(next);
    }

    // The corners take turns.
    auto c = static_cast<std::size_t>(cycleIndex);
    if (cycleLatch.fires(frameOf(c))) {
        pause(c);
        cycleIndex = static_cast<int16_t>(cycleIndex == 3 ? 1 : cycleIndex + 1);
        resume(static_cast<std::size_t>(cycleIndex));
    }

    auto flyer = static_cast<std::size_t>(flyerIndex);
    if (flyerActive && frameOf(flyer) == 0) {
        flyerActive = false;
        pause(flyer);
    }

    // Now and then a crossing starts, from the left or from the right edge.
    int32_t r = platform::Random::next();
    if (r % 100 < 2 && !flyerActive) {
        flyerActive = true;
        int32_t s = platform::Random::next();
        flyerIndex = s % 2 == 0 ? 4 : 5;
        flyer = static_cast<std::size_t>(flyerIndex);
        int32_t z = platform::Random::next() % 6 + 3;
        int32_t y = randomBelow(height - imageHeight[flyer]);
        place(flyer, flyer == 4 ? 0 : width - imageWidth[flyer], y, z);
        resume(flyer);
    }
}
