#include <algorithm>
#include <limits>

#include "engine/base/LittleEndian.h"
#include "engine/core/mFile.h"

namespace {

int32_t clampOffset(int64_t offset) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(offset, 0, std::numeric_limits<int32_t>::max()));
}

// File offset just past a chunk whose header starts at `start`: data padded to an even size.
int64_t chunkEndFrom(int64_t start, uint32_t size) {
    return start + 8 + size + (size & 1u);
}

}  // namespace

void mFile::ensure(int32_t count) {
    if (bufferEnd - cursor < count) fill(cursor);
}

int32_t mFile::descendRiff(uint32_t formType) {
    if (!isOpen) return 0;
    ensure(12);
    if (dataEnd - cursor < 12 || littleEndian::load32(cursor) != fourCC("RIFF")) return 0;
    chunkDepth = 0;
    chunkEnds[0] = clampOffset(int64_t{littleEndian::load32(cursor + 4)} + 8);
    if (littleEndian::load32(cursor + 8) != formType) return 0;
    cursor += 12;
    return 1;
}

int32_t mFile::findChunk(uint32_t chunkId) {
    if (!isOpen) return 0;
    // Every skip moves at least one header forward, so this ends at the container's end.
    for (;;) {
        if (headerInside() && littleEndian::load32(cursor) == chunkId) {
            uint32_t size = littleEndian::load32(cursor + 4);
            chunkSize =
                static_cast<int32_t>(std::min<uint32_t>(size, std::numeric_limits<int32_t>::max()));
            chunkEnd = clampOffset(chunkEndFrom(cursorOffset(), size));
            cursor += 8;
            return 1;
        }
        if (!skipChunk()) return 0;
    }
}

int32_t mFile::skipChunk() {
    if (!isOpen) return 0;
    if (headerInside())
        return skipTo(chunkEndFrom(cursorOffset(), littleEndian::load32(cursor + 4)));
    seek(containerEnd(), 0);
    return 0;
}

// Moves to `end` and returns 1 when it lies inside the current container, else moves to the
// container's end and returns 0. A failed seek leaves the cursor where it is and returns 0 too,
// so that a search ends.
int32_t mFile::skipTo(int64_t end) {
    if (end <= containerEnd()) return seek(static_cast<int32_t>(end), 0) < 0 ? 0 : 1;
    seek(containerEnd(), 0);
    return 0;
}

// A whole chunk header lies at the cursor, before the current container's end.
bool mFile::headerInside() {
    ensure(8);
    return int64_t{cursorOffset()} + 8 <= containerEnd() && dataEnd - cursor >= 8;
}

// Sizes in a damaged file may claim more than it holds: no walk goes past the end of the data.
int32_t mFile::containerEnd() const {
    return std::min(chunkEnds[static_cast<std::size_t>(chunkDepth)], fileSize);
}

int32_t mFile::descendList(uint32_t listType) {
    if (!isOpen) return 0;
    for (;;) {
        if (!findChunk(fourCC("LIST"))) return 0;
        ensure(4);
        if (dataEnd - cursor >= 4 && littleEndian::load32(cursor) == listType) break;
        // A list of another type is passed over whole.
        if (!skipTo(chunkEnd)) return 0;
    }
    // Deeper nesting than the table holds is refused rather than written past its end.
    if (chunkDepth + 1 >= maxChunkDepth) return 0;
    ++chunkDepth;
    chunkEnds[static_cast<std::size_t>(chunkDepth)] = chunkEnd;
    cursor += 4;
    return 1;
}

int32_t mFile::ascendChunk() {
    return seek(std::min(chunkEnd, fileSize), 0);
}

int32_t mFile::ascendList() {
    int32_t result = seek(containerEnd(), 0);
    chunkDepth = std::max(chunkDepth - 1, 0);
    return result;
}
