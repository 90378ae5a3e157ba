#pragma once
#include <cstdint>

#include "engine/sprite/mSprite.h"

class mImageBitmap;

// A sprite that shows the frames of an image source. The sprite decides which frame shows and
// when; the image source decodes it and copies it into the stage's back buffer, which it is
// given as its destination. Image sources are shared between sprites through their use count.
class mSpriteImage : public mSprite {
  public:
    // A sprite without image; it wraps to frame 0 after the last frame.
    mSpriteImage();
    // A sprite on no stage at (0, 0) over the named file: an image file wrapped in a sprite
    // group, or, for the extension "LOD", a text file holding both the sprite's script and the
    // definitions of its group.
    explicit mSpriteImage(const char* fileName);
    // Shares the other sprite's image and copies its sprite state.
    mSpriteImage(const mSpriteImage& other);
    mSpriteImage& operator=(const mSpriteImage& other);
    // Releases the image: the last holder destroys it.
    ~mSpriteImage() override;

    // Takes a use of the image (null for none), opens it and times the sprite by its frames.
    // The image previously held is released.
    void setImage(mImageBitmap* newImage);

    void attach() override;
    // The image stops drawing into the stage when no other sprite on it shows the image.
    void detach() override;
    void draw(const Rect* rects, int32_t count) override;
    void tick(uint32_t lateness) override;
    void paletteChanged() override;
    // Bounds and hit rectangle become the image's area; standing still marks only the
    // pixels the last decoded frame changed.
    void setPosition(int32_t newX, int32_t newY, int32_t newZ) override;
    void startScript(int32_t index) override;
    void pause() override;
    void resume() override;
    // Compiles the script at the file's cursor, then lets a sprite group read its definitions
    // from the same text. Returns 1 whatever the script became.
    int32_t loadScript(mFile& file) override;

    mImageBitmap* image = nullptr;  // one use held on it
    int32_t useFrameOrigin = 1;     // subtract the frame's origin point when placing

  private:
    void release(mImageBitmap* old);
    bool shownElsewhere(const mImageBitmap& shown) const;
    // Where the picture lies: the position less the origins, the image's size.
    Rect placement() const;
    // The stage takes the image's new colours unless the image translates to the stage's.
    void takeImagePalette();
};
