#include <cstring>
#include <new>

#include "engine/media/mImageAVI.h"
#include "engine/media/mImageBMP.h"
#include "engine/media/mImageDCX.h"
#include "engine/media/mImageFlic.h"
#include "engine/media/mImagePCX.h"
#include "engine/sprite/mSpriteGroup.h"

namespace {

// A failed allocation gives null, not an exception: the factory then returns no reader.
template <class Reader>
std::unique_ptr<mImageBitmap> make() {
    return std::unique_ptr<mImageBitmap>(new (std::nothrow) Reader);
}

struct Maker {
    const char* key;
    std::unique_ptr<mImageBitmap> (*construct)();
};

// Compared in this order; FLI and FLC are one reader, which tells them apart by the header.
constexpr Maker makers[] = {
    {"BMP", make<mImageBMP>},  {"AVI", make<mImageAVI>}, {"FLI", make<mImageFlic>},
    {"FLC", make<mImageFlic>}, {"PCX", make<mImagePCX>}, {"DCX", make<mImageDCX>},
};

}  // namespace

void mSpriteGroup::fileExtension(const char* fileName, std::span<char, extensionSize> key) {
    key[0] = '\0';
    const char* dot = fileName ? std::strchr(fileName, '.') : nullptr;
    if (!dot) return;
    std::size_t length = 0;
    for (const char* next = dot + 1; *next != '\0' && length + 1 < key.size(); ++next) {
        char c = *next;
        key[length++] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    key[length] = '\0';
}

// The name decides alone: nothing is opened here, so a missing file shows when it is opened.
std::unique_ptr<mImageBitmap> mSpriteGroup::createImage(const char* name) {
    char key[extensionSize];
    fileExtension(name, key);
    for (const Maker& maker : makers) {
        if (std::strcmp(key, maker.key) == 0) return maker.construct();
    }
    reportError(idImageBitmap, errFileType, key);
    return nullptr;
}
