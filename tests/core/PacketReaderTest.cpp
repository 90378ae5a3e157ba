#include "engine/core/PacketReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "tests/support/TempFile.h"

using testing_support::TempFile;

namespace {

// Bytes 0, 1, 2, ... so that every byte tells its own offset.
std::vector<uint8_t> counting(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

TEST(PacketReader, TakesAndCopiesAcrossTheRefillsOfSmallBuffers) {
    TempFile temp(counting(200));
    for (int32_t buffer : {4, 8, 12, 64, 4096}) {
        mFile file;
        file.setBufferSizes(buffer, 4);
        ASSERT_EQ(file.open(temp.path(), 0), 1);
        InPlaceReader reader(file);
        {
            PacketReader in(reader);
            uint8_t expected = 0;
            // Takes of 1 to 4 bytes and copies of 0 to 9, so that buffer ends split all kinds.
            for (int32_t round = 0; round < 12; ++round) {
                const int32_t size = round % 4 + 1;
                const uint8_t* bytes = in.take(size);
                ASSERT_NE(bytes, nullptr) << buffer << " " << round;
                for (int32_t k = 0; k < size; ++k, ++expected) {
                    EXPECT_EQ(bytes[k], expected) << buffer << " " << round;
                }
                std::vector<uint8_t> copied(static_cast<std::size_t>(round % 10), 0xEE);
                ASSERT_TRUE(in.copy(copied.data(), static_cast<int64_t>(copied.size())));
                for (uint8_t byte : copied)
                    EXPECT_EQ(byte, expected++) << buffer << " " << round;
                ASSERT_TRUE(in.copy(nullptr, 3));
                expected = static_cast<uint8_t>(expected + 3);
            }
            EXPECT_EQ(expected, 112);
        }
        // The reader's cursor caught up: it goes on where the packets ended.
        EXPECT_EQ(reader.offset(), 112) << buffer;
        EXPECT_EQ(reader.u8(), 112) << buffer;
        EXPECT_FALSE(reader.failed());
        file.close();
    }
}

TEST(PacketReader, DataThatEndsFailsTheReadAndEveryLaterOne) {
    TempFile temp(counting(10));
    for (int32_t buffer : {4, 64}) {
        mFile file;
        file.setBufferSizes(buffer, 4);
        ASSERT_EQ(file.open(temp.path(), 0), 1);
        InPlaceReader reader(file);
        {
            PacketReader in(reader);
            ASSERT_NE(in.take(4), nullptr);
            std::vector<uint8_t> target(8, 0xEE);
            // Six bytes are left: they are copied, the rest of the target keeps its bytes.
            EXPECT_FALSE(in.copy(target.data(), 8));
            EXPECT_EQ(target, (std::vector<uint8_t>{4, 5, 6, 7, 8, 9, 0xEE, 0xEE})) << buffer;
            EXPECT_EQ(in.take(1), nullptr);
            EXPECT_FALSE(in.copy(nullptr, 1));
        }
        EXPECT_TRUE(reader.failed());
        EXPECT_EQ(reader.offset(), 10) << buffer;
        file.close();
    }
}

TEST(PacketReader, ATakePastTheEndYieldsNothing) {
    std::vector<uint8_t> bytes = counting(5);
    mFile file;
    file.openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
    InPlaceReader reader(file);
    {
        PacketReader in(reader);
        const uint8_t* first = in.take(3);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first[2], 2);
        EXPECT_EQ(in.take(3), nullptr);
        EXPECT_EQ(in.take(1), nullptr);
    }
    EXPECT_TRUE(reader.failed());
    file.close();
}

}  // namespace
