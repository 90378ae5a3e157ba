#include "tools/flicgen/FlicWriter.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tools/flicgen/ByteSink.h"
#include "tools/flicgen/FlicEncoder.h"

namespace flicgen {

namespace {

constexpr std::size_t maxFrames = 0xFFFF;
constexpr std::uint16_t depth = 8;
constexpr std::uint16_t finishedAndLooped = 3;

bool allZero(std::span<const std::uint8_t> pixels) {
    return std::all_of(pixels.begin(), pixels.end(), [](std::uint8_t p) { return p == 0; });
}

bool levels64(PaletteChunk levels, FlicFormat format) {
    return levels == PaletteChunk::Levels64 ||
           (levels == PaletteChunk::Auto && format == FlicFormat::Fli);
}

// Appends one chunk; its size counts the header and a pad byte that keeps chunks at even
// offsets.
void addChunk(ByteSink& frame, std::uint16_t type, std::span<const std::uint8_t> payload,
              std::uint16_t& chunks) {
    std::size_t pad = payload.size() & 1;
    frame.u32(static_cast<std::uint32_t>(chunkHeaderSize + payload.size() + pad));
    frame.u16(type);
    frame.append(payload);
    frame.zeros(pad);
    ++chunks;
}

}  // namespace

FlicWriter::FlicWriter(int width_, int height_, FlicFormat format_, std::uint32_t speed_,
                       FileOptions options)
    : width(static_cast<std::size_t>(width_)),
      height(static_cast<std::size_t>(height_)),
      format(format_),
      speed(speed_),
      fileOptions(options) {
    if (width_ < 1 || width_ > maxSide || height_ < 1 || height_ > maxSide)
        throw std::invalid_argument("frame size " + std::to_string(width_) + "x" +
                                    std::to_string(height_) + " is outside 1x1 to 4096x4096");
    if (format == FlicFormat::Fli && speed > 0xFFFF)
        throw std::invalid_argument("FLI speed " + std::to_string(speed) + " exceeds 65535");
}

// Palette packets for the entries that differ from what was last written (all of them the
// first time); empty when nothing changed.
std::vector<std::uint8_t> FlicWriter::paletteChanges(const Palette& palette, bool low, bool full,
                                                     PaletteState& state) {
    std::array<Rgb, 256> stored{};
    std::array<bool, 256> changed{};
    for (std::size_t e = 0; e < palette.size(); ++e) {
        Rgb c = palette[e];
        stored[e] =
            low ? Rgb{static_cast<std::uint8_t>(c.r >> 2), static_cast<std::uint8_t>(c.g >> 2),
                      static_cast<std::uint8_t>(c.b >> 2)}
                : c;
        changed[e] =
            full || !state.written || state.levels64[e] != low || state.stored[e] != stored[e];
    }
    if (std::find(changed.begin(), changed.end(), true) == changed.end()) return {};
    state.stored = stored;
    state.levels64.fill(low);
    state.written = true;
    return encoder::palette(stored, changed);
}

PixelChunk FlicWriter::choosePixels(PixelChunk asked, bool first,
                                    std::span<const std::uint8_t> pixels) const {
    if (asked != PixelChunk::Auto) return asked;
    if (!first) return format == FlicFormat::Flc ? PixelChunk::WordDelta : PixelChunk::ByteDelta;
    if (allZero(pixels)) return PixelChunk::Black;
    // Some readers expect literal rows padded to 4 bytes; literal is chosen on its own only
    // at widths where that makes no difference.
    if (width % 4 == 0 && pixels.size() < encoder::byteRun(view(pixels)).size())
        return PixelChunk::Literal;
    return PixelChunk::ByteRun;
}

ImageView FlicWriter::view(std::span<const std::uint8_t> pixels) const {
    return {pixels, width, height};
}

void FlicWriter::addFrame(std::span<const std::uint8_t> pixels, const Palette& palette,
                          const FrameOptions& options) {
    if (pixels.size() != width * height)
        throw std::invalid_argument("frame has " + std::to_string(pixels.size()) +
                                    " pixels, expected " + std::to_string(width * height));
    if (frames.size() >= maxFrames)
        throw std::invalid_argument("a FLIC holds at most 65535 frames");
    bool first = frames.empty();
    if (first &&
        (options.pixels == PixelChunk::WordDelta || options.pixels == PixelChunk::ByteDelta))
        throw std::invalid_argument("the first frame needs a chunk that sets every pixel");

    frames.push_back(
        encodeFrame(first ? nullptr : &lastPixels, pixels, palette, options, paletteState));
    lastPixels.assign(pixels.begin(), pixels.end());
    if (first) {
        firstPixels = lastPixels;
        firstPalette = palette;
        firstPaletteLevels = options.palette;
    }
}

std::vector<std::uint8_t> FlicWriter::encodeFrame(const std::vector<std::uint8_t>* before,
                                                  std::span<const std::uint8_t> after,
                                                  const Palette& palette,
                                                  const FrameOptions& options,
                                                  PaletteState& state) const {
    ByteSink frame;
    frame.u32(0);
    frame.u16(code::frame);
    frame.u16(0);
    frame.zeros(frameHeaderSize - 8);
    std::uint16_t chunks = 0;

    if (options.postageStamp)
        addChunk(frame, code::postageStamp, encoder::postageStamp(view(after), palette), chunks);

    bool low = levels64(options.palette, format);
    auto colours = paletteChanges(palette, low, options.fullPalette, state);
    if (!colours.empty()) addChunk(frame, low ? code::color64 : code::color256, colours, chunks);

    // A clear chunk leaves an all-0 image for the delta that draws the rest.
    const std::vector<std::uint8_t>* base = before;
    std::vector<std::uint8_t> zeros;
    PixelChunk delta = format == FlicFormat::Flc ? PixelChunk::WordDelta : PixelChunk::ByteDelta;
    PixelChunk kind = choosePixels(options.pixels, before == nullptr, after);
    switch (kind) {
        case PixelChunk::ByteRun:
            addChunk(frame, code::byteRun, encoder::byteRun(view(after)), chunks);
            break;
        case PixelChunk::Literal:
            addChunk(frame, code::literal, encoder::literal(view(after)), chunks);
            break;
        case PixelChunk::Black:
            addChunk(frame, code::black, {}, chunks);
            zeros.assign(after.size(), 0);
            base = &zeros;
            kind = delta;
            break;
        case PixelChunk::Auto:
        case PixelChunk::WordDelta:
        case PixelChunk::ByteDelta:
            break;
    }
    bool changedPixels =
        base && !std::equal(base->begin(), base->end(), after.begin(), after.end());
    if (changedPixels && kind == PixelChunk::WordDelta)
        addChunk(frame, code::wordDelta, encoder::wordDelta(view(*base), view(after)), chunks);
    if (changedPixels && kind == PixelChunk::ByteDelta)
        addChunk(frame, code::byteDelta, encoder::byteDelta(view(*base), view(after)), chunks);

    for (const RawChunk& raw : options.extraChunks) {
        frame.u32(static_cast<std::uint32_t>(chunkHeaderSize + raw.payload.size()));
        frame.u16(raw.type);
        frame.append(raw.payload);
        ++chunks;
    }

    frame.patchU32(0, static_cast<std::uint32_t>(frame.size()));
    frame.patchU16(6, chunks);
    return frame.take();
}

std::vector<std::uint8_t> FlicWriter::build() const {
    if (frames.empty()) throw std::logic_error("a FLIC needs at least one frame");

    PaletteState state = paletteState;
    FrameOptions back;
    back.palette = firstPaletteLevels;
    std::vector<std::uint8_t> ring =
        encodeFrame(&lastPixels, firstPixels, firstPalette, back, state);

    ByteSink file;
    file.u32(0);
    file.u16(format == FlicFormat::Fli ? code::fliMagic : code::flcMagic);
    file.u16(static_cast<std::uint16_t>(frames.size()));
    file.u16(static_cast<std::uint16_t>(width));
    file.u16(static_cast<std::uint16_t>(height));
    file.u16(depth);
    file.u16(finishedAndLooped);
    file.u32(speed);
    if (format == FlicFormat::Flc) {
        // Reserved, creation and update stamps stay 0; square pixels.
        file.zeros(38 - 20);
        file.u16(1);
        file.u16(1);
    }
    file.zeros(80 - file.size());
    std::size_t frame1 = headerSize + (fileOptions.prefixChunk ? frameHeaderSize : 0);
    file.u32(fileOptions.frameOffsets ? static_cast<std::uint32_t>(frame1) : 0);
    file.u32(fileOptions.frameOffsets ? static_cast<std::uint32_t>(frame1 + frames[0].size()) : 0);
    file.zeros(headerSize - file.size());

    if (fileOptions.prefixChunk) {
        file.u32(static_cast<std::uint32_t>(frameHeaderSize));
        file.u16(code::prefix);
        file.zeros(frameHeaderSize - 6);
    }
    for (const auto& frame : frames)
        file.append(frame);
    file.append(ring);
    if (file.size() > 0xFFFFFFFFu) throw std::length_error("the file would exceed 4 GiB");
    file.patchU32(0, static_cast<std::uint32_t>(file.size()));
    return file.take();
}

void FlicWriter::finish(const std::filesystem::path& path) const {
    std::vector<std::uint8_t> bytes = build();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace flicgen
