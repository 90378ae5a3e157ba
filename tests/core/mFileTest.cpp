#include "engine/core/mFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/platform/Memory.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/TempFile.h"

using platform::ReportSink;
using testing_support::ByteWriter;
using testing_support::TempFile;

namespace {

std::vector<uint8_t> pattern(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

int32_t offsetOf(const mFile& file) {
    return file.dataOffset + static_cast<int32_t>(file.cursor - file.dataStart);
}

TEST(mFileRead, ReadsAcrossSeveralRefillsLandOnTheRightBytes) {
    auto bytes = pattern(40000);
    TempFile temp(bytes);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    EXPECT_EQ(file.fileSize, 40000);

    std::vector<uint8_t> got(20000);
    ASSERT_EQ(file.read(got.data(), 3), 3);
    ASSERT_EQ(file.read(got.data() + 3, 19997), 19997);  // crosses two refills
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin()));
    EXPECT_EQ(file.position, 20000);

    for (int32_t target : {5, 39999, 8191, 8192, 20000, 0, 16384}) {
        uint8_t one = 0;
        ASSERT_EQ(file.seek(target, 0), target);
        ASSERT_EQ(file.read(&one, 1), 1) << target;
        EXPECT_EQ(one, bytes[static_cast<std::size_t>(target)]) << target;
        EXPECT_EQ(file.position, target + 1);
    }
    EXPECT_EQ(file.seek(-10, 2), 39990);
    EXPECT_EQ(file.seek(4, 1), 39994);
    file.close();
}

TEST(mFileRead, EndOfFileResults) {
    auto bytes = pattern(100);
    TempFile temp(bytes);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    std::vector<uint8_t> got(200);
    EXPECT_EQ(file.read(got.data(), 200), 100);  // runs into the end: the count copied
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), got.begin()));
    EXPECT_EQ(file.read(got.data(), 10), -1);  // nothing left after the short refill
    EXPECT_EQ(file.read(got.data(), 0), 0);
    EXPECT_EQ(file.read(nullptr, 5), 0);
    file.close();
}

TEST(mFileRead, EmptyAndMissingFiles) {
    ReportSink::Capture capture;
    TempFile empty(std::vector<uint8_t>{});
    mFile file;
    ASSERT_EQ(file.open(empty.path(), 0), 1);
    uint8_t byte = 0;
    EXPECT_EQ(file.read(&byte, 1), 0);
    EXPECT_EQ(file.read(&byte, 1), -1);
    EXPECT_EQ(file.descendRiff(mFile::fourCC("WAVE")), 0);
    const char* none[] = {"FRAME", ""};
    EXPECT_EQ(file.readKeyword(none), -1);
    file.close();
    EXPECT_EQ(capture.count(), 0u);

    EXPECT_EQ(file.open("/nonexistent/lumivale/a.flc", 0), 0);
    EXPECT_EQ(file.isOpen, 0);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mFile");
    EXPECT_EQ(reports[0].text, "File open error:/nonexistent/lumivale/a.flc");
}

TEST(mFileRead, OperationsOnAClosedFileReport) {
    ReportSink::Capture capture;
    mFile file;
    uint8_t byte = 0;
    EXPECT_EQ(file.read(&byte, 1), 0);
    EXPECT_EQ(file.fill(nullptr), nullptr);
    EXPECT_EQ(file.seek(0, 0), -1);
    EXPECT_EQ(file.write(&byte, 1), 0);
    EXPECT_EQ(capture.count(), 4u);
    auto runs = capture.runs();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].report.text, "File read error");
    EXPECT_EQ(runs[0].count, 2u);
    EXPECT_EQ(runs[1].report.text, "File seek error");
    EXPECT_EQ(runs[1].count, 1u);
    EXPECT_EQ(runs[2].report.text, "File write error");
    EXPECT_EQ(runs[2].count, 1u);
}

