#pragma once
#include "saver/Scene.h"

// Seven animations around the screen: two take turns in the centre, three take turns in the
// corners, and now and then one of two more crosses the screen.
class IdeasScene : public Scene {
  public:
    IdeasScene();

    void choreographyPass() override;
    void resetChoreography() override;

  private:
    void buildFull() override;

    int16_t swapIndex = 0;
    CycleLatch swapLatch;
    int16_t cycleIndex = 1;
    CycleLatch cycleLatch;
    bool flyerActive = false;
    int16_t flyerIndex = 4;
};
