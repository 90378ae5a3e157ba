#include "engine/platform/VideoCompression.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "engine/platform/VideoDecoders.h"

namespace platform {

namespace {

constexpr uint32_t code(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

bool isRle8(const VideoFormat& format) {
    return format.bitCount == 8 && format.compression == VideoFormat::compressionRle8;
}

// The 16-bit form shares the handler codes and is refused by its depth.
bool isVideo1Palettised(const VideoFormat& format) {
    return format.bitCount == 8 && format.compression != VideoFormat::compressionRle8 &&
           format.compression != VideoFormat::compressionRgb;
}

bool isDib8(const VideoFormat& format) {
    return format.bitCount == 8 && format.compression == VideoFormat::compressionRgb;
}

struct Decompressor {
    VideoCompression::Codec codec;
    std::optional<VideoFormat> begun;
};

struct Registry {
    std::mutex mutex;
    std::map<uint32_t, VideoCompression::Codec> codecs;
    std::map<uint32_t, Decompressor> open;
    uint32_t nextHandle = 1;

    Registry() {
        codecs[code("MRLE")] = {isRle8, decodeRle8};
        codecs[code("CRAM")] = {isVideo1Palettised, decodeVideo1};
        codecs[code("MSVC")] = {isVideo1Palettised, decodeVideo1};
        codecs[0] = {isDib8, decodeDib8};
        codecs[code("DIB ")] = {isDib8, decodeDib8};
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

}  // namespace

uint32_t VideoCompression::foldCase(uint32_t handler) {
    uint32_t folded = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        auto letter = static_cast<uint8_t>(handler >> shift);
        if (letter >= 'a' && letter <= 'z') letter = static_cast<uint8_t>(letter - 'a' + 'A');
        folded |= static_cast<uint32_t>(letter) << shift;
    }
    return folded;
}

void VideoCompression::registerCodec(uint32_t handler, Codec codec) {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    all.codecs[foldCase(handler)] = codec;
}

uint32_t VideoCompression::open(uint32_t type, uint32_t handler, uint32_t) {
    if (foldCase(type) != foldCase(typeVideo)) return 0;
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    auto found = all.codecs.find(foldCase(handler));
    if (found == all.codecs.end()) return 0;
    uint32_t handle = all.nextHandle++;
    if (all.nextHandle == 0) all.nextHandle = 1;
    all.open[handle] = Decompressor{found->second, std::nullopt};
    return handle;
}

int32_t VideoCompression::sendMessage(uint32_t handle, uint32_t message,
                                      std::span<const uint8_t> input, const FrameTarget* output,
                                      RgbQuad* colours) {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    auto found = all.open.find(handle);
    if (found == all.open.end()) return errBadHandle;
    Decompressor& decompressor = found->second;
    switch (message) {
        case decompressBegin: {
            decompressor.begun.reset();
            std::optional<VideoFormat> format = VideoFormat::parse(input);
            if (!format || !decompressor.codec.accepts(*format) || !output || !output->topRow)
                return errBadFormat;
            // The colours live in the caller's record; decoding needs none of them.
            format->colours = {};
            decompressor.begun = format;
            return ok;
        }
        case decompressGetPalette: {
            std::optional<VideoFormat> format = VideoFormat::parse(input);
            if (!format || !colours) return errBadFormat;
            std::fill(colours, colours + 256, RgbQuad{});
            const std::span<const uint8_t> table = format->colours;
            for (std::size_t entry = 0; entry * 4 < table.size(); ++entry) {
                colours[entry] =
                    RgbQuad{table[entry * 4], table[entry * 4 + 1], table[entry * 4 + 2], 0};
            }
            return ok;
        }
        case decompressEnd:
            decompressor.begun.reset();
            return ok;
        default:
            return errUnsupported;
    }
}

int32_t VideoCompression::decompress(uint32_t handle, uint32_t, std::span<const uint8_t> data,
                                     const FrameTarget& output) {
    Decompressor decompressor;
    {
        Registry& all = registry();
        std::lock_guard lock(all.mutex);
        auto found = all.open.find(handle);
        if (found == all.open.end()) return errBadHandle;
        decompressor = found->second;
    }
    if (!decompressor.begun) return errBadFormat;
    decompressor.codec.decode(data, *decompressor.begun, output);
    return ok;
}

int32_t VideoCompression::close(uint32_t handle) {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    return all.open.erase(handle) != 0 ? ok : errBadHandle;
}

}  // namespace platform
