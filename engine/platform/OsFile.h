#pragma once
#include <cstdint>

namespace platform {

// What the buffered file layer shares with its caller: the buffer it reads into and how far
// the last read filled it. The caller consumes [next, endRead) itself.
struct IoInfo {
    uint8_t* buffer = nullptr;
    int32_t bufferSize = 0;
    uint8_t* next = nullptr;
    uint8_t* endRead = nullptr;
    int32_t diskOffset = 0;
};

// An operating-system file read through a caller's buffer, one whole buffer at a time.
class OsFile {
  public:
    static constexpr uint32_t readOnly = 0x0000;
    static constexpr uint32_t writeOnly = 0x0001;
    static constexpr uint32_t readWrite = 0x0002;
    static constexpr uint32_t create = 0x1000;

    static constexpr int fromStart = 0;
    static constexpr int fromCurrent = 1;
    static constexpr int fromEnd = 2;

    OsFile() = default;
    ~OsFile();
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;

    bool open(const char* name, uint32_t flags);
    bool isOpen() const { return fd >= 0; }
    void close();

    // Moves the disk position; returns the new offset, or -1 on failure.
    int32_t seek(int32_t offset, int origin);

    // Reads into `buffer` from now on; any buffered data is dropped.
    void setBuffer(uint8_t* buffer, int32_t size);
    void getInfo(IoInfo& out) const { out = info; }
    void setInfo(const IoInfo& in) { info = in; }

    // Reads the next buffer's worth from the disk position into the buffer and sets `next`
    // and `endRead` around what was read (nothing at end of file). 0 on success.
    int advance(IoInfo& io);

    // Writes at the disk position; returns the bytes written, or -1 on failure.
    int32_t write(const void* source, int32_t count);

  private:
    int fd = -1;
    IoInfo info;
};

}  // namespace platform
