#include "saver/host/SaverHost.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "saver/Scene.h"
#include "saver/ScreenSaver.h"
#include "saver/host/AboutBox.h"
#include "saver/host/CommandLine.h"
#include "saver/host/DesktopRun.h"
#include "saver/host/HeadlessRun.h"
#include "saver/host/SceneFolder.h"
#include "saver/host/Signals.h"

int runSaverHost(int argc, char** argv, Scene& scene, const char* sceneFolder) {
    std::string_view program = argc > 0 ? argv[0] : "lumivale";
    std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    HostOptions options = parseCommandLine(args, std::getenv("XSCREENSAVER_WINDOW"));
    if (!options.error.empty()) {
        std::fprintf(stderr, "%.*s: %s\nTry '%.*s --help'.\n", static_cast<int>(program.size()),
                     program.data(), options.error.c_str(), static_cast<int>(program.size()),
                     program.data());
        return 2;
    }
    switch (options.mode) {
        case HostOptions::Mode::help:
            std::cout << usageText(program, scene.setup().title);
            return 0;
        case HostOptions::Mode::about:
            return showAboutBox();
        default:
            break;
    }

    std::string error;
    std::string folder = findSceneFolder(options.sceneDir, scene.fileNames(), sceneFolder, error);
    if (folder.empty() || !enterFolder(folder, error)) {
        std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(program.size()), program.data(),
                     error.c_str());
        return 1;
    }
    saver::useScene(scene);
    if (options.trace) saver::useTrace(&std::cout);
    catchTerminationSignals();
    return options.mode == HostOptions::Mode::headless ? runHeadless(options)
                                                       : runDesktop(options, scene.setup().title);
}
