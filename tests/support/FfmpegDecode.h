#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// Frames as an independent decoder sees them: every frame it outputs, as packed RGB
// (3 bytes a pixel, top row first).
struct DecodedVideo {
    int width = 0;
    int height = 0;
    std::vector<std::vector<std::uint8_t>> frames;
    std::string messages;  // what the decoder reported on its error stream
};

// True when both ffmpeg and ffprobe can be run.
bool ffmpegAvailable();

// Decodes `file` with ffmpeg, every frame passed through as it is (no frame-rate
// conversion). `inputFormat`, when given, skips format detection (ffmpeg's -f). Empty when
// ffmpeg fails, the size cannot be found or the output is not a whole number of frames;
// `failure`, when given, then says why.
std::optional<DecodedVideo> ffmpegDecode(const std::filesystem::path& file,
                                         std::string_view inputFormat = {},
                                         std::string* failure = nullptr);

// Decodes the first sound stream of `file` with ffmpeg to raw samples of `sampleFormat` (ffmpeg's
// name for them: "u8", "s16le"), at the file's own rate and channels. Empty when ffmpeg fails;
// `failure`, when given, then says why.
std::optional<std::vector<std::uint8_t>> ffmpegDecodeAudio(const std::filesystem::path& file,
                                                           std::string_view sampleFormat,
                                                           std::string* failure = nullptr);

// Page `page` (0-based) of a multi-page picture file as ImageMagick's convert decodes it, in
// the same form (one frame). Empty when convert fails or gives the wrong number of bytes.
std::optional<DecodedVideo> magickDecodePage(const std::filesystem::path& file, int page);

// True when ImageMagick's convert and identify can be run.
bool magickAvailable();

}  // namespace testing_support
