// RIFF navigation over one input: control bytes choose memory or file reading and the buffer
// sizes, then a script of navigation, read and seek calls; the rest is the file. Each result is
// checked against the bytes: a found chunk's id and size lie in front of the cursor, a skip
// lands behind the chunk or at the container's end, reads return the file's bytes, and the
// cursor's offset and the buffer pointers stay consistent with the file.
#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

#include "engine/base/LittleEndian.h"
#include "engine/core/mFile.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

using fuzz::check;

constexpr int32_t largestScript = 48;
// The RIFF calls need 12 bytes in one piece: the smallest buffers and wrap areas that give them.
constexpr int32_t smallestBuffer = 12;

constexpr std::array<uint32_t, 16> codes{
    mFile::fourCC("RIFF"), mFile::fourCC("LIST"), mFile::fourCC("WAVE"), mFile::fourCC("AVI "),
    mFile::fourCC("PAL "), mFile::fourCC("data"), mFile::fourCC("fmt "), mFile::fourCC("JUNK"),
    mFile::fourCC("movi"), mFile::fourCC("hdrl"), mFile::fourCC("strl"), mFile::fourCC("idx1"),
    mFile::fourCC("avih"), mFile::fourCC("strh"), mFile::fourCC("strf"), mFile::fourCC("rec "),
};

int32_t clamped(int64_t offset) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(offset, 0, std::numeric_limits<int32_t>::max()));
}

class RiffRun {
  public:
    RiffRun(uint8_t mode, std::span<const uint8_t> file) : bytes(file.begin(), file.end()) {
        if ((mode & 1) == 0) {
            riff.openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
        } else {
            disk.emplace(file);
            if (mode & 2) {
                riff.setBufferSizes(smallestBuffer + 4 * ((mode >> 2) % 8),
                                    smallestBuffer + 4 * ((mode >> 5) % 4));
            }
            riff.open(disk->path(), 0);
        }
        check(riff.isOpen == 1, "input not opened");
    }
    ~RiffRun() { riff.close(); }
    RiffRun(const RiffRun&) = delete;
    RiffRun& operator=(const RiffRun&) = delete;

    void step(uint8_t kind, uint8_t value) {
        const int64_t before = offset();
        const int32_t depth = riff.chunkDepth;
        const uint32_t code = codes[value % codes.size()];
        switch (kind % 8) {
            case 0:
                descendRiff(code, before);
                break;
            case 1:
                descendList(code, depth);
                break;
            case 2:
                findChunk(code, before);
                break;
            case 3:
                skipChunk(before);
                break;
            case 4: {
                int32_t expected = std::min(riff.chunkEnd, riff.fileSize);
                check(riff.ascendChunk() == expected && offset() == expected,
                      "ascendChunk did not land at the chunk's end");
                break;
            }
            case 5: {
                int32_t expected = containerEnd();
                check(riff.ascendList() == expected && offset() == expected,
                      "ascendList did not land at the container's end");
                check(riff.chunkDepth == std::max(depth - 1, 0), "ascendList depth");
                break;
            }
            case 6:
                read(value, before);
                break;
            default:
                seek(kind / 8 % 3, value, before);
                // A file's seek may go past its end (seek has checked where it landed).
                limit = std::max(limit, offset());
                break;
        }
        checkState(std::max<int64_t>(limit, before));
    }

  private:
    int64_t offset() const { return riff.dataOffset + (riff.cursor - riff.dataStart); }
    int32_t containerEnd() const {
        return std::min(riff.chunkEnds[static_cast<std::size_t>(riff.chunkDepth)], riff.fileSize);
    }
    std::optional<uint32_t> word(int64_t at) const {
        if (at < 0 || at + 4 > static_cast<int64_t>(bytes.size())) return std::nullopt;
        return littleEndian::load32(bytes.data() + at);
    }

    void descendRiff(uint32_t form, int64_t before) {
        if (riff.descendRiff(form)) {
            int64_t at = offset();
            check(
                at == before + 12 && word(at - 12) == mFile::fourCC("RIFF") && word(at - 4) == form,
                "descendRiff entered something else than the form");
            check(riff.chunkDepth == 0 && riff.chunkEnds[0] == clamped(int64_t{*word(at - 8)} + 8),
                  "descendRiff did not record the form's end");
        } else {
            check(offset() == before, "a failed descendRiff moved the cursor");
        }
    }

    void descendList(uint32_t type, int32_t depth) {
        if (riff.descendList(type)) {
            int64_t at = offset();
            check(word(at - 12) == mFile::fourCC("LIST") && word(at - 4) == type,
                  "descendList entered something else than the list");
            check(riff.chunkDepth == depth + 1 &&
                      riff.chunkEnds[static_cast<std::size_t>(riff.chunkDepth)] == riff.chunkEnd,
                  "descendList did not record the list's end");
        } else {
            check(riff.chunkDepth == depth, "a failed descendList changed the depth");
        }
    }

