#include "tools/lumivale-play/ImageFiles.h"

#include <array>

#include "engine/sprite/mSpriteGroup.h"

std::string extensionKey(const std::string& path) {
    std::array<char, mSpriteGroup::extensionSize> key{};
    mSpriteGroup::fileExtension(path.c_str(), key);
    return key.data();
}

std::unique_ptr<mImageBitmap> readerFor(const std::string& path) {
    // The group only reports for the factory.
    mSpriteGroup factory;
    return factory.createImage(path.c_str());
}
