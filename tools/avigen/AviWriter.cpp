#include "tools/avigen/AviWriter.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "tools/avigen/Encoders.h"
#include "tools/flicgen/ByteSink.h"

namespace avigen {

namespace {

using flicgen::ByteSink;

constexpr std::uint32_t code(const char (&text)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[0])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[3])) << 24;
}

std::uint32_t handlerCode(const std::string& handler) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        auto letter = static_cast<std::uint8_t>(k < handler.size() ? handler[k] : ' ');
        value |= static_cast<std::uint32_t>(letter) << (8 * k);
    }
    return value;
}

std::uint32_t chunkId(int stream, const char (&kind)[3]) {
    return static_cast<std::uint32_t>('0' + stream / 10 % 10) |
           static_cast<std::uint32_t>('0' + stream % 10) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(kind[0])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(kind[1])) << 24;
}

// Opens a chunk (or, with a list type, a list) and returns where its size goes.
std::size_t open(ByteSink& out, std::uint32_t id, std::uint32_t listType = 0) {
    out.u32(id);
    std::size_t at = out.size();
    out.u32(0);
    if (listType != 0) out.u32(listType);
    return at;
}

void close(ByteSink& out, std::size_t sizeAt) {
    std::size_t size = out.size() - sizeAt - 4;
    out.patchU32(sizeAt, static_cast<std::uint32_t>(size));
    if (size & 1u) out.u8(0);
}

void junk(ByteSink& out, std::size_t bytes) {
    std::size_t at = open(out, code("JUNK"));
    out.zeros(bytes);
    close(out, at);
}

struct IndexEntry {
    std::uint32_t id;
    std::uint32_t flags;
    std::size_t offset;  // of the chunk header in the file
    std::uint32_t size;
};

constexpr std::uint32_t indexKeyFrame = 0x10;
constexpr std::uint32_t indexNoTime = 0x100;

}  // namespace

AviWriter::AviWriter(int clipWidth, int clipHeight, ClipOptions clipOptions)
    : width(clipWidth), height(clipHeight), options(clipOptions) {
    if (width < 1 || width > maxSide || height < 1 || height > maxSide)
        throw std::invalid_argument("clip side outside 1.." + std::to_string(maxSide));
}

int AviWriter::addVideoStream(const VideoStream& stream) {
    Stream added;
    added.videoStream = stream;
    streams.push_back(std::move(added));
    return static_cast<int>(streams.size()) - 1;
}

int AviWriter::addAudioStream(AudioStream stream) {
    Stream added;
    added.video = false;
    added.audioStream = std::move(stream);
    streams.push_back(std::move(added));
    return static_cast<int>(streams.size()) - 1;
}

void AviWriter::addFrame(int stream, std::span<const std::uint8_t> pixels, const Palette& palette) {
    if (stream < 0 || static_cast<std::size_t>(stream) >= streams.size() ||
        !streams[static_cast<std::size_t>(stream)].video)
        throw std::invalid_argument("no video stream " + std::to_string(stream));
    if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        throw std::invalid_argument("frame of the wrong size");
    Stream& target = streams[static_cast<std::size_t>(stream)];
    const int index = static_cast<int>(target.frames.size());
    const int interval = target.videoStream.keyInterval;
    Frame frame;
    frame.key = index == 0 || (interval > 0 && index % interval == 0);
    if (index == 0) {
        target.firstPalette = palette;
    } else if (palette != target.palette) {
        // The changed entries from the first to the last, as one AVIPALCHANGE.
        std::size_t first = 0;
        while (palette[first] == target.palette[first])
            ++first;
        std::size_t last = 255;
        while (palette[last] == target.palette[last])
            --last;
        ByteSink change;
        change.u8(static_cast<std::uint8_t>(first));
        change.u8(static_cast<std::uint8_t>((last - first + 1) & 0xFF));
        change.u16(0);
        for (std::size_t k = first; k <= last; ++k) {
            change.u8(palette[k].r);
            change.u8(palette[k].g);
            change.u8(palette[k].b);
            change.u8(0);
        }
        frame.paletteChange = change.take();
    }
    target.palette = palette;
    const bool repeat = !frame.key && target.videoStream.emptyRepeats &&
                        std::equal(pixels.begin(), pixels.end(), target.previous.begin());
    if (!repeat) frame.data = encode(target, pixels, frame.key);
    target.previous.assign(pixels.begin(), pixels.end());
    target.frames.push_back(std::move(frame));
}

