#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace testing_support {

// A PCX picture to write for the tests: header fields and the decoded bytes of its lines.
struct PcxPicture {
    uint8_t manufacturer = 10;
    uint8_t encoding = 1;
    uint8_t bitsPerPixel = 8;
    uint8_t planes = 1;
    uint16_t xmin = 0;
    uint16_t ymin = 0;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bytesPerLine = 1;
    std::array<uint8_t, 48> headerColours{};          // red, green, blue of entries 0 to 15
    std::vector<uint8_t> lines;                       // height x planes x bytesPerLine bytes
    std::optional<std::array<uint8_t, 768>> colours;  // the 256-colour table at the end
};

// Header, lines encoded one by one (a run never crosses a line end, bytes of 0xC0 and above
// are runs of one), and the marked 256-colour table when there is one.
std::vector<uint8_t> encodePcx(const PcxPicture& picture);

// The header and the table of a PCX picture around encoded data given as it is.
std::vector<uint8_t> pcxWithData(const PcxPicture& picture, const std::vector<uint8_t>& data);

// Lines of colour indexes split into planes of `bits` bits: bit group j of an index goes to
// plane j, the leftmost pixel in the high bits. Each plane takes bytesPerLine bytes.
std::vector<uint8_t> planarLines(const std::vector<uint8_t>& indexes, int32_t width, int32_t bits,
                                 int32_t planes, int32_t bytesPerLine);

// Lines of 8-bit planes holding red, green and blue (3 bytes a pixel in `rgb`).
std::vector<uint8_t> rgbPlaneLines(const std::vector<uint8_t>& rgb, int32_t width,
                                   int32_t bytesPerLine);

// A DCX file of these encoded pages, one after the other behind the full page table.
std::vector<uint8_t> dcxOf(const std::vector<std::vector<uint8_t>>& pages);

}  // namespace testing_support
