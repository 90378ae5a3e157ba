#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "engine/platform/Clock.h"
#include "engine/platform/HugePages.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Random.h"
#include "engine/platform/ReportSink.h"

namespace {

TEST(Random, MatchesTheClassicGeneratorFromSeedOne) {
    platform::Random::seed(1);
    // state = state * 214013 + 2531011, result = bits 16..30, computed by hand from seed 1.
    std::vector<int32_t> expected;
    uint32_t state = 1;
    for (int i = 0; i < 5; ++i) {
        state = state * 214013u + 2531011u;
        expected.push_back(static_cast<int32_t>((state >> 16) & 0x7fff));
    }
    EXPECT_EQ(expected[0], 41);
    EXPECT_EQ(expected[1], 18467);
    EXPECT_EQ(expected[2], 6334);
    for (int32_t value : expected)
        EXPECT_EQ(platform::Random::next(), value);
}

TEST(Random, ReseedingRestartsTheSequence) {
    platform::Random::seed(7);
    int32_t a = platform::Random::next();
    int32_t b = platform::Random::next();
    platform::Random::seed(7);
    EXPECT_EQ(platform::Random::next(), a);
    EXPECT_EQ(platform::Random::next(), b);
}

TEST(Clock, VirtualClockMovesOnlyBySleepingAndAdvancing) {
    platform::Clock::useVirtual(0xfffffff0u);
    EXPECT_EQ(platform::Clock::now(), 0xfffffff0u);
    platform::Clock::sleep(0x20);
    EXPECT_EQ(platform::Clock::now(), 0x10u);  // wraps like the 32-bit counter
    platform::Clock::advance(5);
    EXPECT_EQ(platform::Clock::now(), 0x15u);
    platform::Clock::useReal();
    EXPECT_FALSE(platform::Clock::isVirtual());
}

TEST(Clock, SleepHookSeesEachVirtualSleep) {
    std::vector<uint32_t> seen;
    platform::Clock::useVirtual(100);
    platform::Clock::setSleepHook([&](uint32_t now) { seen.push_back(now); });
    platform::Clock::sleep(50);
    platform::Clock::advance(7);  // not a sleep
    platform::Clock::sleep(0);
    platform::Clock::setSleepHook(nullptr);
    platform::Clock::sleep(1);
    platform::Clock::useReal();
    EXPECT_EQ(seen, (std::vector<uint32_t>{150, 157}));
}

TEST(Memory, FailAfterFailsExactlyOneAllocation) {
    platform::Memory::failAfter(1);
    auto first = platform::Memory::allocate(16);
    auto second = platform::Memory::allocate(16);
    auto third = platform::Memory::allocate(16);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third[15], 0);
}

// Pictures of half a huge page or more start on a huge-page boundary; every picture is zero
// whatever the memory held before, and the test double's failures count pictures too.
TEST(Memory, PicturesAreZeroAndLargeOnesStartOnHugePages) {
    constexpr std::size_t stage = 1920 * 1080;
    for (int round = 0; round < 2; ++round) {
        auto large = platform::Memory::allocatePicture(stage);
        auto small = platform::Memory::allocatePicture(640);
        ASSERT_NE(large, nullptr);
        ASSERT_NE(small, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(large.get()) % platform::hugePageBytes, 0u);
        EXPECT_EQ(std::count(large.get(), large.get() + stage, 0), static_cast<long>(stage));
        EXPECT_EQ(std::count(small.get(), small.get() + 640, 0), 640);
        // Dirty memory for the next round to be given again.
        std::fill_n(large.get(), stage, 0xA5);
        std::fill_n(small.get(), 640, 0xA5);
    }
    platform::Memory::failAfter(0);
    EXPECT_EQ(platform::Memory::allocatePicture(stage), nullptr);
    EXPECT_NE(platform::Memory::allocatePicture(stage), nullptr);
}

TEST(ReportSink, NestedCapturesAndHook) {
    platform::ReportSink::Capture outer;
    std::vector<std::string> boxed;
    platform::ReportSink::setBoxHook(
        [&](const platform::Report& r) { boxed.push_back(r.caption); });
    {
        platform::ReportSink::Capture inner;
        std::thread([] { platform::ReportSink::show("t", "from thread", 0x10); }).join();
        EXPECT_EQ(inner.count(), 1u);
    }
    platform::ReportSink::show("t", "after", 0x30);
    platform::ReportSink::setBoxHook(nullptr);
    ASSERT_EQ(outer.count(), 1u);
    EXPECT_EQ(outer.reports()[0].caption, "after");
    EXPECT_EQ(boxed, (std::vector<std::string>{"from thread", "after"}));
}

}  // namespace
