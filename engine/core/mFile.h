#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/mObject.h"
#include "engine/platform/OsFile.h"

// Buffered file reading for the decoders, RIFF chunk navigation and the keyword reader of the
// text formats. Decoders read in place: to use k bytes at `cursor` they call fill(cursor) when
// fewer than k bytes remain before `bufferEnd`, read from the pointer it returns and advance
// `cursor` themselves. k may not exceed `wrapSize`: fill keeps at most that many unread bytes.
// Only [dataStart, dataEnd) holds file data: past the end of a file fewer than k bytes may be
// there, so a decoder that must survive truncated files checks `dataEnd` too.
class mFile : public virtual mObject {
  public:
    static constexpr int32_t defaultBufferSize = 8192;
    static constexpr int32_t defaultWrapSize = 2048;
    static constexpr uint32_t memoryMode = 1;
    static constexpr int32_t maxChunkDepth = 10;

    mFile();
    mFile(const mFile&) = delete;
    mFile& operator=(const mFile&) = delete;
    ~mFile() override;

    void setBufferSizes(int32_t buffer, int32_t wrap);
    int32_t open(const char* name, uint32_t flags);
    // Reads from a caller's block. The keyword reader writes argument terminators into it, up to
    // the byte at block + size when the last line has no line break: such a caller passes a block
    // with one spare byte.
    void openMemory(uint8_t* block, int32_t size);
    void close();
    int32_t read(void* destination, int32_t count);
    int32_t write(const void* source, int32_t count);
    int32_t seek(int32_t offset, int32_t origin);
    uint8_t* fill(uint8_t* keepFrom);
    // Reads into a caller's buffer of wrap + size bytes from now on (null: back to the own one).
    // The keyword reader needs one more byte behind it.
    void setBuffer(uint8_t* buffer, int32_t size, int32_t wrap);

    int32_t descendRiff(uint32_t formType);
    int32_t descendList(uint32_t listType);
    int32_t findChunk(uint32_t chunkId);
    int32_t skipChunk();
    int32_t ascendChunk();
    int32_t ascendList();

    // `keywords` holds upper-case keywords ended by an empty string. Returns the index of the
    // next keyword, with its zero-terminated argument at `cursor`, or -1 at the end of the data.
    int32_t readKeyword(const char* const* keywords);

    // Four-character code as a little-endian word: fourCC("RIFF").
    static constexpr uint32_t fourCC(const char (&code)[5]) {
        return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
               static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
    }

    int32_t isOpen = 0;
    int32_t fileSize = 0;
    const char* fileName = nullptr;
    int32_t position = 0;
    uint8_t* cursor = nullptr;
    uint8_t* dataStart = nullptr;
    uint8_t* dataEnd = nullptr;
    uint32_t modeFlags = 0;
    uint8_t* reserveStart = nullptr;
    uint8_t* bufferStart = nullptr;
    uint8_t* bufferEnd = nullptr;
    int32_t dataOffset = 0;
    int32_t bufferSize = defaultBufferSize;
    int32_t wrapSize = defaultWrapSize;
    int32_t chunkDepth = 0;
    std::array<int32_t, maxChunkDepth> chunkEnds{};
    int32_t chunkEnd = 0;
    int32_t chunkSize = 0;

  private:
    // Makes sure `count` bytes lie between `cursor` and `bufferEnd`.
    void ensure(int32_t count);
    bool headerInside();
    int32_t containerEnd() const;
    int32_t skipTo(int64_t end);
    int32_t cursorOffset() const;
    void resetState();
    bool inMemory() const { return (modeFlags & memoryMode) != 0; }

    platform::OsFile handle;
    platform::IoInfo ioInfo;
    std::unique_ptr<uint8_t[]> workingBlock;
    std::string nameCopy;
    std::array<uint8_t, 1> emptyBlock{};        // attached in place of a null memory block
    int32_t ownBufferSize = defaultBufferSize;  // the working block's sizes while a caller's
    int32_t ownWrapSize = defaultWrapSize;      // buffer is in use
};
