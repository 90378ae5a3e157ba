#pragma once

class Scene;

// The process entry of a saver program: reads the command line, finds the scene files and
// runs the saver in the mode asked for. `sceneFolder` names the program's demo scene folder.
int runSaverHost(int argc, char** argv, Scene& scene, const char* sceneFolder);
