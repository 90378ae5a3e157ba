#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/media/mAudioWAV.h"
#include "engine/media/mImageBitmap.h"
#include "engine/platform/VideoFormat.h"

// Reads AVI clips: walks the file's RIFF structure, hands each video chunk to a decompressor of
// the platform's video compression manager, which writes the picture into the reader's 8-bit
// frame bitmap, and copies that into the destination like every reader. Frames are decoded in
// file order; seekFrame brings the file position and the current frame into line, restarting
// at a key frame of the index for long jumps. The clip's sound plays through the audio part:
// while the sound plays, the audio chunks passed over on the way to the next video chunk are
// queued on the device, so the sound advances only as fast as frames are read.
//
// Typical use: open(name, 0); openImage(); attachBitmap(&target); play(0, 1); then readFrame
// once per displayed frame, dispatching the thread's messages in between.
class mImageAVI : public mAudioWAV, public mImageBitmap {
  public:
    static constexpr uint32_t formatAvi = fourCC("AVI ");
    static constexpr int32_t mainHeaderSize = 56;
    static constexpr int32_t streamHeaderSize = 64;
    static constexpr int32_t largestVideoFormat = 1064;
    static constexpr uint32_t flagHasIndex = 0x10;
    static constexpr uint32_t indexKeyFrame = 0x10;
    static constexpr int32_t indexEntrySize = 16;
    // Jumps of at most this many frames decode forward instead of using the index.
    static constexpr int32_t shortJump = 10;
    // Chunk ids number streams with two digits.
    static constexpr int32_t mostStreams = 100;
    // Frames past these sides or this many pixels are refused as if memory had run out.
    static constexpr int32_t largestSide = 16384;
    static constexpr int64_t largestFramePixels = int64_t{1} << 24;
    // Blocks in the sound's ring at most, whatever the clip's initial frames ask for.
    static constexpr int32_t mostAudioBlocks = 64;

    // A stream's header as read, for callers that list the streams.
    struct StreamInfo {
        uint32_t type = 0;
        uint32_t handler = 0;
        uint16_t priority = 0;
        uint32_t initialFrames = 0;
        uint32_t scale = 0;
        uint32_t rate = 0;
        uint32_t length = 0;
        uint32_t suggestedBuffer = 0;
        // The start of the "strf" record: a BITMAPINFOHEADER or a WAVEFORMATEX.
        std::array<uint8_t, 40> format{};
        uint32_t formatOffset = 0;
        int32_t formatSize = 0;
    };

    // The sound's operations are the stream's: the file's stay reachable through mFile.
    using mAudioWAV::open;
    using mAudioWAV::read;
    using mAudioWAV::seek;
    using mAudioWAV::write;

    mImageAVI();
    ~mImageAVI() override;

    int32_t openImage() override;
    int32_t WriteHeader() override;
    int32_t readFrame(int32_t x, int32_t y, const Rect* clip) override;
    int32_t WriteFrame(int32_t first, int32_t second, int32_t third) override;
    int32_t seekFrame(int32_t frame, int32_t origin) override;
    int32_t updateRemap() override;
    int32_t setTransparent(int32_t flag) override;
    uint32_t setTransparentColour(uint32_t colour) override;
    int32_t setRemap(int32_t flag) override;
    // Chooses audio stream n; when n is an audio stream of the clip its format is taken too.
    int32_t setCurrent(int32_t index) override;
    int32_t play(int32_t length, int32_t loops) override;
    // Collects the audio chunk at the cursor into the block being filled, queueing each block
    // that fills up; what finds no free block is dropped. Returns 1 when sound was dropped.
    int32_t fillBuffer(uint32_t length) override;

    uint32_t microsecondsPerFrame() const;
    uint32_t headerFlags() const;
    uint32_t streamCount() const;

    mBitmap frameBitmap;
    std::array<uint8_t, mainHeaderSize> mainHeader{};
    int32_t bestAudioPriority = 0;
    int32_t bestVideoPriority = 0;
    int32_t audioStream = 0;
    int32_t videoStream = 0;
    uint32_t audioChunkId = 0;
    uint16_t videoStreamId = 0;
    std::unique_ptr<uint8_t[]> videoFormat;
    int32_t videoFormatSize = 0;
    uint32_t decompressor = 0;
    int32_t compressedCapacity = 0;
    std::unique_ptr<uint8_t[]> compressedFrame;
    int32_t decodedFrame = -1;
    int32_t seeking = 0;
    int32_t autoColourKey = 1;
    uint32_t moviOffset = 0;
    uint32_t indexOffset = 0;
    std::vector<StreamInfo> streams;

  private:
    void release();
    // The RIFF walk of opening, up to the movie list and the index.
    bool readHeaders();
    bool readStreams(uint32_t total);
    bool takeVideoStream(int32_t index, const StreamInfo& stream);
    void takeAudioStream(int32_t index, const StreamInfo& stream);
    void openAudioFormat(const StreamInfo& stream);
    bool createFrameBitmap();
    bool openDecompressor(uint32_t handler);
    void closeDecompressor();
    bool takeStreamPalette();
    platform::FrameTarget frameTarget();

    // Reading frames (mImageAVIFrames.cpp).
    bool decodeNextFrame();
    // Walks the movie data to the next video chunk, queueing the sound and applying the palette
    // changes passed on the way. With `readVideo` the chunk is read into the compressed-frame
    // buffer and its size returned; without, the walk stops in front of it and returns 0.
    // -1 at the end of the movie data.
    int32_t walkMovie(bool readVideo);
    int32_t readVideoChunk();
    void readAudioChunk();
    void readPaletteChange();
    void applyPaletteChange(const uint8_t* change, int32_t size);
    bool growCompressed(int32_t size);
    void queueCollected();
    void keyColourFromFirstFrame();
    bool isVideoChunk(uint32_t id) const;
    bool isPaletteChunk(uint32_t id) const;

    // Seeking (mImageAVISeek.cpp).
    bool restartFromIndex(int32_t target, int32_t& start);
    bool chunkAt(int64_t offset, uint32_t id);
    void rewind();

    uint32_t moviEnd = 0;
    int32_t indexSize = 0;
    int32_t freshColours = 0;           // the frame decoded last changed the colours
    BufferBlock* collecting = nullptr;  // the block audio chunks are gathered in, not yet queued
    uint32_t collected = 0;
};