TEST(mFileRead, OutOfMemoryAtOpen) {
    ReportSink::Capture capture;
    TempFile temp(pattern(10));
    mFile file;
    platform::Memory::failAfter(0);
    EXPECT_EQ(file.open(temp.path(), 0), 0);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].text, std::string("Out of memory:") + temp.path());
    EXPECT_EQ(file.open(temp.path(), 0), 1);
    file.close();
}

TEST(mFileBuffer, SeekInsideValidDataDoesNoIo) {
    auto bytes = pattern(20000);
    TempFile temp(bytes);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    uint8_t byte = 0;
    file.read(&byte, 1);
    auto* start = file.dataStart;
    auto* end = file.dataEnd;
    ASSERT_EQ(file.seek(5000, 0), 5000);
    EXPECT_EQ(file.dataStart, start);
    EXPECT_EQ(file.dataEnd, end);
    EXPECT_EQ(*file.cursor, bytes[5000]);

    // The end of the valid data is outside it: the buffer is emptied and the next access refills.
    ASSERT_EQ(file.seek(8192, 0), 8192);
    EXPECT_EQ(file.cursor, file.bufferEnd);
    EXPECT_EQ(file.dataStart, file.bufferEnd);
    ASSERT_EQ(file.read(&byte, 1), 1);
    EXPECT_EQ(byte, bytes[8192]);
    file.close();
}

TEST(mFileBuffer, FillKeepsTheTailInTheWrapArea) {
    auto bytes = pattern(30000);
    TempFile temp(bytes);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    uint8_t* p = file.fill(nullptr);
    ASSERT_EQ(file.dataEnd - p, 8192);

    p = file.fill(file.dataEnd - 100);
    EXPECT_EQ(p, file.bufferStart - 100);
    EXPECT_EQ(file.dataOffset, 8092);
    EXPECT_EQ(file.position, 8092);
    EXPECT_EQ(0, std::memcmp(p, bytes.data() + 8092, 100 + 8192));

    // Decoder style: advance the cursor, then read a value across the seam.
    file.cursor = file.dataEnd - 3;
    EXPECT_EQ(offsetOf(file), 8092 + 8292 - 3);
    p = file.fill(file.cursor);
    EXPECT_EQ(0, std::memcmp(p, bytes.data() + 16381, 6));
    file.close();
}

TEST(mFileBuffer, FillReportsATailLongerThanTheWrapArea) {
    ReportSink::Capture capture;
    auto bytes = pattern(30000);
    TempFile temp(bytes);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    file.fill(nullptr);
    uint8_t* p = file.fill(file.dataEnd - 2049);
    EXPECT_EQ(p, file.bufferStart);
    EXPECT_EQ(*p, bytes[8192]);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mFile");
    EXPECT_EQ(reports[0].text, "Value out of range:Wrap Block");

    capture.clear();
    p = file.fill(file.dataEnd - 2048);  // exactly the wrap size still fits
    EXPECT_EQ(capture.count(), 0u);
    EXPECT_EQ(0, std::memcmp(p, bytes.data() + 16384 - 2048, 2048 + 8192));
    file.close();
}

TEST(mFileBuffer, SizesRoundUpAndApplyOnlyWhileClosed) {
    auto bytes = pattern(1000);
    TempFile temp(bytes);
    mFile file;
    file.setBufferSizes(10, 0);
    EXPECT_EQ(file.bufferSize, 12);
    EXPECT_EQ(file.wrapSize, 2048);
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    file.setBufferSizes(64, 64);
    EXPECT_EQ(file.bufferSize, 12);

    std::vector<uint8_t> got(1000);
    EXPECT_EQ(file.read(got.data(), 1000), 1000);  // 84 refills of 12 bytes
    EXPECT_EQ(got, bytes);
    file.close();
    EXPECT_EQ(file.bufferSize, 8192);
    file.setBufferSizes(-5, -1);
    EXPECT_EQ(file.bufferSize, 8192);
    EXPECT_EQ(file.wrapSize, 2048);
}

