#pragma once
#include <cstdint>
#include <span>

#include "engine/base/RgbQuad.h"
#include "engine/platform/VideoFormat.h"

namespace platform {

// The platform's video compression manager: decompressors opened by a stream's handler code,
// each backed by a decoder of the registry. Handler codes match whatever the case of their
// letters, as the platform matches them; the codes "RLE " files carry are the caller's to map.
class VideoCompression {
  public:
    static constexpr uint32_t typeVideo = 0x63646976;  // "vidc"
    static constexpr uint32_t modeFastDecompress = 3;
    static constexpr uint32_t decompressBegin = 0x400C;
    static constexpr uint32_t decompressEnd = 0x400E;
    static constexpr uint32_t decompressGetPalette = 0x401E;
    static constexpr int32_t ok = 0;
    static constexpr int32_t errUnsupported = -1;
    static constexpr int32_t errBadFormat = -2;
    static constexpr int32_t errBadHandle = -8;

    // A decoder and the formats it takes.
    struct Codec {
        bool (*accepts)(const VideoFormat& format) = nullptr;
        void (*decode)(std::span<const uint8_t> chunk, const VideoFormat& format,
                       const FrameTarget& target) = nullptr;
    };

    // Adds a decoder for a handler code, or replaces the one it had. The built-in decoders are
    // there from the start: 8-bit run-length ("MRLE"), 8-bit Video 1 ("CRAM", "MSVC") and
    // uncompressed 8-bit (handler 0, "DIB ").
    static void registerCodec(uint32_t handler, Codec codec);

    // A decompressor of `type` for the handler code, or 0 when there is none.
    static uint32_t open(uint32_t type, uint32_t handler, uint32_t mode);
    // Begin checks that the decoder takes the input format (the stream's BITMAPINFO record) and
    // that the output is an 8-bit picture; get-palette copies the input's colour table into
    // `colours` (256 entries, the rest cleared); end forgets the begun format.
    static int32_t sendMessage(uint32_t handle, uint32_t message, std::span<const uint8_t> input,
                               const FrameTarget* output, RgbQuad* colours);
    // Decodes one frame's chunk into the output with the format begun.
    static int32_t decompress(uint32_t handle, uint32_t flags, std::span<const uint8_t> data,
                              const FrameTarget& output);
    static int32_t close(uint32_t handle);

    // Handler codes with their letters in upper case, the form the registry keeps.
    static uint32_t foldCase(uint32_t handler);
};

}  // namespace platform
