#include "tools/flicgen/DemoScenes.h"

#include <array>
#include <stdexcept>
#include <string>

#include "tools/flicgen/DemoArt.h"
#include "tools/flicgen/FlicWriter.h"

namespace flicgen {

namespace {

using enum FlicFormat;

// The crossing strips start empty; the corner and central pictures start complete, since the
// saver shows them paused on their first frame. Colour-cycled loops turn the colour loop a
// whole number of times.
constexpr std::array ideasScenes{
    DemoScene{"Dots01.flc", 592, 72, Flc, 40, 72, 0, art::swarmFlight},
    DemoScene{"Lvfin6.flc", 256, 208, Flc, 60, 48, 2, art::spiralDisc},
    DemoScene{"Cyber1.flc", 152, 136, Flc, 70, 40, 0, art::radarScope},
    DemoScene{"Cyber2.flc", 192, 120, Fli, 5, 32, 0, art::lissajousScope},
    DemoScene{"Cyber3.flc", 160, 144, Flc, 100, 36, 0, art::atomOrbits},
    DemoScene{"Dots02.flc", 576, 84, Flc, 50, 60, 0, art::rollingWheel},
    DemoScene{"Xan2.flc", 232, 216, Flc, 70, 30, 0, art::starTetrahedron},
};

constexpr std::array lumivaleScenes{
    DemoScene{"Setupimg.flc", 152, 112, Flc, 80, 32, 1, art::miniMandala},
    DemoScene{"SSaver11.flc", 272, 208, Flc, 70, 32, 1, art::mandala},
    DemoScene{"SSaver06.flc", 152, 128, Flc, 40, 40, 0, art::firework},
    DemoScene{"SSaver13.flc", 256, 96, Fli, 6, 48, 2, art::lightRibbon},
};

void writeScene(const DemoScene& scene, const DemoPalette& palette,
                const std::filesystem::path& path) {
    FlicWriter writer(scene.width, scene.height, scene.format, scene.speed);
    LightCanvas canvas(scene.width, scene.height, palette);
    for (int i = 0; i < scene.frames; ++i) {
        canvas.clear();
        scene.draw(canvas, i, scene.frames);
        writer.addFrame(canvas.entries(), palette.colours(i * scene.cycleStep));
    }
    writer.finish(path);
}

}  // namespace

std::optional<DemoProgram> findDemoProgram(std::string_view name) {
    if (name == "ideas") return DemoProgram::Ideas;
    if (name == "lumivale") return DemoProgram::Lumivale;
    return std::nullopt;
}

std::span<const DemoScene> demoScenes(DemoProgram program) {
    if (program == DemoProgram::Ideas) return ideasScenes;
    return lumivaleScenes;
}

const DemoPalette& demoPalette(DemoProgram program) {
    return program == DemoProgram::Ideas ? ideas::palette() : lumi::palette();
}

std::vector<std::filesystem::path> writeDemoScenes(DemoProgram program,
                                                   const std::filesystem::path& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) throw std::runtime_error("cannot make " + dir.string() + ": " + error.message());
    std::vector<std::filesystem::path> written;
    for (const DemoScene& scene : demoScenes(program)) {
        written.push_back(dir / scene.file);
        writeScene(scene, demoPalette(program), written.back());
    }
    return written;
}

}  // namespace flicgen
