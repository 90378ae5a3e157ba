#include "engine/media/mImageAVI.h"

#include <algorithm>
#include <array>
#include <limits>

#include "engine/base/LittleEndian.h"
#include "engine/platform/Memory.h"
#include "engine/platform/VideoCompression.h"

using platform::VideoCompression;

namespace {

constexpr uint32_t streamNone = mFile::fourCC("NONE");

// The two digits that number stream `index` in its chunk ids.
uint16_t streamDigits(int32_t index) {
    auto tens = static_cast<uint8_t>('0' + index / 10 % 10);
    auto units = static_cast<uint8_t>('0' + index % 10);
    return static_cast<uint16_t>(tens | units << 8);
}

int32_t clampedSize(uint32_t size) {
    return static_cast<int32_t>(std::min<uint32_t>(size, std::numeric_limits<int32_t>::max()));
}

}  // namespace

mImageAVI::mImageAVI() {
    autoRefill = 0;
}

mImageAVI::~mImageAVI() {
    mImageBitmap::attachBitmap(nullptr);
    if (useCount != 0) {
        reportWarning(idImageAVI, errStillInUse, nullptr);
        useCount = 0;
    }
    if (playing) stop();
    release();
}

void mImageAVI::release() {
    videoFormat.reset();
    videoFormatSize = 0;
    compressedFrame.reset();
    compressedCapacity = 0;
    closeDecompressor();
}

uint32_t mImageAVI::microsecondsPerFrame() const {
    return littleEndian::load32(mainHeader.data());
}

uint32_t mImageAVI::headerFlags() const {
    return littleEndian::load32(mainHeader.data() + 12);
}

uint32_t mImageAVI::streamCount() const {
    return littleEndian::load32(mainHeader.data() + 24);
}

int32_t mImageAVI::openImage() {
    if (!isOpen) return 0;
    if (playing) stop();
    release();
    format = 0;
    streams.clear();
    bestAudioPriority = bestVideoPriority = 0;
    audioStream = videoStream = 0;
    indexOffset = 0;
    // A sound can play whenever there is a device, until the clip turns out to have none.
    streamTag = deviceCount != 0 ? streamWave : 0;
    if (!readHeaders()) {
        release();
        frameCount = 0;
        streamTag = streamNone;
        return 0;
    }
    if (mImage::count == 0) streamTag = streamNone;
    format = formatAvi;
    mFile::seek(static_cast<int32_t>(moviOffset), 0);
    return 1;
}

bool mImageAVI::readHeaders() {
    mFile::seek(0, 0);
    if (!descendRiff(formatAvi) || !descendList(fourCC("hdrl")) || !findChunk(fourCC("avih")))
        return false;
    mainHeader.fill(0);
    mFile::read(mainHeader.data(), std::min(chunkSize, mainHeaderSize));
    frameCount = clampedSize(littleEndian::load32(mainHeader.data() + 16));
    width = frameWidth = clampedSize(littleEndian::load32(mainHeader.data() + 32));
    height = frameHeight = clampedSize(littleEndian::load32(mainHeader.data() + 36));
    frameTime = clampedSize(microsecondsPerFrame() / 1000);
    dataSize = chunkEnds[0];
    currentFrame = 0;
    decodedFrame = -1;
    kind = 0;
    changed = Rect{0, 0, width, height};
    transparentColour = 0;
    mImage::count = 0;
    ascendChunk();

    // Every stream the header counts must be there, and a video stream's decompressor open.
    if (!readStreams(std::min<uint32_t>(streamCount(), mostStreams)) || decompressor == 0)
        return false;
    ascendList();
    if (!descendList(fourCC("movi"))) return false;
    moviOffset = static_cast<uint32_t>(fileOffset());
    moviEnd = static_cast<uint32_t>(std::min(chunkEnd, fileSize));
    ascendList();
    if (headerFlags() & flagHasIndex) {
        if (findChunk(fourCC("idx1"))) {
            indexOffset = static_cast<uint32_t>(fileOffset());
            indexSize = std::min(chunkSize, static_cast<int32_t>(fileSize - indexOffset));
        } else {
            littleEndian::store32(mainHeader.data() + 12, headerFlags() & ~flagHasIndex);
        }
    }
    return true;
}

