#include "engine/core/mFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/platform/Memory.h"

namespace {

// Spare bytes behind the I/O buffer, so that the keyword reader may end an argument that runs
// into the end of a full buffer.
constexpr int32_t tailSlack = 4;

int32_t roundedSize(int32_t size, int32_t fallback) {
    if (size <= 0 || size > std::numeric_limits<int32_t>::max() - 3) return fallback;
    return (size + 3) & ~3;
}

}  // namespace

mFile::mFile() {
    setBufferSizes(defaultBufferSize, defaultWrapSize);
}

mFile::~mFile() {
    if (isOpen) {
        reportWarning(idFile, errFileNotClosed, fileName);
        close();
    }
}

void mFile::resetState() {
    isOpen = 0;
    fileSize = 0;
    fileName = nullptr;
    position = 0;
    cursor = dataStart = dataEnd = nullptr;
    modeFlags = 0;
    reserveStart = bufferStart = bufferEnd = nullptr;
    dataOffset = 0;
    chunkDepth = 0;
    chunkEnds.fill(0);
    chunkEnd = 0;
    chunkSize = 0;
    ioInfo = {};
    nameCopy.clear();
}

void mFile::setBufferSizes(int32_t buffer, int32_t wrap) {
    if (isOpen) return;
    bufferSize = ownBufferSize = roundedSize(buffer, defaultBufferSize);
    wrapSize = ownWrapSize = roundedSize(wrap, defaultWrapSize);
}

int32_t mFile::open(const char* name, uint32_t flags) {
    // Callers close first; closing here keeps a careless second open from leaking the first.
    if (isOpen) close();
    const char* detail = name ? name : "";
    workingBlock = platform::Memory::allocate(static_cast<std::size_t>(bufferSize) +
                                              static_cast<std::size_t>(wrapSize) + tailSlack);
    if (!workingBlock) {
        reportError(idFile, errOutOfMemory, detail);
        return 0;
    }
    if (!name || !handle.open(name, flags)) {
        reportError(idFile, errFileOpen, detail);
        workingBlock.reset();
        fileSize = 0;
        isOpen = 0;
        return 0;
    }
    nameCopy = name;
    fileName = nameCopy.c_str();
    fileSize = std::max(handle.seek(0, platform::OsFile::fromEnd), 0);
    handle.seek(0, platform::OsFile::fromStart);

    position = 0;
    dataOffset = 0;
    modeFlags = 0;
    isOpen = 1;
    ownBufferSize = bufferSize;
    ownWrapSize = wrapSize;
    reserveStart = workingBlock.get();
    bufferStart = reserveStart + wrapSize;
    bufferEnd = bufferStart + bufferSize;
    handle.setBuffer(bufferStart, bufferSize);
    handle.getInfo(ioInfo);
    cursor = dataStart = dataEnd = bufferEnd;
    return 1;
}

void mFile::openMemory(uint8_t* block, int32_t size) {
    if (isOpen) close();
    // A null block is an empty one; the pointers below need a real address to point past.
    if (!block) {
        block = emptyBlock.data();
        size = 0;
    }
    size = std::max(size, 0);
    modeFlags = memoryMode;
    reserveStart = bufferStart = dataStart = cursor = block;
    dataEnd = block + size;
    // One past the data, so that the end-of-data tests (dataEnd < bufferEnd) see the block's end.
    bufferEnd = dataEnd + 1;
    fileSize = size;
    position = 0;
    dataOffset = 0;
    isOpen = 1;
}

void mFile::close() {
    if (!inMemory()) handle.close();
    workingBlock.reset();
    resetState();
    setBufferSizes(defaultBufferSize, defaultWrapSize);
}

int32_t mFile::cursorOffset() const {
    return dataOffset + static_cast<int32_t>(cursor - dataStart);
}

