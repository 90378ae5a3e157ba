#include "saver/LumivaleScene.h"
#include "saver/ScreenSaver.h"
#include "saver/resources/ProgramResources.h"

const saverlib::ProgramDescription& describeProgram() {
    static LumivaleScene scene;
    static const auto program = saver::showScene(scene, "lumivale", resources::programModule());
    return program;
}
