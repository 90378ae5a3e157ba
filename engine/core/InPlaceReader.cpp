#include "engine/core/InPlaceReader.h"

#include <cstring>

const uint8_t* InPlaceReader::takeSlow(int32_t count) {
    if (failure) return nullptr;
    if (count <= file.wrapSize && !dataExhausted()) {
        file.fill(file.cursor);
        if (file.cursor && file.dataEnd - file.cursor >= count) {
            const uint8_t* bytes = file.cursor;
            file.cursor += count;
            return bytes;
        }
    }
    if (count > maxTake) {
        failure = true;
        return nullptr;
    }
    if (!copy(scratch.data(), count)) return nullptr;
    return scratch.data();
}

bool InPlaceReader::copy(uint8_t* destination, int64_t count) {
    if (failure) return false;
    while (count > 0) {
        int64_t available = file.dataEnd - file.cursor;
        if (available == 0) {
            if (!refill()) {
                failure = true;
                return false;
            }
            continue;
        }
        int64_t part = std::min(available, count);
        if (destination) {
            std::memcpy(destination, file.cursor, static_cast<std::size_t>(part));
            destination += part;
        }
        file.cursor += part;
        count -= part;
    }
    return true;
}

bool InPlaceReader::refill() {
    if (dataExhausted()) return false;
    if (!file.fill(nullptr)) return false;
    return file.dataEnd > file.cursor;
}

bool InPlaceReader::atEnd() {
    if (file.dataEnd > file.cursor) return false;
    return !refill();
}

void InPlaceReader::skipTo(int64_t target) {
    int64_t here = offset();
    if (target <= here) return;
    int64_t dataEndOffset = here + (file.dataEnd - file.cursor);
    if (target <= dataEndOffset) {
        file.cursor += target - here;
        return;
    }
    if (dataExhausted() || dataEndOffset >= file.fileSize) {
        file.cursor = file.dataEnd;
        return;
    }
    file.seek(static_cast<int32_t>(std::min<int64_t>(target, file.fileSize)), 0);
}
