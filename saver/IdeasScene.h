#pragma once
#include "saver/Scene.h"

// Seven animations around the screen: two take turns in the centre, three take turns in the
// corners, and now and then one of two more crosses the screen.
class IdeasScene : public Scene {
  public:
    IdeasScene() : Scene(7) {}

    const char* title() const override { return "Lumivale Ideas"; }
    int32_t paletteFirst() const override { return 10; }
    int32_t paletteCount() const override { return 236; }
    bool beepsOnRestart() const override { return true; }
    std::vector<const char*> fileNames() const override;

    void choreographyPass() override;
    void resetChoreography() override;

  private:
    void buildPreview() override;
    void buildFull() override;

    int16_t swapIndex = 0;
    CycleLatch swapLatch;
    int16_t cycleIndex = 1;
    CycleLatch cycleLatch;
    bool flyerActive = false;
    int16_t flyerIndex = 4;
};
