// Scripted sprites ticked by the stage allocate nothing. This program counts every allocation
// made through operator new (CountingAllocator.cpp), which is why it is a test program of its
// own.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/mFile.h"
#include "engine/platform/Clock.h"
#include "engine/platform/Window.h"
#include "engine/sprite/mSprite.h"
#include "engine/stage/mDirector.h"
#include "tests/alloc/CountingAllocator.h"

using alloctest::allocations;
using alloctest::counting;

namespace {

// Every instruction but WAVEFILE, which does its work while compiling.
constexpr const char* everyInstruction =
    "LABEL 1\nFRAME 2\nADVANCEFRAME\nDELAY 100\nSPEED 100\nPOSX 5\nPOSY 6\nPOSZ 2\nMOVEX 1\n"
    "MOVEY 1\nMOVEZ 1\nHIDE\nSHOW\nSOUND 0\nSET 3\nCLEAR 1\nIF 2,2\nLABEL 2\nIFNOT 1,3\n"
    "LABEL 3\nIFFRAME 3,4\nLABEL 4\nIFHIT 5\nLABEL 5\nIFHITID 1,6\nLABEL 6\nIFHITMASK 1,7\n"
    "LABEL 7\nHITID 1\nHITMASK 1\nHITDEPTH 4\nNOP\n: 8\nGOTO 9\nLABEL 9\nENDCYCLE\nPAUSE\n"
    "LOOP 1\n";

void load(mSprite& sprite, const char* source) {
    std::vector<uint8_t> block(source, source + std::strlen(source) + 1);
    mFile file;
    file.openMemory(block.data(), static_cast<int32_t>(block.size() - 1));
    ASSERT_EQ(sprite.loadScript(file), 1);
    file.close();
}

TEST(ScriptTickAllocation, TheCounterSeesAllocations) {
    allocations = 0;
    counting = true;
    auto held = std::make_unique<int>(1);
    counting = false;
    EXPECT_EQ(allocations, 1u);
}

TEST(ScriptTickAllocation, TickingScriptedSpritesOnAStageAllocatesNothing) {
    platform::Clock::useVirtual(0);
    platform::Window window(64, 48);
    mDirector stage(window, 50);
    // Two sprites hitting each other, so that the hit instructions take their jumps.
    std::vector<std::unique_ptr<mSprite>> sprites;
    for (int i = 0; i < 2; ++i) {
        auto& sprite = sprites.emplace_back(std::make_unique<mSprite>());
        load(*sprite, everyInstruction);
        sprite->bounds = sprite->hitRect = {0, 0, 8, 8};
        sprite->interval = 100;
        stage.add(*sprite);
    }
    allocations = 0;
    counting = true;
    for (int step = 0; step < 1000; ++step) {
        platform::Clock::advance(100);
        stage.tickAll();
        stage.collide();
        for (auto& sprite : sprites) {
            if (sprite->spriteFlags & mSprite::flagPaused) sprite->resume();
        }
    }
    counting = false;
    EXPECT_EQ(allocations, 0u);
    // The scripts ran.
    for (auto& sprite : sprites) {
        EXPECT_EQ(sprite->frame, 3);
        EXPECT_EQ(sprite->x, 6);
        EXPECT_EQ(sprite->z, 3);
    }
    platform::Clock::useReal();
}

}  // namespace
