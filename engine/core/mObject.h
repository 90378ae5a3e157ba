#pragma once
#include <cstdint>

namespace platform {
class Module;
}

// Root of every engine class: a use count telling whether another object still holds this one,
// and the engine's one way of reporting trouble, a box naming the class and the error.
class mObject {
  public:
    // Class identifiers: each class reports with its own.
    enum ClassId : int32_t {
        idObject = 0,
        idBitmap = 1,
        idDirector = 2,
        idFile = 3,
        idImage = 4,
        idImageBitmap = 5,
        idImageBMP = 6,
        idImageFlic = 7,
        idImageAVI = 8,
        idRenderer = 9,
        idRenderSolid = 10,
        idRenderBMP = 11,
        idRenderFlic = 12,
        idSprite = 13,
        idSpriteImage = 14,
        idAudioWAV = 15,
        idScript = 16,
        idImagePCX = 17,
        idImageDCX = 18,
        idSpriteGroup = 19,
    };

    enum ErrorCode : int32_t {
        errNone = 0,
        errOutOfMemory = 1,
        errMemLock = 2,
        errNoWinG = 3,
        errNoDC = 4,
        errFileOpen = 5,
        errFileRead = 6,
        errFileWrite = 7,
        errFileSeek = 8,
        errFileType = 9,
        errFileNotClosed = 10,
        errBitmap = 11,
        errBadFrameHeader = 12,
        errBadChunkType = 13,
        errNotImplemented = 14,
        errNotTested = 15,
        errBadRectangle = 16,
        errStillInUse = 17,
        errNoLabel = 18,
        errMissingParameter = 19,
        errOutOfRange = 20,
        errBadProgInst = 21,
    };

    static constexpr int32_t severityError = 0;
    static constexpr int32_t severityWarning = 2;

    mObject() = default;
    mObject(const mObject&) {}
    mObject& operator=(const mObject&) { return *this; }
    virtual ~mObject();

    virtual void reportError(int32_t classId, int32_t code, const char* detail);
    virtual void reportWarning(int32_t classId, int32_t code, const char* detail);
    virtual int32_t report(int32_t severity, int32_t classId, int32_t code, const char* detail);

    // Holders that currently reference this object; a copy starts unheld.
    int32_t useCount = 0;

    // Process-wide engine settings, written once when the saver window is created.
    static inline const platform::Module* instance = nullptr;
    static inline const platform::Module* stringModule = nullptr;
    static inline uint32_t stringBase = 4400;
};
