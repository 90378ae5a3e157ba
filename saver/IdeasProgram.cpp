#include "saver/IdeasScene.h"
#include "saver/ScreenSaver.h"
#include "saver/resources/ProgramResources.h"

const saverlib::ProgramDescription& describeProgram() {
    static IdeasScene scene;
    static const auto program = saver::showScene(scene, "ideas", resources::programModule());
    return program;
}
