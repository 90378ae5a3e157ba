// Image sprites built from a file name, and the text files that carry a sprite's script and
// its group's definitions together.
#include <array>
#include <memory>
#include <string_view>

#include "engine/core/mFile.h"
#include "engine/sprite/mSpriteGroup.h"
#include "engine/sprite/mSpriteImage.h"

mSpriteImage::mSpriteImage(const char* fileName) : mSpriteImage() {
    std::array<char, mSpriteGroup::extensionSize> key{};
    mSpriteGroup::fileExtension(fileName, key);
    if (std::string_view(key.data()) != "LOD") {
        setImage(std::make_unique<mSpriteGroup>(fileName).release());
    } else {
        // The sprite holds the group from here on, also when the file does not open.
        mSpriteGroup* group = std::make_unique<mSpriteGroup>().release();
        setImage(group);
        if (group->open(fileName, 0)) {
            loadScript(*group);
            group->close();
        }
    }
    setPosition(0, 0, -1);
}

int32_t mSpriteImage::loadScript(mFile& file) {
    if (!file.isOpen) return 1;
    // Both readers start at the same place: each skips the other's words.
    const int32_t start = file.seek(0, 1);
    mSprite::loadScript(file);
    file.seek(start, 0);
    if (image && image->format == mSpriteGroup::formatGroup) {
        // The tag marks a group; the cast guards against another reader using the same tag.
        if (auto* group = dynamic_cast<mSpriteGroup*>(image)) group->loadDefinitions(file);
    }
    return 1;
}
