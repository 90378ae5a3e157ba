#pragma once
#include <ostream>

class Scene;

// The saver front end behind ScreenSaverProc: one stage for the saver window, the program's
// scene on it, and the animation thread that steps the stage and runs the choreography.
namespace saver {

// The program's scene; set once before the host sends its first message.
void useScene(Scene& scene);
// Where the scene traces its placements, pauses and resumes; null for nowhere.
void useTrace(std::ostream* out);
// Waits until the animation thread has taken the quit message and cleaned up.
void waitForAnimationThread();

}  // namespace saver
