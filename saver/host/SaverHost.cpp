#include "saver/host/SaverHost.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "saver/host/AboutBox.h"
#include "saver/host/CommandLine.h"
#include "saver/host/DesktopRun.h"
#include "saver/host/HeadlessRun.h"
#include "saver/host/HostState.h"
#include "saver/host/SceneFolder.h"
#include "saver/host/Signals.h"

int runSaverHost(int argc, char** argv, const saverlib::ProgramDescription& program) {
    auto& state = hostState();
    state.instance = &program.instance;
    std::string_view name = argc > 0 ? argv[0] : "lumivale";
    std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    HostOptions options = parseCommandLine(args, std::getenv("XSCREENSAVER_WINDOW"));
    if (!options.error.empty()) {
        std::fprintf(stderr, "%.*s: %s\nTry '%.*s --help'.\n", static_cast<int>(name.size()),
                     name.data(), options.error.c_str(), static_cast<int>(name.size()),
                     name.data());
        return 2;
    }
    switch (options.mode) {
        case HostOptions::Mode::help:
            std::cout << usageText(name, program.title);
            return 0;
        case HostOptions::Mode::about:
            return showAboutBox(program.instance);
        default:
            break;
    }

    std::string error;
    std::string folder =
        findSceneFolder(options.sceneDir, program.sceneFiles, program.demoFolder, error);
    if (folder.empty() || !enterFolder(folder, error)) {
        std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(name.size()), name.data(),
                     error.c_str());
        return 1;
    }
    if (options.trace) state.trace = &std::cout;
    catchTerminationSignals();
    return options.mode == HostOptions::Mode::headless ? runHeadless(options)
                                                       : runDesktop(options, program.title);
}
