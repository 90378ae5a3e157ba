#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/core/mFile.h"
#include "engine/platform/ReportSink.h"

// Contract checks of the fuzz bodies. Under the fuzzer a broken contract prints what broke and
// aborts, so that libFuzzer keeps the input; the test build installs a handler that fails the
// running test instead.
namespace fuzz {

using CheckFailure = void (*)(const char* what);
// Null restores the default: print and abort.
void setCheckFailure(CheckFailure handler);
void check(bool holds, const char* what);

// A report a reader may show: its caption and its text up to the ":" before the detail.
struct KnownReport {
    std::string_view caption;
    std::string_view text;
};

// Every captured report is one of `known`, and there are at most `limit` of them.
void checkReports(const platform::ReportSink::Capture& capture,
                  std::initializer_list<KnownReport> known, std::size_t limit);

// Hands out the control bytes at the front of an input; 0 once they are used up.
class ControlBytes {
  public:
    ControlBytes(const uint8_t* data, std::size_t size) : bytes(data, size) {}
    uint8_t next() {
        if (used >= bytes.size()) return 0;
        return bytes[used++];
    }
    // A script: a length byte (taken modulo longest + 1), then that many steps of two bytes,
    // a kind and a value.
    std::vector<std::pair<uint8_t, uint8_t>> script(int32_t longest) {
        const int32_t length = next() % (longest + 1);
        std::vector<std::pair<uint8_t, uint8_t>> steps;
        for (int32_t k = 0; k < length; ++k) {
            uint8_t kind = next();
            steps.emplace_back(kind, next());
        }
        return steps;
    }
    // What follows the control bytes taken so far.
    std::span<const uint8_t> rest() const { return bytes.subspan(used); }

  private:
    std::span<const uint8_t> bytes;
    std::size_t used = 0;
};

// A clip rectangle inside a destination of width x height from four control bytes (two corners),
// or the whole destination when `whole` is set (the bytes are taken all the same).
inline Rect clipFrom(ControlBytes& control, int32_t width, int32_t height, bool whole) {
    int32_t x1 = control.next() % (width + 1), y1 = control.next() % (height + 1);
    int32_t x2 = control.next() % (width + 1), y2 = control.next() % (height + 1);
    if (whole) return Rect{0, 0, width, height};
    return Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// Opens a run and plays a script through its steps; returns how many calls it made.
template <class Run>
std::size_t play(Run& run, const std::vector<std::pair<uint8_t, uint8_t>>& script) {
    run.open();
    for (auto [kind, value] : script)
        run.step(kind, value);
    return run.callCount();
}

// The input as a file that the buffered file layer opens by name: an anonymous in-memory file,
// so that fuzzing does not wear the disk.
class MemoryFile {
  public:
    explicit MemoryFile(std::span<const uint8_t> bytes);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const char* path() const { return name; }

  private:
    int fd = -1;
    char name[32] = {};
};

// Reads a text twice with `read(file, onDisk)`: from memory, with one spare byte behind it
// (where the keyword reader ends an argument on a last line without a line break), and from
// an in-memory file by name through buffers that `mode` sizes. Returns both results, the one
// from memory first.
template <class Read>
auto readFromMemoryAndFile(std::span<const uint8_t> text, uint8_t mode, Read read) {
    // The keyword reader's look-ahead needs this much buffer and wrap area (KeywordTarget.cpp).
    constexpr int32_t smallestBuffer = 176;
    std::vector<uint8_t> block(text.begin(), text.end());
    block.push_back(0);
    mFile inMemory;
    inMemory.openMemory(block.data(), static_cast<int32_t>(text.size()));
    auto fromMemory = read(inMemory, false);

    MemoryFile disk(text);
    mFile onDisk;
    const int32_t step = mode & 31;
    onDisk.setBufferSizes(smallestBuffer + 4 * step, smallestBuffer + 4 * (step % 4));
    check(onDisk.open(disk.path(), 0) == 1, "source file not opened");
    auto fromFile = read(onDisk, true);
    return std::pair(std::move(fromMemory), std::move(fromFile));
}

// Opens `file` on the input as the control bytes chose: reading 0 from memory (a copy kept in
// `bytes`), 1 from an in-memory file by name (kept in `disk`), 2 the same through buffers of
// the given sizes.
void openInput(mFile& file, std::span<const uint8_t> input, uint8_t reading, int32_t bufferSize,
               int32_t wrapSize, std::vector<uint8_t>& bytes, std::optional<MemoryFile>& disk);

}  // namespace fuzz
