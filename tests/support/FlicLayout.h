#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace testing_support {

// The record structure of a FLIC file as written, for checking a writer's output without
// decoding pixels.
struct FlicChunkInfo {
    std::size_t offset = 0;  // of the chunk header
    std::uint32_t size = 0;
    std::uint16_t type = 0;
};

struct FlicRecord {
    std::size_t offset = 0;  // of the record header
    std::uint32_t size = 0;
    std::uint16_t type = 0;             // 0xF1FA for a frame
    std::vector<FlicChunkInfo> chunks;  // frames only
};

struct FlicLayout {
    std::uint32_t fileSize = 0;
    std::uint16_t magic = 0;
    std::uint16_t frames = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t depth = 0;
    std::uint16_t flags = 0;
    std::uint32_t speed = 0;
    std::uint32_t frame1 = 0;
    std::uint32_t frame2 = 0;
    std::vector<FlicRecord> records;  // every record after the header, in file order

    // The frame records only (the ring frame last).
    std::vector<const FlicRecord*> frameRecords() const;
};

// Rows and values of the last-pixel opcodes of a word-delta chunk (type 7), rows counted as
// the chunk's line skips and lines move down.
std::vector<std::pair<std::size_t, std::uint8_t>> wordDeltaLastPixels(
    std::span<const std::uint8_t> bytes, const FlicChunkInfo& chunk);

std::uint16_t le16(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t at);

// Walks the header and every record up to the end of the data. Empty when a record or chunk
// runs past the end or its size is too small to move on.
std::optional<FlicLayout> readFlicLayout(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);

}  // namespace testing_support