uint8_t* mFile::fill(uint8_t* keepFrom) {
    if (!isOpen) {
        reportError(idFile, errFileRead, fileName);
        return nullptr;
    }
    if (inMemory()) {
        // The whole block is already there: keep what was asked for, drop the rest.
        cursor = keepFrom ? std::clamp(keepFrom, dataStart, dataEnd) : dataEnd;
        position = cursorOffset();
        return cursor;
    }
    dataOffset += static_cast<int32_t>(dataEnd - dataStart);
    dataStart = bufferStart;
    if (keepFrom) {
        auto kept = dataEnd - keepFrom;
        if (kept > wrapSize) {
            reportError(idFile, errOutOfRange, "Wrap Block");
        } else if (kept > 0) {
            std::memmove(bufferStart - kept, keepFrom, static_cast<std::size_t>(kept));
            dataStart = bufferStart - kept;
            dataOffset -= static_cast<int32_t>(kept);
        }
    }
    if (handle.advance(ioInfo) != 0) reportError(idFile, errFileRead, fileName);
    // The engine consumes the whole buffer itself.
    ioInfo.next = ioInfo.endRead;
    dataEnd = ioInfo.endRead ? ioInfo.endRead : bufferStart;
    position = dataOffset;
    cursor = dataStart;
    return cursor;
}

int32_t mFile::read(void* destination, int32_t count) {
    if (!isOpen) {
        reportError(idFile, errFileRead, fileName);
        return 0;
    }
    if (count <= 0 || !destination) return 0;
    auto* out = static_cast<uint8_t*>(destination);
    auto available = std::max<std::ptrdiff_t>(dataEnd - cursor, 0);
    if (available == 0 && dataEnd != bufferEnd) return -1;

    int32_t copied = 0;
    while (count - copied > available) {
        if (available > 0) std::memcpy(out + copied, cursor, static_cast<std::size_t>(available));
        copied += static_cast<int32_t>(available);
        cursor += available;
        fill(nullptr);
        available = std::max<std::ptrdiff_t>(dataEnd - cursor, 0);
        if (available == 0) return copied;
    }
    std::memcpy(out + copied, cursor, static_cast<std::size_t>(count - copied));
    cursor += count - copied;
    position = cursorOffset();
    return count;
}

int32_t mFile::write(const void* source, int32_t count) {
    if (!isOpen) {
        reportError(idFile, errFileWrite, fileName);
        return 0;
    }
    int32_t written = handle.write(source, count);
    if (written > 0) {
        dataOffset += written;
        position += written;
        fileSize = std::max(fileSize, dataOffset);
    }
    return written;
}

int32_t mFile::seek(int32_t offset, int32_t origin) {
    if (!isOpen) {
        reportError(idFile, errFileSeek, fileName);
        return -1;
    }
    int64_t target = offset;
    if (origin == 1) target += cursorOffset();
    if (origin == 2) target += fileSize;

    if (target >= dataOffset && target < dataOffset + (dataEnd - dataStart)) {
        cursor = dataStart + (target - dataOffset);
        position = static_cast<int32_t>(target);
        return position;
    }
    if (inMemory()) {
        // No handle behind a memory block: anything from its start to its end is reachable.
        if (target < 0 || target > fileSize) {
            reportError(idFile, errFileSeek, fileName);
            return -1;
        }
        cursor = dataStart + target;
        position = static_cast<int32_t>(target);
        return position;
    }
    handle.setInfo(ioInfo);
    int32_t landed = target >= 0 && target <= std::numeric_limits<int32_t>::max()
                         ? handle.seek(static_cast<int32_t>(target), platform::OsFile::fromStart)
                         : -1;
    if (landed < 0) {
        reportError(idFile, errFileSeek, fileName);
        return -1;
    }
    dataOffset = landed;
    handle.setBuffer(bufferStart, static_cast<int32_t>(bufferEnd - bufferStart));
    handle.getInfo(ioInfo);
    position = landed;
    cursor = dataStart = dataEnd = bufferEnd;
    return landed;
}

void mFile::setBuffer(uint8_t* buffer, int32_t size, int32_t wrap) {
    if (!isOpen || inMemory()) return;
    if (buffer && (size <= 0 || wrap < 0)) return;
    handle.setInfo(ioInfo);
    if (cursor == dataEnd) {
        dataOffset += static_cast<int32_t>(dataEnd - dataStart);
    } else {
        // Read the unconsumed bytes again into the new buffer.
        position = cursorOffset();
        dataOffset = std::max(handle.seek(position, platform::OsFile::fromStart), 0);
    }
    if (buffer) {
        reserveStart = buffer;
        bufferSize = size;
        wrapSize = wrap;
    } else {
        reserveStart = workingBlock.get();
        bufferSize = ownBufferSize;
        wrapSize = ownWrapSize;
    }
    bufferStart = reserveStart + wrapSize;
    bufferEnd = bufferStart + bufferSize;
    handle.setBuffer(bufferStart, bufferSize);
    handle.getInfo(ioInfo);
    cursor = dataStart = dataEnd = bufferEnd;
}
