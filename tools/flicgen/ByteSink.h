#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace flicgen {

// Appends little-endian fields to a growing byte buffer; sizes and counts that are only known
// later are written as placeholders and patched.
class ByteSink {
  public:
    void u8(std::uint8_t value) { data.push_back(value); }
    void u16(std::uint16_t value) {
        data.push_back(static_cast<std::uint8_t>(value));
        data.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value) {
        u16(static_cast<std::uint16_t>(value));
        u16(static_cast<std::uint16_t>(value >> 16));
    }
    void zeros(std::size_t count) { data.insert(data.end(), count, 0); }
    void append(std::span<const std::uint8_t> bytes) {
        data.insert(data.end(), bytes.begin(), bytes.end());
    }

    void patchU8(std::size_t at, std::uint8_t value) { data.at(at) = value; }
    void patchU16(std::size_t at, std::uint16_t value) {
        data.at(at) = static_cast<std::uint8_t>(value);
        data.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
    }
    void patchU32(std::size_t at, std::uint32_t value) {
        patchU16(at, static_cast<std::uint16_t>(value));
        patchU16(at + 2, static_cast<std::uint16_t>(value >> 16));
    }

    std::size_t size() const { return data.size(); }
    const std::vector<std::uint8_t>& bytes() const { return data; }
    std::vector<std::uint8_t> take() { return std::move(data); }

  private:
    std::vector<std::uint8_t> data;
};

}  // namespace flicgen