std::vector<std::uint8_t> AviWriter::encode(const Stream& stream,
                                            std::span<const std::uint8_t> pixels, bool key) const {
    flicgen::ImageView picture{pixels, static_cast<std::size_t>(width),
                               static_cast<std::size_t>(height)};
    std::span<const std::uint8_t> before =
        key ? std::span<const std::uint8_t>{} : std::span<const std::uint8_t>(stream.previous);
    switch (stream.videoStream.codec) {
        case Codec::Rle8:
            return encodeRle8(picture, before);
        case Codec::Video1:
            return encodeVideo1(picture, before, stream.palette);
        case Codec::Raw:
            break;
    }
    return encodeRaw(picture, stream.videoStream.bottomUp);
}

int AviWriter::frameCount() const {
    int most = 0;
    for (const Stream& stream : streams)
        if (stream.video) most = std::max(most, static_cast<int>(stream.frames.size()));
    return most;
}

std::span<const std::uint8_t> AviWriter::soundOfFrame(const AudioStream& audio, int k) const {
    const std::size_t align = std::max<std::size_t>(audio.channels * audio.bits / 8, 1);
    const std::size_t perFrame = static_cast<std::size_t>(static_cast<std::uint64_t>(audio.rate) *
                                                          options.microsecondsPerFrame / 1000000) *
                                 align;
    const std::size_t start =
        std::min(perFrame * static_cast<std::size_t>(k), audio.samples.size());
    const std::size_t end = k + 1 == frameCount()
                                ? audio.samples.size()
                                : std::min(start + perFrame, audio.samples.size());
    return std::span(audio.samples).subspan(start, end - start);
}

