#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/mFile.h"
#include "engine/platform/ReportSink.h"
#include "tests/support/TempFile.h"

using testing_support::ByteWriter;
using testing_support::TempFile;

namespace {

constexpr uint32_t cc(const char (&code)[5]) {
    return mFile::fourCC(code);
}

int32_t offsetOf(const mFile& file) {
    return file.dataOffset + static_cast<int32_t>(file.cursor - file.dataStart);
}

// RIFF "TEST": "aaaa"(3 bytes, padded), LIST "othr" { "zzzz" }, LIST "want" { "bbbb", LIST "deep"
// { "cccc" } }, "dddd"(4 bytes).
std::vector<uint8_t> nestedRiff() {
    ByteWriter w;
    w.tag("RIFF").u32(0).tag("TEST");
    w.tag("aaaa").u32(3).u8(1).u8(2).u8(3).u8(0);
    w.tag("LIST").u32(4 + 12).tag("othr").tag("zzzz").u32(4).u32(0x5a5a5a5a);
    std::size_t want = w.size();
    w.tag("LIST").u32(0).tag("want").tag("bbbb").u32(2).u16(0xbbbb);
    w.tag("LIST").u32(4 + 12).tag("deep").tag("cccc").u32(4).u32(0xcccccccc);
    w.putU32(want + 4, static_cast<uint32_t>(w.size() - want - 8));
    w.tag("dddd").u32(4).u32(0xdddddddd);
    w.putU32(4, static_cast<uint32_t>(w.size() - 8));
    return w.data;
}

TEST(mFileRiff, WalksNestedListsAndChunks) {
    auto bytes = nestedRiff();
    TempFile temp(bytes);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    ASSERT_EQ(file.descendRiff(cc("TEST")), 1);
    EXPECT_EQ(file.chunkEnds[0], static_cast<int32_t>(bytes.size()));

    ASSERT_EQ(file.findChunk(cc("aaaa")), 1);
    EXPECT_EQ(file.chunkSize, 3);
    EXPECT_EQ(file.chunkEnd, 12 + 8 + 4);  // odd size padded to even
    EXPECT_EQ(file.cursor[0], 1);
    file.ascendChunk();

    // The list of another type is passed over whole.
    ASSERT_EQ(file.descendList(cc("want")), 1);
    EXPECT_EQ(file.chunkDepth, 1);
    ASSERT_EQ(file.findChunk(cc("bbbb")), 1);
    file.ascendChunk();
    ASSERT_EQ(file.descendList(cc("deep")), 1);
    EXPECT_EQ(file.chunkDepth, 2);
    ASSERT_EQ(file.findChunk(cc("cccc")), 1);
    EXPECT_EQ(file.cursor[0], 0xcc);
    file.ascendList();
    file.ascendList();
    EXPECT_EQ(file.chunkDepth, 0);
    ASSERT_EQ(file.findChunk(cc("dddd")), 1);
    EXPECT_EQ(file.cursor[3], 0xdd);
    EXPECT_EQ(file.ascendChunk(), static_cast<int32_t>(bytes.size()));
    file.close();
}

TEST(mFileRiff, AbsentChunkLeavesTheCursorAtTheContainerEnd) {
    // "dddd" directly follows the list "want"; a LIST "extr" follows the form, outside the size
    // the form states.
    ByteWriter w;
    w.bytes(nestedRiff()).tag("LIST").u32(4 + 12).tag("extr").tag("dddd").u32(4).u32(0);
    TempFile temp(w.data);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    ASSERT_EQ(file.descendRiff(cc("TEST")), 1);
    ASSERT_EQ(file.descendList(cc("want")), 1);
    int32_t listData = offsetOf(file);
    int32_t listEnd = file.chunkEnds[1];
    EXPECT_EQ(file.findChunk(cc("none")), 0);
    EXPECT_EQ(offsetOf(file), listEnd);
    EXPECT_EQ(file.findChunk(cc("dddd")), 0);
    EXPECT_EQ(offsetOf(file), listEnd);

    ASSERT_EQ(file.seek(listData, 0), listData);
    ASSERT_EQ(file.descendList(cc("deep")), 1);
    EXPECT_EQ(file.findChunk(cc("dddd")), 0);
    EXPECT_EQ(offsetOf(file), listEnd);  // the inner list ends with the outer one
    file.ascendList();
    file.ascendList();

    int32_t formEnd = file.chunkEnds[0];
    ASSERT_EQ(file.findChunk(cc("dddd")), 1);
    file.ascendChunk();
    EXPECT_EQ(offsetOf(file), formEnd);
    EXPECT_EQ(file.descendList(cc("extr")), 0);
    EXPECT_EQ(offsetOf(file), formEnd);
    EXPECT_EQ(file.findChunk(cc("LIST")), 0);
    EXPECT_EQ(offsetOf(file), formEnd);
    file.close();
}

TEST(mFileRiff, WrongFormOrNotRiff) {
    auto bytes = nestedRiff();
    TempFile temp(bytes);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    EXPECT_EQ(file.descendRiff(cc("WAVE")), 0);
    EXPECT_EQ(file.chunkEnds[0], static_cast<int32_t>(bytes.size()));  // set all the same
    file.close();

    TempFile text(std::string("not a riff file at all"));
    ASSERT_EQ(file.open(text.path(), 0), 1);
    EXPECT_EQ(file.descendRiff(cc("WAVE")), 0);
    file.close();
    EXPECT_EQ(file.descendRiff(cc("WAVE")), 0);  // closed: no report, no crash
}

TEST(mFileRiff, TruncatedAndLyingSizesEndTheSearch) {
    platform::ReportSink::Capture capture;
    auto bytes = nestedRiff();
    // A chunk size far beyond the file, then the file cut in the middle of a header.
    ByteWriter w;
    w.tag("RIFF").u32(0xfffffff0u).tag("TEST").tag("huge").u32(0x7ffffff0u).u32(1);
    TempFile lying(w.data);
    mFile file;
    ASSERT_EQ(file.open(lying.path(), 0), 1);
    ASSERT_EQ(file.descendRiff(cc("TEST")), 1);
    EXPECT_EQ(file.findChunk(cc("none")), 0);
    EXPECT_EQ(file.findChunk(cc("huge")), 0);
    file.close();

    for (std::size_t cut : {std::size_t{6}, std::size_t{14}, std::size_t{27}, bytes.size() - 10}) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        TempFile truncated(part);
        ASSERT_EQ(file.open(truncated.path(), 0), 1);
        if (file.descendRiff(cc("TEST"))) {
            EXPECT_EQ(file.findChunk(cc("dddd")), 0) << cut;
            EXPECT_EQ(file.descendList(cc("want")), 0) << cut;
        }
        file.close();
    }
}

