#pragma once
#include <vector>

namespace platform {
class Module;
}

namespace saverlib {

// How a saver program names itself and its scene to the host, which knows nothing else of it.
struct ProgramDescription {
    const char* title;                    // the window's title and the heading of --help
    std::vector<const char*> sceneFiles;  // every file the scene opens, by bare name
    const char* demoFolder;               // its demo scenes: scenes/FOLDER beside the program
    const platform::Module& instance;     // its resources: the string table and the about box
};

}  // namespace saverlib

// Supplied by the program beside the three functions the host calls; asked once, before the
// host reads its command line.
const saverlib::ProgramDescription& describeProgram();