std::vector<std::uint8_t> AviWriter::build() const {
    const int frames = frameCount();
    for (const Stream& stream : streams)
        if (stream.video && stream.frames.empty())
            throw std::logic_error("a video stream has no frame");
    std::size_t largest = 0;
    for (const Stream& stream : streams)
        for (const Frame& frame : stream.frames)
            largest = std::max(largest, frame.data.size());

    ByteSink out;
    std::size_t riff = open(out, code("RIFF"), code("AVI "));
    std::size_t headers = open(out, code("LIST"), code("hdrl"));
    std::size_t mainHeader = open(out, code("avih"));
    bool hasAudio =
        std::any_of(streams.begin(), streams.end(), [](const Stream& s) { return !s.video; });
    out.u32(options.microsecondsPerFrame);
    out.u32(0);
    out.u32(0);
    out.u32((options.index ? 0x10u : 0u) | (hasAudio ? 0x100u : 0u));
    out.u32(static_cast<std::uint32_t>(frames));
    out.u32(0);
    out.u32(static_cast<std::uint32_t>(streams.size()));
    out.u32(static_cast<std::uint32_t>(largest));
    out.u32(static_cast<std::uint32_t>(width));
    out.u32(static_cast<std::uint32_t>(height));
    out.zeros(16);
    close(out, mainHeader);

    for (const Stream& stream : streams) {
        std::size_t list = open(out, code("LIST"), code("strl"));
        std::size_t header = open(out, code("strh"));
        if (stream.video) {
            const VideoStream& video = stream.videoStream;
            std::string handler = video.handler;
            if (handler.empty())
                handler = video.codec == Codec::Rle8     ? "MRLE"
                          : video.codec == Codec::Video1 ? "CRAM"
                                                         : "";
            out.u32(code("vids"));
            out.u32(handler.empty() ? 0 : handlerCode(handler));
            out.u32(0);
            out.u16(video.priority);
            out.u16(0);
            out.u32(0);
            out.u32(options.microsecondsPerFrame);
            out.u32(1000000);
            out.u32(0);
            out.u32(static_cast<std::uint32_t>(stream.frames.size()));
            out.u32(static_cast<std::uint32_t>(largest));
            out.u32(0xFFFFFFFF);
            out.u32(0);
            out.u16(0);
            out.u16(0);
            out.u16(static_cast<std::uint16_t>(width));
            out.u16(static_cast<std::uint16_t>(height));
            close(out, header);
            std::size_t format = open(out, code("strf"));
            const std::uint32_t stride = static_cast<std::uint32_t>((width + 3) / 4 * 4);
            out.u32(40);
            out.u32(static_cast<std::uint32_t>(width));
            out.u32(static_cast<std::uint32_t>(
                video.codec == Codec::Raw && !video.bottomUp ? -height : height));
            out.u16(1);
            out.u16(8);
            out.u32(video.codec == Codec::Rle8     ? 1u
                    : video.codec == Codec::Video1 ? code("CRAM")
                                                   : 0u);
            out.u32(stride * static_cast<std::uint32_t>(height));
            out.u32(0);
            out.u32(0);
            out.u32(256);
            out.u32(0);
            for (const Rgb& colour : stream.firstPalette) {
                out.u8(colour.b);
                out.u8(colour.g);
                out.u8(colour.r);
                out.u8(0);
            }
            close(out, format);
        } else {
            const AudioStream& audio = stream.audioStream;
            const std::uint32_t align =
                std::max<std::uint32_t>(audio.channels * audio.bits / 8u, 1);
            out.u32(code("auds"));
            out.u32(0);
            out.u32(0);
            out.u16(audio.priority);
            out.u16(0);
            out.u32(0);
            out.u32(align);
            out.u32(audio.rate * align);
            out.u32(0);
            out.u32(static_cast<std::uint32_t>(audio.samples.size() / align));
            out.u32(audio.rate * align);
            out.u32(0xFFFFFFFF);
            out.u32(align);
            out.zeros(8);
            close(out, header);
            std::size_t format = open(out, code("strf"));
            out.u16(1);
            out.u16(audio.channels);
            out.u32(audio.rate);
            out.u32(audio.rate * align);
            out.u16(static_cast<std::uint16_t>(align));
            out.u16(audio.bits);
            close(out, format);
        }
        if (options.junk) junk(out, 13);
        close(out, list);
    }
    close(out, headers);
    if (options.junk) junk(out, 100);

    std::size_t movie = open(out, code("LIST"), code("movi"));
    const std::size_t moviType = movie + 4;
    std::vector<IndexEntry> index;
    auto chunk = [&](std::uint32_t id, std::span<const std::uint8_t> data, std::uint32_t flags) {
        index.push_back({id, flags, out.size(), static_cast<std::uint32_t>(data.size())});
        std::size_t at = open(out, id);
        out.append(data);
        close(out, at);
    };
    for (int k = 0; k < frames; ++k) {
        std::size_t record = options.recordLists ? open(out, code("LIST"), code("rec ")) : 0;
        for (std::size_t s = 0; s < streams.size(); ++s) {
            const Stream& stream = streams[s];
            const int number = static_cast<int>(s);
            if (stream.video) {
                if (static_cast<std::size_t>(k) >= stream.frames.size()) continue;
                const Frame& frame = stream.frames[static_cast<std::size_t>(k)];
                if (!frame.paletteChange.empty())
                    chunk(chunkId(number, "pc"), frame.paletteChange, indexNoTime);
                chunk(chunkId(number, frame.key ? "db" : "dc"), frame.data,
                      frame.key ? indexKeyFrame : 0);
            } else {
                std::span<const std::uint8_t> sound = soundOfFrame(stream.audioStream, k);
                const std::size_t parts =
                    static_cast<std::size_t>(std::max(stream.audioStream.chunksPerFrame, 1));
                const std::size_t align = std::max<std::size_t>(
                    stream.audioStream.channels * stream.audioStream.bits / 8u, 1);
                const std::size_t part = (sound.size() / align + parts - 1) / parts * align;
                for (std::size_t at = 0; at < sound.size(); at += part)
                    chunk(chunkId(number, "wb"),
                          sound.subspan(at, std::min(part, sound.size() - at)), indexKeyFrame);
            }
        }
        if (options.recordLists) close(out, record);
        if (options.junk && k % 3 == 1) junk(out, 7);
    }
    close(out, movie);

    if (options.index) {
        std::size_t at = open(out, code("idx1"));
        for (const IndexEntry& entry : index) {
            out.u32(entry.id);
            out.u32(entry.flags);
            out.u32(static_cast<std::uint32_t>(options.absoluteIndex ? entry.offset
                                                                     : entry.offset - moviType));
            out.u32(entry.size);
        }
        close(out, at);
    }
    close(out, riff);
    return out.take();
}

void AviWriter::finish(const std::filesystem::path& path) const {
    std::vector<std::uint8_t> bytes = build();
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace avigen
