#pragma once
#include "saver/host/ProgramDescription.h"

class Scene;

// The saver front end behind ScreenSaverProc: one stage for the saver window, the program's
// scene on it, and the animation thread that steps the stage and runs the choreography.
namespace saver {

// The program's scene; set once before the host sends its first message.
void useScene(Scene& scene);
// Makes `scene` the program's scene and describes the program to the host by it: its title and
// files, its demo scene folder and its resources.
saverlib::ProgramDescription showScene(Scene& scene, const char* demoFolder,
                                       const platform::Module& instance);

}  // namespace saver