TEST(mFileBuffer, CallerBufferRereadsUnconsumedBytes) {
    auto bytes = pattern(50000);
    TempFile temp(bytes);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    std::vector<uint8_t> got(1000);
    file.read(got.data(), 1000);

    std::vector<uint8_t> big(4 + 32768 + 1);
    file.setBuffer(big.data(), 32768, 4);
    uint8_t* p = file.fill(nullptr);
    EXPECT_EQ(p, big.data() + 4);
    EXPECT_EQ(file.dataEnd - p, 32768);
    EXPECT_EQ(0, std::memcmp(p, bytes.data() + 1000, 32768));

    file.cursor += 10;
    file.setBuffer(nullptr, 0, 0);
    EXPECT_EQ(file.bufferSize, 8192);
    EXPECT_EQ(file.read(got.data(), 1), 1);
    EXPECT_EQ(got[0], bytes[1010]);  // the unconsumed bytes are read again
    file.close();
}

TEST(mFileBuffer, MemoryModeReadsAndSeeksWithinTheBlock) {
    auto bytes = pattern(300);
    mFile file;
    file.openMemory(bytes.data(), 300);
    EXPECT_EQ(file.modeFlags, mFile::memoryMode);
    EXPECT_EQ(file.bufferEnd, file.dataEnd + 1);
    std::vector<uint8_t> got(400);
    EXPECT_EQ(file.read(got.data(), 400), 300);
    EXPECT_EQ(file.read(got.data(), 1), -1);
    EXPECT_EQ(file.seek(299, 0), 299);
    EXPECT_EQ(*file.cursor, bytes[299]);
    EXPECT_EQ(file.seek(0, 2), 300);
    // Refilling a block keeps what was asked for and never reaches outside it.
    file.seek(250, 0);
    EXPECT_EQ(file.fill(file.cursor), bytes.data() + 250);
    EXPECT_EQ(file.fill(nullptr), file.dataEnd);
    ReportSink::Capture capture;
    EXPECT_EQ(file.seek(301, 0), -1);
    EXPECT_EQ(capture.count(), 1u);
    file.close();
    EXPECT_EQ(file.isOpen, 0);
}

// An empty vector's data is null: such a block is an empty one, with no pointer made from null.
TEST(mFileBuffer, NullMemoryBlockIsEmpty) {
    mFile file;
    file.openMemory(nullptr, 16);
    EXPECT_EQ(file.isOpen, 1);
    EXPECT_EQ(file.fileSize, 0);
    ASSERT_NE(file.cursor, nullptr);
    EXPECT_EQ(file.bufferEnd, file.dataEnd + 1);
    uint8_t got = 0;
    EXPECT_EQ(file.read(&got, 1), -1);
    EXPECT_EQ(file.descendRiff(mFile::fourCC("WAVE")), 0);
    const char* const keywords[] = {"END", ""};
    EXPECT_EQ(file.readKeyword(keywords), -1);
    file.close();
}

TEST(mFileLifetime, DestroyingAnOpenFileWarnsOnceAndCloses) {
    ReportSink::Capture capture;
    TempFile temp(pattern(10));
    {
        mFile file;
        ASSERT_EQ(file.open(temp.path(), 0), 1);
    }
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mFile");
    EXPECT_EQ(reports[0].text, std::string("File not closed:") + temp.path());
    EXPECT_EQ(reports[0].icon, ReportSink::iconExclamation);
}

TEST(mFileWrite, WriteGrowsTheFile) {
    auto path = testing_support::uniqueTempPath(".out");
    auto bytes = pattern(5000);
    {
        mFile file;
        ASSERT_EQ(file.open(path.c_str(), platform::OsFile::writeOnly | platform::OsFile::create),
                  1);
        EXPECT_EQ(file.write(bytes.data(), 3000), 3000);
        EXPECT_EQ(file.write(bytes.data() + 3000, 2000), 2000);
        EXPECT_EQ(file.fileSize, 5000);
        EXPECT_EQ(file.position, 5000);
        file.close();
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> back((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    EXPECT_EQ(back, bytes);
    std::filesystem::remove(path);
}

}  // namespace
