#pragma once
#include "saver/Scene.h"

// Three animations: one plays in the centre, one jumps about, one steps down the screen.
class LumivaleScene : public Scene {
  public:
    LumivaleScene() : Scene(3) {}

    const char* title() const override { return "Lumivale"; }
    int32_t paletteFirst() const override { return 0; }
    int32_t paletteCount() const override { return 256; }
    bool beepsOnRestart() const override { return false; }
    std::vector<const char*> fileNames() const override;

    void choreographyPass() override;
    void resetChoreography() override;

  private:
    void buildPreview() override;
    void buildFull() override;

    int16_t dropY = 0;
    CycleLatch dropLatch;
};
