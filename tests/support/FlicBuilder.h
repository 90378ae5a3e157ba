#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace testing_support {

// Builds FLIC files byte by byte for tests: a 128-byte header, then frames made of chunks.
class FlicBuilder {
  public:
    static constexpr uint16_t fli = 0xAF11;
    static constexpr uint16_t flc = 0xAF12;

    FlicBuilder(uint16_t magic, uint16_t width, uint16_t height, int32_t speed = 70);

    // A chunk: 6-byte header and payload, padded to an even size. The size field states
    // `statedSize` when given, else the real size.
    static std::vector<uint8_t> chunk(uint16_t type, std::span<const uint8_t> payload,
                                      std::optional<uint32_t> statedSize = std::nullopt);
    // A 256-level palette chunk (type 4) setting entries from `first` to red, green, blue
    // triples.
    static std::vector<uint8_t> palette(uint8_t first, std::span<const uint8_t> rgb);
    // A byte-run chunk (type 15) of the whole picture, rows of `width` pixels.
    static std::vector<uint8_t> byteRun(uint16_t width, std::span<const uint8_t> pixels);
    // A byte-delta chunk (type 12) that writes one pixel.
    static std::vector<uint8_t> setPixel(int16_t x, int16_t y, uint8_t value);

    // Appends a frame holding the given chunks; the frame header counts them unless
    // `statedChunks` says otherwise.
    FlicBuilder& frame(std::initializer_list<std::vector<uint8_t>> chunks,
                       std::optional<uint16_t> statedChunks = std::nullopt);
    FlicBuilder& raw(std::span<const uint8_t> bytes);

    // The file, with `frames` in the header (the ring frame is not counted) and both frame
    // offsets 0 unless set.
    std::vector<uint8_t> build(uint16_t frames) const;
    FlicBuilder& offsets(uint32_t frame1, uint32_t frame2);

  private:
    uint16_t magic;
    uint16_t width;
    uint16_t height;
    int32_t speed;
    uint32_t offset1 = 0;
    uint32_t offset2 = 0;
    std::vector<uint8_t> body;
};

}  // namespace testing_support
