#include "tests/support/WaveTestFile.h"

#include "tests/support/TempFile.h"

namespace testing_support {
namespace {

ByteWriter formatRecord(const WaveTestFile& file) {
    ByteWriter record;
    uint16_t align = static_cast<uint16_t>(file.channels * file.bits / 8);
    record.u16(file.formatTag).u16(file.channels).u32(file.rate).u32(file.rate * align);
    record.u16(align).u16(file.bits);
    record.data.resize(static_cast<std::size_t>(file.formatBytes), 0);
    return record;
}

}  // namespace

std::vector<uint8_t> WaveTestFile::bytes() const {
    ByteWriter out;
    out.tag("RIFF").u32(0).tag("WAVE");
    ByteWriter record = formatRecord(*this);
    out.tag("fmt ").u32(static_cast<uint32_t>(formatBytes)).bytes(record.data);
    if (formatBytes & 1) out.u8(0);
    if (listBeforeData) out.tag("LIST").u32(9).tag("INFO").text("junk!").u8(0);
    out.tag("data").u32(statedSize.value_or(static_cast<uint32_t>(data.size()))).bytes(data);
    if (data.size() & 1) out.u8(0xAA);
    out.bytes(trailer);
    out.putU32(4, static_cast<uint32_t>(out.size() - 8));
    return out.data;
}

std::vector<uint8_t> WaveTestFile::rawBytes() const {
    ByteWriter out = formatRecord(*this);
    out.bytes(data);
    return out.data;
}

std::vector<uint8_t> soundPattern(std::size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251 + seed);
    return bytes;
}

}  // namespace testing_support
