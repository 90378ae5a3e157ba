#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "tools/flicgen/FlicTypes.h"

namespace avigen {

using flicgen::Palette;
using flicgen::Rgb;

enum class Codec { Raw, Rle8, Video1 };

struct VideoStream {
    Codec codec = Codec::Raw;
    // The stream header's handler code; empty: the codec's own ("MRLE", "CRAM", none for raw).
    std::string handler;
    std::uint16_t priority = 0;
    // Every n-th frame is a key frame (frame 0 always is); 0: only frame 0.
    int keyInterval = 0;
    // Raw rows bottom row first (a positive height), else top row first.
    bool bottomUp = true;
    // A delta frame equal to the frame before is written as an empty chunk.
    bool emptyRepeats = false;
};

struct AudioStream {
    std::uint16_t channels = 1;
    std::uint32_t rate = 11025;
    std::uint16_t bits = 8;
    std::vector<std::uint8_t> samples;  // PCM bytes, interleaved by channel
    std::uint16_t priority = 0;
    // Each frame's sound is split over this many chunks.
    int chunksPerFrame = 1;
};

struct ClipOptions {
    std::uint32_t microsecondsPerFrame = 100000;
    bool index = true;
    bool absoluteIndex = false;  // index offsets from the file's start instead of the movie list's
    bool recordLists = false;    // each frame's chunks in a "rec " list
    bool junk = false;           // JUNK chunks in the header list and between frames
};

// Builds an AVI clip in memory: 8-bit video streams (uncompressed, run-length or Video 1,
// with key and delta frames), PCM audio streams interleaved frame by frame, an optional index.
// A frame whose palette differs from the one before gets a palette-change chunk in front of it.
class AviWriter {
  public:
    static constexpr int maxSide = 4096;

    // Throws std::invalid_argument for a side outside 1..maxSide.
    AviWriter(int width, int height, ClipOptions options = {});

    // Returns the stream's number in the file.
    int addVideoStream(const VideoStream& stream);
    int addAudioStream(AudioStream stream);

    // `pixels`: width x height palette indexes, top row first. Throws std::invalid_argument for
    // a wrong pixel count or a stream that is not a video stream.
    void addFrame(int stream, std::span<const std::uint8_t> pixels, const Palette& palette);

    // The whole file; throws std::logic_error when a video stream has no frame.
    std::vector<std::uint8_t> build() const;
    // Writes build() to `path`; throws std::runtime_error when the file cannot be written.
    void finish(const std::filesystem::path& path) const;

  private:
    struct Frame {
        std::vector<std::uint8_t> data;
        bool key = false;
        std::vector<std::uint8_t> paletteChange;  // an AVIPALCHANGE, or empty
    };
    struct Stream {
        bool video = true;
        VideoStream videoStream;
        AudioStream audioStream;
        std::vector<Frame> frames;
        std::vector<std::uint8_t> previous;  // the last frame's pixels, for deltas
        Palette palette{};
        Palette firstPalette{};
    };

    std::vector<std::uint8_t> encode(const Stream& stream, std::span<const std::uint8_t> pixels,
                                     bool key) const;
    int frameCount() const;
    // The sound of frame k of an audio stream; the last frame takes the rest.
    std::span<const std::uint8_t> soundOfFrame(const AudioStream& audio, int k) const;

    int width;
    int height;
    ClipOptions options;
    std::vector<Stream> streams;
};

}  // namespace avigen