    void findChunk(uint32_t id, int64_t before) {
        if (riff.findChunk(id)) {
            int64_t at = offset();
            check(at - 8 >= before && at <= containerEnd(),
                  "findChunk found a chunk outside the container");
            check(word(at - 8) == id, "findChunk found another id");
            uint32_t size = *word(at - 4);
            check(riff.chunkSize == static_cast<int32_t>(std::min<uint32_t>(
                                        size, std::numeric_limits<int32_t>::max())),
                  "findChunk's size is not the chunk's");
            check(riff.chunkEnd == clamped(at + size + (size & 1)),
                  "findChunk's end is not the chunk's");
        } else {
            check(offset() == containerEnd(), "a failed findChunk is not at the container's end");
        }
    }

    void skipChunk(int64_t before) {
        if (riff.skipChunk()) {
            uint32_t size = word(before + 4).value_or(0);
            check(offset() == before + 8 + size + (size & 1) && offset() <= containerEnd(),
                  "skipChunk did not land behind the chunk");
        } else {
            check(offset() == containerEnd(), "a failed skipChunk is not at the container's end");
        }
    }

    void read(int32_t count, int64_t before) {
        std::vector<uint8_t> out(static_cast<std::size_t>(count) + 1, 0);
        int32_t result = riff.read(out.data(), count);
        auto size = static_cast<int64_t>(bytes.size());
        if (count == 0) {
            check(result == 0, "an empty read read something");
        } else if (before >= size) {
            check(result == 0 || result == -1, "a read at the end read something");
        } else {
            check(result == std::min<int64_t>(count, size - before), "read returned a wrong count");
            check(std::equal(out.begin(), out.begin() + result, bytes.begin() + before),
                  "read returned other bytes than the file's");
            check(offset() == before + result && riff.position == offset(),
                  "read left the cursor elsewhere");
        }
    }

    void seek(int32_t origin, uint8_t value, int64_t before) {
        int32_t distance = origin == 0 ? 2 * value : static_cast<int8_t>(value);
        int64_t target = distance;
        if (origin == 1) target += before;
        if (origin == 2) target += riff.fileSize;
        int32_t result = riff.seek(distance, origin);
        if (target >= 0 && target <= riff.fileSize) {
            check(result == target && offset() == target, "seek within the file missed");
        } else if (target < 0 || (riff.modeFlags & mFile::memoryMode)) {
            check(result == -1 && offset() == before, "a seek outside the file succeeded");
        } else {
            check(result == -1 || (result == target && offset() == target),
                  "a seek past the end landed elsewhere");
        }
    }

    // The buffer pointers keep their order, and the bytes around the cursor are the file's.
    void checkState(int64_t end) {
        check(riff.reserveStart <= riff.dataStart && riff.dataStart <= riff.cursor &&
                  riff.cursor <= riff.dataEnd && riff.dataEnd <= riff.bufferEnd,
              "buffer pointers out of order");
        int64_t at = offset();
        check(at >= 0 && at <= std::max<int64_t>(riff.fileSize, end), "cursor outside the file");
        check(riff.chunkDepth >= 0 && riff.chunkDepth < mFile::maxChunkDepth,
              "chunk depth out of range");
        const uint8_t* from = std::max(riff.dataStart, riff.cursor - 16);
        const uint8_t* to = std::min(riff.dataEnd, riff.cursor + 16);
        for (const uint8_t* p = from; p < to; ++p) {
            int64_t fileOffset = riff.dataOffset + (p - riff.dataStart);
            check(fileOffset >= 0 && fileOffset < static_cast<int64_t>(bytes.size()) &&
                      *p == bytes[static_cast<std::size_t>(fileOffset)],
                  "buffered byte is not the file's");
        }
    }

    std::vector<uint8_t> bytes;
    std::optional<fuzz::MemoryFile> disk;
    mFile riff;
    int64_t limit = 0;  // the furthest a seek past the end has gone
};

}  // namespace

int fuzzRiff(const uint8_t* data, std::size_t size) {
    fuzz::ControlBytes control(data, size);
    const uint8_t mode = control.next();
    const auto script = control.script(largestScript);
    const auto file = control.rest();
    if (file.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return 0;

    platform::ReportSink::Capture capture;
    {
        RiffRun run(mode, file);
        for (auto [kind, value] : script)
            run.step(kind, value);
    }
    // A failed seek reports once; every call makes at most one.
    fuzz::checkReports(capture, {{"mFile", "File seek error"}}, script.size());
    return 0;
}
