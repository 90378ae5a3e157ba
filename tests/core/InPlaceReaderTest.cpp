#include "engine/core/InPlaceReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/TempFile.h"

using testing_support::ByteWriter;
using testing_support::TempFile;

namespace {

// Fields of every width at every alignment, so that small buffers split some of them.
ByteWriter mixedFields() {
    ByteWriter bytes;
    for (uint32_t round = 0; round < 12; ++round) {
        bytes.u8(static_cast<uint8_t>(0xA0 + round))
            .u32(0x89ABCDEFu ^ round * 0x01010101u)
            .u16(static_cast<uint16_t>(0xF00D + round))
            .u32(round);
    }
    return bytes;
}

void readMixedFields(InPlaceReader& in) {
    for (uint32_t round = 0; round < 12; ++round) {
        EXPECT_EQ(in.u8(), 0xA0 + round) << round;
        EXPECT_EQ(in.le32(), 0x89ABCDEFu ^ round * 0x01010101u) << round;
        EXPECT_EQ(in.le16(), 0xF00D + round) << round;
        EXPECT_EQ(in.le32(), round) << round;
    }
    EXPECT_FALSE(in.failed());
}

TEST(InPlaceReaderFields, ReadLittleEndianValuesAndAdvance) {
    ByteWriter bytes;
    bytes.u8(0xFE).u16(0x8001).u32(0xDEADBEEF).u16(0x00FF);
    mFile file;
    file.openMemory(bytes.data.data(), static_cast<int32_t>(bytes.size()));
    InPlaceReader in(file);
    EXPECT_EQ(in.u8(), 0xFE);
    EXPECT_EQ(in.le16(), 0x8001);
    EXPECT_EQ(in.offset(), 3);
    EXPECT_EQ(in.le32(), 0xDEADBEEFu);
    EXPECT_EQ(in.le16(), 0x00FF);
    EXPECT_EQ(in.offset(), 9);
    EXPECT_FALSE(in.failed());
    file.close();
}

TEST(InPlaceReaderFields, ReadAcrossTheRefillsOfSmallBuffers) {
    ByteWriter bytes = mixedFields();
    TempFile temp(bytes.data);
    for (int32_t buffer : {4, 8, 12, 64}) {
        mFile file;
        file.setBufferSizes(buffer, 4);
        ASSERT_EQ(file.open(temp.path(), 0), 1);
        InPlaceReader in(file);
        readMixedFields(in);
        EXPECT_EQ(in.offset(), static_cast<int64_t>(bytes.size())) << buffer;
        EXPECT_TRUE(in.atEnd());
        EXPECT_FALSE(in.failed());
        file.close();
    }
}

TEST(InPlaceReaderFields, AShortReadFailsThatAndEveryLaterRead) {
    ByteWriter bytes;
    bytes.u32(0x04030201).u16(0x0605);
    TempFile temp(bytes.data);
    for (int32_t buffer : {4, 64}) {
        mFile file;
        file.setBufferSizes(buffer, 4);
        ASSERT_EQ(file.open(temp.path(), 0), 1);
        InPlaceReader in(file);
        EXPECT_EQ(in.le32(), 0x04030201u);
        EXPECT_EQ(in.le32(), 0u);  // two bytes left
        EXPECT_TRUE(in.failed());
        const int64_t stopped = in.offset();
        EXPECT_EQ(in.u8(), 0);
        EXPECT_EQ(in.le16(), 0);
        EXPECT_EQ(in.take(0), nullptr);
        EXPECT_EQ(in.offset(), stopped);
        EXPECT_TRUE(in.failed());
        file.close();
    }
}

TEST(InPlaceReaderFields, AfterAFailureBytesThatAreThereAreNotRead) {
    TempFile temp(std::vector<uint8_t>(InPlaceReader::maxTake + 8, 0x5A));
    mFile file;
    file.setBufferSizes(64, 4);
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    InPlaceReader in(file);
    EXPECT_EQ(in.u8(), 0x5A);
    // Larger than the buffer and the scratch block: not served, and nothing is consumed.
    EXPECT_EQ(in.take(InPlaceReader::maxTake + 1), nullptr);
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.offset(), 1);
    EXPECT_EQ(in.u8(), 0);
    EXPECT_EQ(in.le32(), 0u);
    std::vector<uint8_t> target(4, 0);
    EXPECT_FALSE(in.copy(target.data(), 4));
    EXPECT_EQ(target, std::vector<uint8_t>(4, 0));
    EXPECT_EQ(in.offset(), 1);
    file.close();
}

TEST(InPlaceReaderFields, ACopyThatRunsOutFailsTheFieldsAfterIt) {
    ByteWriter bytes;
    bytes.u16(0x1234).u8(9);
    mFile file;
    file.openMemory(bytes.data.data(), static_cast<int32_t>(bytes.size()));
    InPlaceReader in(file);
    EXPECT_EQ(in.le16(), 0x1234);
    std::vector<uint8_t> target(4, 0);
    EXPECT_FALSE(in.copy(target.data(), 4));
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.u8(), 0);
    file.close();
}

}  // namespace
