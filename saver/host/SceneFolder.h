#pragma once
#include <string>
#include <vector>

// Where the saver reads its scene files from: the folder named on the command line, else the
// current folder when it holds every file, else the demo scenes installed or built beside the
// program (in scenes/FOLDER next to it, or in share/lumivale/scenes/FOLDER one or two levels
// up, from bin/ or from libexec/xscreensaver/). Empty with
// `error` set when there is none.
std::string findSceneFolder(const std::string& requested, const std::vector<const char*>& files,
                            const std::string& folder, std::string& error);

// Makes `path` the current folder, where the scene opens its files by bare name.
bool enterFolder(const std::string& path, std::string& error);
