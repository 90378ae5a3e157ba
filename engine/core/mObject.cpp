#include "engine/core/mObject.h"

#include <array>
#include <cstring>

#include "engine/platform/Module.h"
#include "engine/platform/ReportSink.h"

namespace {

constexpr std::array<const char*, 20> classNames = {
    "mObject",      "mBitmap",    "mDirector",   "mFile",     "mImage",
    "mImageBitmap", "mImageBMP",  "mImageFlic",  "mImageAVI", "mRenderer",
    "mRenderSolid", "mRenderBMP", "mRenderFlic", "mSprite",   "mSpriteImage",
    "mAudioWAV",    "mScript",    "mImagePCX",   "mImageDCX", "mSpriteGroup",
};

constexpr std::array<const char*, 22> errorTexts = {
    "",
    "Out of memory",
    "Mem lock error",
    "No WinG support",
    "Can't get a DC",
    "File open error",
    "File read error",
    "File write error",
    "File seek error",
    "File type error",
    "File not closed",
    "Bitmap error",
    "Bad frame header",
    "Bad chunk type",
    "Not implemented",
    "Not tested",
    "Bad rectangle",
    "Still in use",
    "Label doesn't exist",
    "Missing parameter",
    "Value out of range",
    "Bad ProgInst Value",
};

constexpr int overrideLimit = 40;

// Copies at most `limit` characters of `source` behind what `buffer` already holds.
void append(char* buffer, const char* source, std::size_t limit) {
    std::size_t used = std::strlen(buffer);
    std::size_t count = strnlen(source, limit);
    std::memcpy(buffer + used, source, count);
    buffer[used + count] = '\0';
}

// The program's string table may override a built-in text; otherwise the table entry, or the
// fallback when the index lies outside the table (compared unsigned, so negatives do too).
template <std::size_t N>
void lookUp(char* buffer, std::size_t limit, int32_t index, const std::array<const char*, N>& table,
            const char* fallback) {
    buffer[0] = '\0';
    if (mObject::stringModule) {
        uint32_t id = mObject::stringBase + static_cast<uint32_t>(index);
        if (mObject::stringModule->loadString(id, buffer, overrideLimit) > 0) return;
    }
    auto unsignedIndex = static_cast<uint32_t>(index);
    append(buffer, unsignedIndex < N ? table[unsignedIndex] : fallback, limit);
}

uint32_t iconFor(int32_t severity) {
    switch (severity) {
        case 0:
            return platform::ReportSink::iconHand;
        case 1:
            return platform::ReportSink::iconQuestion;
        case 2:
            return platform::ReportSink::iconExclamation;
        default:
            return platform::ReportSink::iconAsterisk;
    }
}

}  // namespace

mObject::~mObject() {
    if (useCount != 0) reportWarning(idObject, errStillInUse, nullptr);
}

void mObject::reportError(int32_t classId, int32_t code, const char* detail) {
    report(severityError, classId, code, detail);
}

void mObject::reportWarning(int32_t classId, int32_t code, const char* detail) {
    report(severityWarning, classId, code, detail);
}

int32_t mObject::report(int32_t severity, int32_t classId, int32_t code, const char* detail) {
    char caption[80];
    char text[84];
    lookUp(caption, sizeof caption - 1, classId, classNames, "Unknown Object");
    lookUp(text, 40, code, errorTexts, "Unknown Error");
    if (detail) {
        if (text[0] != '\0') append(text, ":", 1);
        append(text, detail, 40);
    }
    return platform::ReportSink::show(text, caption, iconFor(severity));
}