bool mImageAVI::readStreams(uint32_t total) {
    for (uint32_t index = 0; index < total; ++index) {
        if (!descendList(fourCC("strl")) || !findChunk(fourCC("strh"))) return false;
        std::array<uint8_t, streamHeaderSize> header{};
        mFile::read(header.data(), std::min(chunkSize, streamHeaderSize));
        ascendChunk();
        if (!findChunk(fourCC("strf"))) return false;
        StreamInfo stream;
        stream.type = littleEndian::load32(&header[0]);
        stream.handler = littleEndian::load32(&header[4]);
        stream.priority = littleEndian::load16(&header[12]);
        stream.initialFrames = littleEndian::load32(&header[16]);
        stream.scale = littleEndian::load32(&header[20]);
        stream.rate = littleEndian::load32(&header[24]);
        stream.length = littleEndian::load32(&header[32]);
        stream.suggestedBuffer = littleEndian::load32(&header[36]);
        stream.formatOffset = static_cast<uint32_t>(fileOffset());
        stream.formatSize = chunkSize;
        mFile::read(stream.format.data(),
                    std::min(chunkSize, static_cast<int32_t>(stream.format.size())));
        mFile::seek(static_cast<int32_t>(stream.formatOffset), 0);
        streams.push_back(stream);

        const auto number = static_cast<int32_t>(index);
        if (stream.type == fourCC("vids") && stream.priority >= bestVideoPriority) {
            if (!takeVideoStream(number, stream)) return false;
        } else if (stream.type == fourCC("auds")) {
            mImage::count += 1;
            if (stream.priority >= bestAudioPriority) takeAudioStream(number, stream);
        }
        ascendChunk();
        ascendList();
    }
    return true;
}

bool mImageAVI::takeVideoStream(int32_t index, const StreamInfo& stream) {
    bestVideoPriority = stream.priority;
    videoStream = index;
    videoStreamId = streamDigits(index);

    videoFormat.reset();
    videoFormatSize = std::min(stream.formatSize, largestVideoFormat);
    videoFormat = platform::Memory::allocate(static_cast<std::size_t>(videoFormatSize));
    if (!videoFormat) {
        videoFormatSize = 0;
        reportError(idImageAVI, errOutOfMemory, nullptr);
        return false;
    }
    mFile::read(videoFormat.get(), videoFormatSize);

    // No chunk can be larger than the file that holds it.
    compressedFrame.reset();
    compressedCapacity = clampedSize(std::min<uint32_t>(stream.suggestedBuffer, fileSize));
    if (compressedCapacity != 0) {
        compressedFrame = platform::Memory::allocate(static_cast<std::size_t>(compressedCapacity));
        if (!compressedFrame) {
            compressedCapacity = 0;
            reportError(idImageAVI, errOutOfMemory, nullptr);
            return false;
        }
    }
    if (!createFrameBitmap()) return false;
    closeDecompressor();
    return openDecompressor(stream.handler == fourCC("RLE ") ? fourCC("MRLE") : stream.handler);
}

bool mImageAVI::createFrameBitmap() {
    if (width <= 0 || height <= 0 || width > largestSide || height > largestSide ||
        int64_t{width} * height > largestFramePixels) {
        reportError(idImageAVI, errOutOfMemory, nullptr);
        return false;
    }
    if (!frameBitmap.createMemory(width, height, 8)) return false;
    frameBitmap.setTransparentIndex(transparentColour);
    frameBitmap.setTransparent(transparent != 0);
    frameBitmap.setRemap(remap != 0);
    return true;
}

platform::FrameTarget mImageAVI::frameTarget() {
    const SurfaceInfo& surface = *frameBitmap.info;
    return {surface.topRow, surface.rowStep, surface.width, surface.height};
}

bool mImageAVI::openDecompressor(uint32_t handler) {
    decompressor = VideoCompression::open(VideoCompression::typeVideo, handler,
                                          VideoCompression::modeFastDecompress);
    if (decompressor == 0) return false;
    platform::FrameTarget target = frameTarget();
    std::span<const uint8_t> input(videoFormat.get(), static_cast<std::size_t>(videoFormatSize));
    if (VideoCompression::sendMessage(decompressor, VideoCompression::decompressBegin, input,
                                      &target, nullptr) != VideoCompression::ok) {
        VideoCompression::close(decompressor);
        decompressor = 0;
        return false;
    }
    takeStreamPalette();
    bitsPerPixel = frameBitmap.info->bitsPerPixel;
    planes = frameBitmap.info->planes;
    return true;
}