using Walk = std::function<std::vector<int32_t>(mFile&)>;

// Runs `walk` over the bytes, in memory or from a file, on a thread of its own and appends the
// cursor's file offset to its results. Gives up after seconds or a flood of reports, so that a
// walk that never ends fails the test instead of hanging it.
std::optional<std::vector<int32_t>> walkBounded(std::vector<uint8_t> bytes, bool inMemory,
                                                Walk walk,
                                                const platform::ReportSink::Capture& capture) {
    auto task = std::make_shared<std::packaged_task<std::vector<int32_t>()>>(
        [bytes = std::move(bytes), inMemory, walk]() mutable {
            mFile file;
            std::optional<TempFile> temp;
            if (inMemory) {
                file.openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
            } else {
                temp.emplace(bytes);
                file.open(temp->path(), 0);
            }
            auto results = walk(file);
            results.push_back(offsetOf(file));
            file.close();
            return results;
        });
    auto outcome = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    for (int wait = 0; wait < 500 && capture.count() < 100; ++wait) {
        if (outcome.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready)
            return outcome.get();
    }
    return std::nullopt;
}

// A RIFF form of the stated size 100, holding `inside` and nothing more.
std::vector<uint8_t> shortRiff(const char (&form)[5], const std::vector<uint8_t>& inside) {
    ByteWriter w;
    w.tag("RIFF").u32(100).tag(form).bytes(inside);
    return w.data;
}

