#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "tools/flicgen/CommandLine.h"
#include "tools/flicgen/DemoScenes.h"
#include "tools/flicgen/FlicWriter.h"
#include "tools/flicgen/Patterns.h"

namespace {

void writePattern(const flicgen::CommandLine& line) {
    const flicgen::Pattern* pattern = flicgen::findPattern(line.pattern);
    flicgen::FlicWriter writer(line.width, line.height, line.format, line.speed(),
                               line.fileOptions);
    flicgen::PatternFrame frame;
    for (int i = 0; i < line.frames; ++i) {
        pattern->render(line.width, line.height, i, line.frames, frame);
        if (i == 0 && line.postageStamp) frame.options.postageStamp = true;
        writer.addFrame(frame.pixels, frame.palette, frame.options);
    }
    writer.finish(line.output);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    flicgen::CommandLine line;
    try {
        line = flicgen::parseCommandLine(args);
    } catch (const std::invalid_argument& e) {
        std::cerr << "flicgen: " << e.what() << "\nTry 'flicgen --help'.\n";
        return 2;
    }
    switch (line.action) {
        case flicgen::CommandLine::Action::Help:
            std::cout << flicgen::usage();
            return 0;
        case flicgen::CommandLine::Action::List:
            for (const flicgen::Pattern& p : flicgen::patterns())
                std::cout << p.name << "\n";
            return 0;
        case flicgen::CommandLine::Action::Pattern:
        case flicgen::CommandLine::Action::Demo:
            break;
    }
    try {
        if (line.action == flicgen::CommandLine::Action::Demo)
            flicgen::writeDemoScenes(line.program, line.output);
        else
            writePattern(line);
    } catch (const std::exception& e) {
        std::cerr << "flicgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
