#include "tests/support/TempFile.h"

#include <unistd.h>
#include <atomic>
#include <fstream>

namespace testing_support {

std::string uniqueTempPath(const std::string& suffix) {
    static std::atomic<int> counter{0};
    auto dir = std::filesystem::temp_directory_path();
    return (dir / ("lumivale-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) +
                   suffix))
        .string();
}

TempFile::TempFile(std::span<const uint8_t> bytes, const std::string& suffix)
    : name(uniqueTempPath(suffix)) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

TempFile::TempFile(const std::string& text, const std::string& suffix)
    : TempFile(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), suffix) {}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(name, ignored);
}

ByteWriter& ByteWriter::u8(uint8_t v) {
    data.push_back(v);
    return *this;
}

ByteWriter& ByteWriter::u16(uint16_t v) {
    return u8(static_cast<uint8_t>(v)).u8(static_cast<uint8_t>(v >> 8));
}

ByteWriter& ByteWriter::u32(uint32_t v) {
    return u16(static_cast<uint16_t>(v)).u16(static_cast<uint16_t>(v >> 16));
}

ByteWriter& ByteWriter::tag(const char (&code)[5]) {
    for (int i = 0; i < 4; ++i)
        u8(static_cast<uint8_t>(code[i]));
    return *this;
}

ByteWriter& ByteWriter::bytes(std::span<const uint8_t> more) {
    data.insert(data.end(), more.begin(), more.end());
    return *this;
}

ByteWriter& ByteWriter::text(const std::string& s) {
    data.insert(data.end(), s.begin(), s.end());
    return *this;
}

void ByteWriter::putU32(std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        data.at(at + static_cast<std::size_t>(i)) = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace testing_support
