#pragma once
#include "saver/Scene.h"

// Three animations: one plays in the centre, one jumps about, one steps down the screen.
class LumivaleScene : public Scene {
  public:
    LumivaleScene();

    void choreographyPass() override;
    void resetChoreography() override;

  private:
    void buildFull() override;

    int16_t dropY = 0;
    CycleLatch dropLatch;
};
