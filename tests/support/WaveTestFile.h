#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace testing_support {

// A WAVE file for the sound tests: the "fmt " record, optional chunks in front of "data", and
// a "data" size that may lie.
struct WaveTestFile {
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t rate = 11025;
    uint16_t bits = 8;
    std::vector<uint8_t> data;
    int32_t formatBytes = 16;            // size of the "fmt " chunk written
    std::optional<uint32_t> statedSize;  // the "data" size written, when not data.size()
    bool listBeforeData = false;         // a "LIST" chunk between "fmt " and "data"
    std::vector<uint8_t> trailer;        // a chunk after "data"

    std::vector<uint8_t> bytes() const;
    // The raw form: the first `formatBytes` bytes of the record, then the data.
    std::vector<uint8_t> rawBytes() const;
};

// Bytes that differ from their neighbours, so order and offsets show in comparisons.
std::vector<uint8_t> soundPattern(std::size_t count, uint8_t seed = 0);

}  // namespace testing_support