TEST(mFileRiff, SizesBeyondTheDataEndEverySearchAtTheDataEnd) {
    ByteWriter junk;  // claims 50 bytes, holds 4
    junk.tag("JUNK").u32(50).u32(0);
    ByteWriter otherList;  // claims 60 bytes, holds 4
    otherList.tag("LIST").u32(60).tag("othr").u32(0);
    ByteWriter wantList;
    wantList.tag("LIST").u32(60).tag("want").bytes(junk.data);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        Walk walk;
        std::vector<int32_t> expected;  // the results, then the cursor's offset
    };
    const Case cases[] = {
        {"find past a chunk",
         shortRiff("WAVE", junk.data),
         [](mFile& f) {
             return std::vector{f.descendRiff(cc("WAVE")), f.findChunk(cc("data"))};
         },
         {1, 0, 24}},
        {"pass a list",
         shortRiff("TEST", otherList.data),
         [](mFile& f) {
             return std::vector{f.descendRiff(cc("TEST")), f.descendList(cc("want"))};
         },
         {1, 0, 28}},
        {"find in a list",
         shortRiff("TEST", wantList.data),
         [](mFile& f) {
             return std::vector{f.descendRiff(cc("TEST")), f.descendList(cc("want")),
                                f.findChunk(cc("data"))};
         },
         {1, 1, 0, 36}},
        {"leave a list",
         shortRiff("TEST", wantList.data),
         [](mFile& f) {
             return std::vector{f.descendRiff(cc("TEST")), f.descendList(cc("want")),
                                f.ascendList(), f.findChunk(cc("data"))};
         },
         {1, 1, 36, 0, 36}},
        {"leave a chunk",
         shortRiff("WAVE", junk.data),
         [](mFile& f) {
             return std::vector{f.descendRiff(cc("WAVE")), f.findChunk(cc("JUNK")), f.ascendChunk(),
                                f.findChunk(cc("data"))};
         },
         {1, 1, 24, 0, 24}},
    };
    for (const Case& c : cases) {
        for (bool inMemory : {true, false}) {
            platform::ReportSink::Capture capture;
            std::string name = std::string(c.name) + (inMemory ? " in memory" : " on disk");
            auto results = walkBounded(c.bytes, inMemory, c.walk, capture);
            EXPECT_EQ(results, c.expected) << name;
            EXPECT_EQ(capture.count(), 0u) << name;
        }
    }
}

TEST(mFileRiff, ReadsARealWaveFile) {
    mFile file;
    std::string path = std::string(LUMIVALE_TESTDATA) + "/wav/ff_u8_mono_11025.wav";
    ASSERT_EQ(file.open(path.c_str(), 0), 1);
    ASSERT_EQ(file.descendRiff(cc("WAVE")), 1);
    ASSERT_EQ(file.findChunk(cc("fmt ")), 1);
    EXPECT_EQ(file.chunkSize, 16);
    uint8_t format[16];
    ASSERT_EQ(file.read(format, 16), 16);
    EXPECT_EQ(format[0] | format[1] << 8, 1);      // PCM
    EXPECT_EQ(format[4] | format[5] << 8, 11025);  // samples per second
    file.ascendChunk();
    ASSERT_EQ(file.descendList(cc("INFO")), 1);
    file.ascendList();
    ASSERT_EQ(file.findChunk(cc("data")), 1);
    EXPECT_EQ(file.chunkSize, 5513);
    EXPECT_EQ(file.chunkEnd, file.fileSize);  // the odd data size is padded by one byte
    file.close();
}

TEST(mFileRiff, NestingDeeperThanTheTableIsRefused) {
    ByteWriter w;
    w.tag("RIFF").u32(0).tag("TEST");
    std::vector<std::size_t> starts;
    for (int i = 0; i < 12; ++i) {
        starts.push_back(w.size());
        w.tag("LIST").u32(0).tag("nest");
    }
    for (std::size_t start : starts)
        w.putU32(start + 4, static_cast<uint32_t>(w.size() - start - 8));
    w.putU32(4, static_cast<uint32_t>(w.size() - 8));
    TempFile temp(w.data);
    mFile file;
    ASSERT_EQ(file.open(temp.path(), 0), 1);
    ASSERT_EQ(file.descendRiff(cc("TEST")), 1);
    int entered = 0;
    while (file.descendList(cc("nest")))
        ++entered;
    EXPECT_EQ(entered, mFile::maxChunkDepth - 1);
    EXPECT_EQ(file.chunkDepth, mFile::maxChunkDepth - 1);
    file.close();
}

}  // namespace
