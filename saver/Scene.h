#pragma once
#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/media/mImageFlic.h"
#include "engine/sprite/mSpriteImage.h"
#include "engine/stage/mDirector.h"

// What one program's scene is made of, apart from its choreography.
struct SceneSetup {
    const char* title;
    // The stage palette entries the program installs from its first image.
    int32_t paletteFirst;
    int32_t paletteCount;
    // Whether the program sounds a beep when it has to stop an earlier animation thread.
    bool beepsOnRestart;
    // The preview scene: one sprite showing this file at this place.
    const char* previewFile;
    int32_t previewX;
    int32_t previewY;
    // The full scene's files by bare name, one sprite each, in index order.
    std::span<const char* const> fullFiles;
};

// One program's scene: which animations it shows, where it puts them, and how the animation
// thread moves, pauses and resumes them between frames. Built on the window thread before the
// animation thread starts; driven by the animation thread afterwards.
class Scene {
  public:
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    const SceneSetup& setup() const { return sceneSetup; }
    // The files the scene opens, by bare name, preview first.
    std::vector<const char*> fileNames() const;

    // Creates, opens, places and adds the sprites for a client area of `client`.
    void build(mDirector& stage, const Rect& client, bool previewMode);
    // One pass of the choreography (full mode only).
    virtual void choreographyPass() = 0;
    // Fresh choreography state, as each animation thread starts with.
    virtual void resetChoreography() = 0;
    // Destroys the sprites (after the stage), which releases their images.
    void destroySprites();

    // The palette source of the stage: image 0 of the running mode. When its file did not open,
    // the first image that did, so that the others are not all translated to a black palette.
    mImageFlic* firstImage() const;
    mSpriteImage* sprite(std::size_t index) const;

    // Writes one line per placement, pause and resume: "T ACTION INDEX [X Y Z]".
    void setTrace(std::ostream* out) { trace = out; }

  protected:
    explicit Scene(const SceneSetup& setup) : sceneSetup(setup) {}

    virtual void buildFull() = 0;

    // Creates sprite and image `index` and opens `name`. A file that does not open leaves the
    // sprite out: its entries stay null and the scene goes on without it.
    bool create(std::size_t index, const char* name);
    // Reads the header of image `index`; 0 when there is none.
    int32_t openImage(std::size_t index);
    // Keeps the frame size of image `index` in imageWidth and imageHeight.
    void keepSize(std::size_t index);
    // Attaches image `index` to its sprite, drawn transparently and translated to the stage.
    void attachImage(std::size_t index);
    void place(std::size_t index, int32_t x, int32_t y, int32_t z);
    void pause(std::size_t index);
    void resume(std::size_t index);
    void addToStage(std::size_t index);
    int32_t frameOf(std::size_t index) const;
    // One draw of the generator, reduced modulo `range`; 0 when the image leaves no room.
    static int32_t randomBelow(int32_t range);

    int32_t width = 0;  // client area
    int32_t height = 0;
    std::vector<int16_t> imageWidth;
    std::vector<int16_t> imageHeight;

  private:
    void buildPreview();
    void traceLine(const char* action, std::size_t index) const;

    SceneSetup sceneSetup;
    bool preview = false;
    mDirector* stage = nullptr;
    std::vector<std::unique_ptr<mSpriteImage>> sprites;
    std::vector<mImageFlic*> images;  // each held and destroyed by its sprite once attached
    std::vector<std::unique_ptr<mImageFlic>> unattached;
    std::ostream* trace = nullptr;
};

// Notices that an animation has played through once: armed by frame 1, fired by frame 0.
class CycleLatch {
  public:
    bool fires(int32_t currentFrame) {
        if (currentFrame == 1) armed = true;
        if (currentFrame != 0 || !armed) return false;
        armed = false;
        return true;
    }

  private:
    bool armed = false;
};
