#include "saver/resources/ProgramResources.h"

#include <string>

namespace resources {

const platform::Module& programModule() {
    static const platform::Module module = [] {
        platform::Module built;
        built.addString(descriptionString, "ScreenSaver.Lumivale");
        std::string about =
            std::string(aboutCaption) + "\n" + aboutFirstLine + "\n" + aboutSecondLine;
        built.addResource("DIALOG", std::to_string(aboutDialog),
                          std::vector<uint8_t>(about.begin(), about.end()));
        return built;
    }();
    return module;
}

}  // namespace resources
