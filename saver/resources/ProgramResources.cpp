#include "saver/resources/ProgramResources.h"

#include <string>

#include "saver/host/ScreenSaverLibrary.h"

namespace resources {

const platform::Module& programModule() {
    static const platform::Module module = [] {
        platform::Module built;
        built.addString(descriptionString, "ScreenSaver.Lumivale");
        // The host shows the first line as the box's caption and the others as its text.
        std::string about =
            "Lumivale Screen Saver\n"
            "Animated pictures for your idle screen.\n"
            "Version 1.00.00";
        built.addResource("DIALOG", std::to_string(saverlib::configureDialog),
                          std::vector<uint8_t>(about.begin(), about.end()));
        return built;
    }();
    return module;
}

}  // namespace resources
