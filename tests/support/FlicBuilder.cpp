#include "tests/support/FlicBuilder.h"

#include <algorithm>

#include "tests/support/TempFile.h"

namespace testing_support {

FlicBuilder::FlicBuilder(uint16_t magicValue, uint16_t widthValue, uint16_t heightValue,
                         int32_t speedValue)
    : magic(magicValue), width(widthValue), height(heightValue), speed(speedValue) {}

std::vector<uint8_t> FlicBuilder::chunk(uint16_t type, std::span<const uint8_t> payload,
                                        std::optional<uint32_t> statedSize) {
    ByteWriter out;
    std::size_t size = 6 + payload.size() + (payload.size() % 2);
    out.u32(statedSize.value_or(static_cast<uint32_t>(size))).u16(type).bytes(payload);
    if (payload.size() % 2) out.u8(0);
    return out.data;
}

std::vector<uint8_t> FlicBuilder::palette(uint8_t first, std::span<const uint8_t> rgb) {
    ByteWriter out;
    auto colours = rgb.size() / 3;
    out.u16(1).u8(first).u8(static_cast<uint8_t>(colours == 256 ? 0 : colours)).bytes(rgb);
    return chunk(4, out.data);
}

std::vector<uint8_t> FlicBuilder::byteRun(uint16_t rowWidth, std::span<const uint8_t> pixels) {
    ByteWriter out;
    for (std::size_t row = 0; row * rowWidth < pixels.size(); ++row) {
        out.u8(0);
        for (std::size_t x = 0; x < rowWidth;) {
            auto run = std::min<std::size_t>(127, rowWidth - x);
            out.u8(static_cast<uint8_t>(-static_cast<int>(run)));
            out.bytes(pixels.subspan(row * rowWidth + x, run));
            x += run;
        }
    }
    return chunk(15, out.data);
}

std::vector<uint8_t> FlicBuilder::setPixel(int16_t x, int16_t y, uint8_t value) {
    ByteWriter out;
    out.u16(static_cast<uint16_t>(y)).u16(1).u8(1);
    out.u8(static_cast<uint8_t>(x)).u8(1).u8(value);
    return chunk(12, out.data);
}

FlicBuilder& FlicBuilder::frame(std::initializer_list<std::vector<uint8_t>> chunks,
                                std::optional<uint16_t> statedChunks) {
    ByteWriter out;
    std::size_t size = 16;
    for (const auto& c : chunks)
        size += c.size();
    out.u32(static_cast<uint32_t>(size)).u16(0xF1FA);
    out.u16(statedChunks.value_or(static_cast<uint16_t>(chunks.size())));
    out.u32(0).u32(0);
    for (const auto& c : chunks)
        out.bytes(c);
    return raw(out.data);
}

FlicBuilder& FlicBuilder::raw(std::span<const uint8_t> bytes) {
    body.insert(body.end(), bytes.begin(), bytes.end());
    return *this;
}

FlicBuilder& FlicBuilder::offsets(uint32_t frame1, uint32_t frame2) {
    offset1 = frame1;
    offset2 = frame2;
    return *this;
}

std::vector<uint8_t> FlicBuilder::build(uint16_t frames) const {
    ByteWriter out;
    out.u32(static_cast<uint32_t>(128 + body.size())).u16(magic).u16(frames);
    out.u16(width).u16(height).u16(8).u16(0).u32(static_cast<uint32_t>(speed));
    out.data.resize(80, 0);
    out.u32(offset1).u32(offset2);
    out.data.resize(128, 0);
    out.bytes(body);
    return out.data;
}

}  // namespace testing_support
