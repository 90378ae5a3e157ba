#include "engine/platform/OsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

OsFile::~OsFile() {
    close();
}

bool OsFile::open(const char* name, uint32_t flags) {
    close();
    if (!name) return false;
    int mode = O_RDONLY;
    if (flags & writeOnly) mode = O_WRONLY;
    if (flags & readWrite) mode = O_RDWR;
    if (flags & create) mode |= O_CREAT | O_TRUNC;
    do {
        fd = ::open(name, mode | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    info = IoInfo{};
    return fd >= 0;
}

void OsFile::close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    info = IoInfo{};
}

int32_t OsFile::seek(int32_t offset, int origin) {
    if (fd < 0) return -1;
    int whence = origin == fromCurrent ? SEEK_CUR : origin == fromEnd ? SEEK_END : SEEK_SET;
    off_t result = ::lseek(fd, offset, whence);
    if (result < 0 || result > INT32_MAX) return -1;
    info.diskOffset = static_cast<int32_t>(result);
    return static_cast<int32_t>(result);
}

void OsFile::setBuffer(uint8_t* buffer, int32_t size) {
    info.buffer = buffer;
    info.bufferSize = buffer ? size : 0;
    info.next = buffer;
    info.endRead = buffer;
}

int OsFile::advance(IoInfo& io) {
    if (fd < 0 || !io.buffer || io.bufferSize <= 0) return -1;
    int32_t total = 0;
    while (total < io.bufferSize) {
        ssize_t got = ::read(fd, io.buffer + total, static_cast<size_t>(io.bufferSize - total));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            io.next = io.buffer;
            io.endRead = io.buffer + total;
            return -1;
        }
        if (got == 0) break;
        total += static_cast<int32_t>(got);
    }
    io.next = io.buffer;
    io.endRead = io.buffer + total;
    io.diskOffset += total;
    info = io;
    return 0;
}

int32_t OsFile::write(const void* source, int32_t count) {
    if (fd < 0 || !source || count < 0) return -1;
    const auto* bytes = static_cast<const uint8_t*>(source);
    int32_t total = 0;
    while (total < count) {
        ssize_t put = ::write(fd, bytes + total, static_cast<size_t>(count - total));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return total > 0 ? total : -1;
        total += static_cast<int32_t>(put);
    }
    info.diskOffset += total;
    return total;
}

}  // namespace platform