// The stream's own colours, as at the start of the clip.
bool mImageAVI::takeStreamPalette() {
    std::array<RgbQuad, 256> colours{};
    std::span<const uint8_t> input(videoFormat.get(), static_cast<std::size_t>(videoFormatSize));
    if (VideoCompression::sendMessage(decompressor, VideoCompression::decompressGetPalette, input,
                                      nullptr, colours.data()) != VideoCompression::ok)
        return false;
    frameBitmap.setColors(colours.data(), 0, 256);
    palette = frameBitmap.info->colorTable;
    paletteChanged = remap ? 0 : 1;
    return true;
}

void mImageAVI::closeDecompressor() {
    if (decompressor == 0) return;
    VideoCompression::sendMessage(decompressor, VideoCompression::decompressEnd, {}, nullptr,
                                  nullptr);
    VideoCompression::close(decompressor);
    decompressor = 0;
}

void mImageAVI::takeAudioStream(int32_t index, const StreamInfo& stream) {
    bestAudioPriority = stream.priority;
    audioStream = index;
    audioChunkId = streamDigits(index) | uint32_t{fourCC("00wb") & 0xFFFF0000u};
    openAudioFormat(stream);
    setUnits(unitsMilliseconds);
    uint32_t blocks = std::min(stream.initialFrames, uint32_t{mostAudioBlocks - 2}) + 2;
    setBufferSize(microsecondsPerFrame() / 1000 + 10, static_cast<int32_t>(blocks));
}

// The audio part reads the "strf" record as a raw format record at the cursor. It looks for a
// RIFF form of its own on the way, which moves the chunk walk: that is kept and put back.
void mImageAVI::openAudioFormat(const StreamInfo& stream) {
    const int32_t depth = chunkDepth;
    const auto ends = chunkEnds;
    const int32_t end = chunkEnd;
    const int32_t size = chunkSize;
    const int64_t here = fileOffset();
    mFile::seek(static_cast<int32_t>(stream.formatOffset), 0);
    if (mAudioWAV::open(std::max(stream.formatSize, 1))) {
        // The stream's length counts sample frames of every channel.
        const uint32_t blockAlign = std::max<uint32_t>(waveFormat().blockAlign, 1);
        dataBytes = static_cast<uint32_t>(
            std::min<uint64_t>(uint64_t{stream.length} * blockAlign, unknownSize - 1));
        dataUnits = bytesToUnits(dataBytes);
        duration = unitsToTime(dataUnits);
    }
    mFile::seek(static_cast<int32_t>(here), 0);
    chunkDepth = depth;
    chunkEnds = ends;
    chunkEnd = end;
    chunkSize = size;
}

int32_t mImageAVI::setCurrent(int32_t index) {
    current = index;
    audioStream = index;
    audioChunkId = streamDigits(std::clamp(index, 0, mostStreams - 1)) |
                   uint32_t{fourCC("00wb") & 0xFFFF0000u};
    bestAudioPriority = 99;
    if (!playing && index >= 0 && static_cast<std::size_t>(index) < streams.size() &&
        streams[static_cast<std::size_t>(index)].type == fourCC("auds")) {
        openAudioFormat(streams[static_cast<std::size_t>(index)]);
    }
    return index;
}

int32_t mImageAVI::play(int32_t length, int32_t loops) {
    // A new ring starts without a block half filled.
    if (!playing) collecting = nullptr;
    return mAudioWAV::play(length, loops);
}

int32_t mImageAVI::WriteHeader() {
    reportError(idImageAVI, errNotImplemented, "WriteHeader()");
    return 0;
}

int32_t mImageAVI::WriteFrame(int32_t, int32_t, int32_t) {
    reportError(idImageAVI, errNotImplemented, "WriteFrame()");
    return 0;
}

int32_t mImageAVI::updateRemap() {
    if (remap && destination) remapActive = frameBitmap.buildRemap(destination);
    return remapActive;
}

int32_t mImageAVI::setTransparent(int32_t flag) {
    transparent = flag;
    frameBitmap.setTransparent(flag != 0);
    return flag;
}

uint32_t mImageAVI::setTransparentColour(uint32_t colour) {
    transparent = 1;
    transparentColour = colour;
    frameBitmap.setTransparentIndex(colour);
    autoColourKey = 0;
    return colour;
}

int32_t mImageAVI::setRemap(int32_t flag) {
    remap = flag;
    frameBitmap.setRemap(flag != 0);
    paletteChanged = flag ? 0 : 1;
    return flag;
}
