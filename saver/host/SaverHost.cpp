#include "saver/host/SaverHost.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

namespace {

// Output paths name places as seen from where the program was started, before the host moves
// into the scene folder; --record's folder is made when it is missing.
bool anchorOutputs(HostOptions& options, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code failed;
    for (std::string* path : {&options.snapshotPath, &options.recordDir}) {
        if (!path->empty()) *path = fs::absolute(*path, failed).string();
        if (failed) {
            error = *path + ": " + failed.message();
            return false;
        }
    }
    if (!options.recordDir.empty() && !fs::is_directory(options.recordDir, failed)) {
        fs::create_directories(options.recordDir, failed);
        if (failed) {
            error = "cannot make the folder " + options.recordDir + ": " + failed.message();
            return false;
        }
    }
    return true;
}

int run(std::string_view name, HostOptions& options, const saverlib::ProgramDescription& program) {
    auto& state = hostState();
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
    std::string folder;
    if (anchorOutputs(options, error))
        folder = findSceneFolder(options.sceneDir, program.sceneFiles, program.demoFolder, error);
    if (folder.empty() || !enterFolder(folder, error)) {
        std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(name.size()), name.data(),
                     error.c_str());
        return 1;
    }
    if (options.trace) state.trace = &std::cout;
    return options.mode == HostOptions::Mode::headless ? runHeadless(options)
                                                       : runDesktop(options, program.title);
}

}  // namespace

int runSaverHost(int argc, char** argv, const saverlib::ProgramDescription& program) {
    hostState().instance = &program.instance;
    std::string_view name = argc > 0 ? argv[0] : "lumivale";
    std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    HostOptions options = parseCommandLine(args, std::getenv("XSCREENSAVER_WINDOW"));
    if (!options.error.empty()) {
        std::fprintf(stderr, "%.*s: %s\nTry '%.*s --help'.\n", static_cast<int>(name.size()),
                     name.data(), options.error.c_str(), static_cast<int>(name.size()),
                     name.data());
        return 2;
    }
    catchTerminationSignals();
    return endAsAsked(run(name, options, program));
}
