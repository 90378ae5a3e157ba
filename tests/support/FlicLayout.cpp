#include "tests/support/FlicLayout.h"

#include <fstream>
#include <iterator>

namespace testing_support {

namespace {

constexpr std::uint16_t frameType = 0xF1FA;
constexpr std::size_t headerSize = 128;
constexpr std::size_t recordHeaderSize = 16;
constexpr std::size_t chunkHeaderSize = 6;

}  // namespace

std::uint16_t le16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(le16(bytes, at)) |
           static_cast<std::uint32_t>(le16(bytes, at + 2)) << 16;
}

std::vector<std::pair<std::size_t, std::uint8_t>> wordDeltaLastPixels(
    std::span<const std::uint8_t> bytes, const FlicChunkInfo& chunk) {
    std::vector<std::pair<std::size_t, std::uint8_t>> out;
    std::size_t at = chunk.offset + chunkHeaderSize;
    std::size_t end = chunk.offset + chunk.size;
    std::size_t lines = le16(bytes, at);
    at += 2;
    std::size_t row = 0;
    while (lines > 0 && at + 2 <= end) {
        std::uint16_t word = le16(bytes, at);
        at += 2;
        if ((word & 0xC000) == 0xC000) {
            row += 0x10000u - word;
        } else if ((word & 0xC000) == 0x8000) {
            out.emplace_back(row, static_cast<std::uint8_t>(word));
        } else {
            for (std::uint16_t p = 0; p < word && at + 2 <= end; ++p) {
                auto count = static_cast<std::int8_t>(bytes[at + 1]);
                at += 2 + (count >= 0 ? 2 * static_cast<std::size_t>(count) : 2);
            }
            ++row;
            --lines;
        }
    }
    return out;
}

std::vector<const FlicRecord*> FlicLayout::frameRecords() const {
    std::vector<const FlicRecord*> out;
    for (const FlicRecord& r : records)
        if (r.type == frameType) out.push_back(&r);
    return out;
}

std::optional<FlicLayout> readFlicLayout(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < headerSize) return std::nullopt;
    FlicLayout layout;
    layout.fileSize = le32(bytes, 0);
    layout.magic = le16(bytes, 4);
    layout.frames = le16(bytes, 6);
    layout.width = le16(bytes, 8);
    layout.height = le16(bytes, 10);
    layout.depth = le16(bytes, 12);
    layout.flags = le16(bytes, 14);
    layout.speed = le32(bytes, 16);
    layout.frame1 = le32(bytes, 80);
    layout.frame2 = le32(bytes, 84);

    std::size_t at = headerSize;
    while (at < bytes.size()) {
        if (bytes.size() - at < chunkHeaderSize) return std::nullopt;
        FlicRecord record{at, le32(bytes, at), le16(bytes, at + 4), {}};
        if (record.size < chunkHeaderSize || record.size > bytes.size() - at) return std::nullopt;
        if (record.type == frameType) {
            if (record.size < recordHeaderSize) return std::nullopt;
            std::size_t chunkAt = at + recordHeaderSize;
            for (std::uint16_t n = le16(bytes, at + 6); n > 0; --n) {
                if (at + record.size - chunkAt < chunkHeaderSize) return std::nullopt;
                FlicChunkInfo chunk{chunkAt, le32(bytes, chunkAt), le16(bytes, chunkAt + 4)};
                if (chunk.size < chunkHeaderSize || chunk.size > at + record.size - chunkAt)
                    return std::nullopt;
                record.chunks.push_back(chunk);
                chunkAt += chunk.size;
            }
        }
        layout.records.push_back(std::move(record));
        at += layout.records.back().size;
    }
    return layout;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace testing_support
