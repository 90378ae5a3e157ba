#include "tests/support/PcxBuilder.h"

#include <algorithm>

namespace testing_support {

namespace {

void put16(std::vector<uint8_t>& out, std::size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

std::vector<uint8_t> pcxWithData(const PcxPicture& picture, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    out.reserve(128 + data.size() + 769);
    out.resize(128);
    out[0] = picture.manufacturer;
    out[1] = 5;
    out[2] = picture.encoding;
    out[3] = picture.bitsPerPixel;
    put16(out, 4, picture.xmin);
    put16(out, 6, picture.ymin);
    put16(out, 8, static_cast<uint32_t>(picture.xmin + picture.width - 1));
    put16(out, 10, static_cast<uint32_t>(picture.ymin + picture.height - 1));
    std::copy(picture.headerColours.begin(), picture.headerColours.end(), out.begin() + 16);
    out[65] = picture.planes;
    put16(out, 66, picture.bytesPerLine);
    out.insert(out.end(), data.begin(), data.end());
    if (picture.colours) {
        out.push_back(12);
        out.insert(out.end(), picture.colours->begin(), picture.colours->end());
    }
    return out;
}

std::vector<uint8_t> encodePcx(const PcxPicture& picture) {
    std::vector<uint8_t> data;
    const std::size_t lineBytes =
        std::max<std::size_t>(std::size_t{picture.planes} * picture.bytesPerLine, 1);
    for (std::size_t start = 0; start < picture.lines.size(); start += lineBytes) {
        std::size_t end = std::min(start + lineBytes, picture.lines.size());
        for (std::size_t at = start; at < end;) {
            std::size_t run = 1;
            while (at + run < end && run < 63 && picture.lines[at + run] == picture.lines[at])
                ++run;
            uint8_t value = picture.lines[at];
            if (run > 1 || value >= 0xc0) data.push_back(static_cast<uint8_t>(0xc0 | run));
            data.push_back(value);
            at += run;
        }
    }
    return pcxWithData(picture, data);
}

std::vector<uint8_t> planarLines(const std::vector<uint8_t>& indexes, int32_t width, int32_t bits,
                                 int32_t planes, int32_t bytesPerLine) {
    const std::size_t height = indexes.size() / static_cast<std::size_t>(width);
    std::vector<uint8_t> out(height * static_cast<std::size_t>(planes * bytesPerLine), 0);
    for (std::size_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t index = indexes[y * static_cast<std::size_t>(width) + x];
            for (int32_t plane = 0; plane < planes; ++plane) {
                uint32_t field = index >> (plane * bits) & ((1u << bits) - 1);
                std::size_t at = (y * static_cast<std::size_t>(planes) + plane) * bytesPerLine +
                                 static_cast<std::size_t>(x * bits / 8);
                out[at] |= static_cast<uint8_t>(field << (8 - bits - x * bits % 8));
            }
        }
    }
    return out;
}

std::vector<uint8_t> rgbPlaneLines(const std::vector<uint8_t>& rgb, int32_t width,
                                   int32_t bytesPerLine) {
    const std::size_t height = rgb.size() / 3 / static_cast<std::size_t>(width);
    std::vector<uint8_t> out(height * 3 * static_cast<std::size_t>(bytesPerLine), 0);
    for (std::size_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (std::size_t c = 0; c < 3; ++c)
                out[(y * 3 + c) * bytesPerLine + x] = rgb[(y * width + x) * 3 + c];
    return out;
}

std::vector<uint8_t> dcxOf(const std::vector<std::vector<uint8_t>>& pages) {
    std::vector<uint8_t> out(4100, 0);
    out[0] = 0xB1;
    out[1] = 0x68;
    out[2] = 0xDE;
    out[3] = 0x3A;
    for (std::size_t page = 0; page < pages.size(); ++page) {
        const auto offset = static_cast<uint32_t>(out.size());
        put16(out, 4 + page * 4, offset & 0xffff);
        put16(out, 6 + page * 4, offset >> 16);
        out.insert(out.end(), pages[page].begin(), pages[page].end());
    }
    return out;
}

}  // namespace testing_support
