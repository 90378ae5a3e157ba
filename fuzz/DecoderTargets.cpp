// The video decoders over one input: control bytes give the picture's size and the size the
// stream's format claims, which may differ; the rest is one frame's chunk, held in a buffer of
// exactly its size. Nothing outside the picture may change: it is framed by guard bytes.
#include <vector>

#include "engine/platform/VideoDecoders.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

using Decoder = void (*)(std::span<const uint8_t>, const platform::VideoFormat&,
                         const platform::FrameTarget&);

constexpr uint8_t guard = 0xA5;

int fuzzDecoder(Decoder decode, const uint8_t* data, std::size_t size) {
    fuzz::ControlBytes control(data, size);
    const int32_t width = 1 + control.next() % 80;
    const int32_t height = 1 + control.next() % 60;
    platform::VideoFormat format;
    format.width = control.next() % 100;
    format.height = static_cast<int8_t>(control.next());
    format.bitCount = 8;
    const std::span<const uint8_t> rest = control.rest();
    const std::vector<uint8_t> chunk(rest.begin(), rest.end());

    // One guard row above and below, one guard column at each side.
    const int32_t pitch = width + 2;
    std::vector<uint8_t> picture(static_cast<std::size_t>(pitch * (height + 2)), guard);
    platform::FrameTarget target{picture.data() + pitch + 1, pitch, width, height};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            target.row(y)[x] = 0;
    decode(chunk, format, target);
    for (int32_t y = -1; y <= height; ++y) {
        for (int32_t x = -1; x <= width; ++x) {
            if (x >= 0 && y >= 0 && x < width && y < height) continue;
            fuzz::check(picture[static_cast<std::size_t>((y + 1) * pitch + x + 1)] == guard,
                        "a decoder wrote outside the picture");
        }
    }
    return 0;
}

}  // namespace

int fuzzRle8(const uint8_t* data, std::size_t size) {
    return fuzzDecoder(platform::decodeRle8, data, size);
}

int fuzzVideo1(const uint8_t* data, std::size_t size) {
    return fuzzDecoder(platform::decodeVideo1, data, size);
}

int fuzzDib8(const uint8_t* data, std::size_t size) {
    return fuzzDecoder(platform::decodeDib8, data, size);
}
