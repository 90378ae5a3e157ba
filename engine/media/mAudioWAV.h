#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/mFile.h"
#include "engine/media/mImage.h"
#include "engine/platform/WaveFormat.h"
#include "engine/platform/WaveHeader.h"

// Plays PCM sound from its own file through the wave-out device. The data streams through a
// small ring of buffers that the file reads straight into: a pass queues two of them, and
// each one the device finishes is refilled and queued again until the requested bytes have
// been played, the given number of times; then the device closes. The device reports finished
// buffers to a hidden window of class "mAudio", so the refills run inside the message dispatch
// of the thread that called `play`, and `play`, `pause`, `stop` and destruction belong to that
// thread too.
//
// Typical use: mFile::open(name, 0); play(0, 1); keep dispatching the thread's messages until
// `playing` is 0.
class mAudioWAV : public virtual mFile, public virtual mImage {
  public:
    static constexpr uint32_t streamWave = fourCC("WAVE");
    static constexpr uint32_t unknownSize = 0xFFFFFFFF;
    static constexpr uint32_t defaultBlockSize = 0x4000;
    static constexpr int32_t defaultBlockCount = 2;
    static constexpr uint32_t largestBlock = 1u << 20;
    static constexpr int32_t rawRecordSize = 16;
    // Bytes of a "fmt " chunk kept at most: the PCM record and any extension a real file has.
    static constexpr int32_t largestFormat = 1024;
    static constexpr const char* windowClass = "mAudio";

    // The file's and the stream's operations share names: the sound's are the ones below, and
    // the file's stay reachable through mFile, its `open(name, flags)` directly.
    using mFile::open;

    mAudioWAV();
    ~mAudioWAV() override;

    int32_t open(int32_t formatSize) override;
    int32_t create(int32_t value) override;
    int32_t seek(int32_t where, int32_t origin) override;
    int32_t play(int32_t length, int32_t loops) override;
    int32_t pause() override;
    int32_t stop() override;
    int32_t setVolume(int32_t left, int32_t right) override;
    int32_t read(void* buffer, int32_t length) override;
    int32_t write(const void* buffer, int32_t length) override;
    int32_t setCurrent(int32_t index) override;

    // Fills the block after the last one filled with `length` bytes (0: a whole block) and
    // queues it. Returns 1 when that block is still queued from before, else 0.
    virtual int32_t fillBuffer(uint32_t length);

    void setBufferSize(uint32_t length, int32_t count);
    // Closes the file, or marks it to be closed when playback ends.
    void closeFile();

    uint32_t waveOut = 0;
    uint32_t callbackWindow = 0;
    uint32_t blockSize = defaultBlockSize;
    int32_t blockCount = defaultBlockCount;
    uint32_t bytesLeft = 0;
    uint32_t dataChunkOffset = 0;
    int32_t closePending = 0;
    int32_t autoRefill = 1;
    int32_t loopsLeft = 0;
    uint32_t bytesToPlay = 0;
    uint32_t startPosition = 0;

    uint32_t streamTag = 0;
    uint32_t deviceCount = 0;
    uint32_t deviceId = 0;
    uint32_t deviceRate = 0;
    uint32_t deviceBits = 0;
    uint32_t deviceChannels = 0;
    uint16_t leftVolume = 0;
    uint16_t rightVolume = 0;
    uint32_t volumeCaps = 0;
    uint32_t playPosition = 0;
    int32_t playing = 0;
    int32_t paused = 0;
    uint32_t dataBytes = 0;
    uint32_t dataUnits = 0;
    uint32_t duration = 0;

    // The format record as read from the file, at least a PCM record long.
    const uint8_t* formatRecord() const { return formatBlock.get(); }
    int32_t formatRecordSize() const { return formatSize; }
    platform::WaveFormat waveFormat() const;

  protected:
    // One buffer of the ring: the device's header and the sound data it points at.
    struct BufferBlock {
        BufferBlock* next = nullptr;
        std::unique_ptr<uint8_t[]> data;
        platform::WaveHeader header;
    };

    BufferBlock* ringHead() const { return ring.empty() ? nullptr : ring.front().get(); }
    // The block after `currentBlock` when the device has handed it back, else null.
    BufferBlock* nextFreeBlock() const;
    // Reads `length` bytes at the file's cursor straight into `target`, which stays the file's
    // buffer until it is given another; returns the bytes read, fewer at the end of the file.
    uint32_t readStraight(uint8_t* target, uint32_t length);
    // Hands `block` with `length` bytes to the device; a pass whose bytes are all queued then
    // loops or ends.
    void queueBlock(BufferBlock& block, uint32_t length);
    // The file offset of the cursor.
    int64_t fileOffset() const;
    BufferBlock* currentBlock = nullptr;

  private:
    static int64_t windowProcedure(uint32_t window, uint32_t message, uint64_t wParam,
                                   int64_t lParam);
    void readDeviceVolume();
    bool readRiffFormat();
    bool readRawFormat(int32_t formatSize);
    bool allocateFormat(int32_t size);
    void takeFormatFields();
    // Bytes that a pass starting at `playPosition` can reach.
    uint32_t bytesAvailable() const;
    bool buildRing();
    int32_t startPass();
    void passQueued();
    void blockFinished(uint32_t device, platform::WaveHeader& header);
    void closeDevice();
    void dropWindow();
    uint32_t deviceOrFirst() const;

    std::unique_ptr<uint8_t[]> formatBlock;
    int32_t formatSize = 0;
    // File offset of the first sound byte, RIFF or raw: every pass starts from there.
    int64_t firstSoundByte = 0;
    std::vector<std::unique_ptr<BufferBlock>> ring;
};
