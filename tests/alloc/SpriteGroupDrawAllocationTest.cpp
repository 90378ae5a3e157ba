// Drawing frames from a sprite group is one clipped copy from a ready bitmap: after the first
// round (which may build colour tables) no draw allocates, in any draw mode.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "engine/graphics/mBitmap.h"
#include "engine/sprite/mSpriteGroup.h"
#include "tests/alloc/CountingAllocator.h"

using alloctest::allocations;
using alloctest::counting;

namespace {

std::unique_ptr<mBitmap> frameBitmap(int32_t width, int32_t height, uint8_t base) {
    auto bitmap = std::make_unique<mBitmap>(width, height, 8);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            bitmap->info->topRow[y * bitmap->info->rowStep + x] =
                static_cast<uint8_t>(base + x + y);
    return bitmap;
}

TEST(SpriteGroupDrawAllocation, DrawingFramesAllocatesNothing) {
    mBitmap target(64, 48, 8);
    std::array<RgbQuad, 256> shifted{};
    for (std::size_t i = 0; i < shifted.size(); ++i)
        shifted[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i / 2), 0, 0};
    target.setColors(shifted.data(), 0, 256);

    mSpriteGroup group;
    const Rect part{2, 2, 30, 20};
    group.addFrame(*frameBitmap(40, 30, 0).release(), nullptr, 0, 0, 50, nullptr);
    group.addFrame(*frameBitmap(40, 30, 9).release(), &part, 0, 0, 50, nullptr);
    group.addFrame(*frameBitmap(16, 16, 3).release(), nullptr, 0, 0, 50, nullptr);
    mSpriteGroup copy(group);
    copy.attachBitmap(&target);
    copy.setAutoAdvance(1);
    const Rect clip{5, 5, 50, 40};

    // The frames drawn; every draw reaches the target.
    auto drawRound = [&] {
        int32_t drawn = 0;
        for (int32_t step = 0; step < 30; ++step) {
            if (copy.readFrame(step - 10, step % 7, step % 2 ? &clip : nullptr) >= 0) ++drawn;
        }
        return drawn;
    };
    for (int32_t mode = 0; mode < 4; ++mode) {
        copy.setTransparent(mode & 1);
        copy.setRemap(mode >> 1);
        drawRound();
        int32_t drawn = 0;
        allocations = 0;
        counting = true;
        for (int round = 0; round < 100; ++round)
            drawn += drawRound();
        copy.seekFrame(0, 2);
        copy.seekFrame(-1, 1);
        counting = false;
        EXPECT_EQ(allocations, 0u) << "draw mode " << mode;
        EXPECT_EQ(drawn, 3000);
    }
    copy.attachBitmap(nullptr);
}

}  // namespace
