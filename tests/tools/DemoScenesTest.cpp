// The savers' demo scenes: the files flicgen writes for each program, as the savers and an
// independent decoder see them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/FfmpegDecode.h"
#include "tests/support/FlicLayout.h"
#include "tests/support/TempFile.h"
#include "tools/flicgen/CommandLine.h"
#include "tools/flicgen/DemoScenes.h"
#include "tools/flicgen/LightCanvas.h"

using namespace flicgen;
namespace fs = std::filesystem;
using testing_support::le16;

namespace {

struct Program {
    std::string name;
    std::vector<std::string> files;  // in the order the saver opens them
    std::string fullImage0;
    std::string previewImage0;
    int firstStageEntry;  // the entries of image 0 that reach the stage
    int lastStageEntry;
};

// The names the savers open, written out here rather than taken from the generator's table.
const std::array<Program, 2> programs{
    Program{"ideas",
            {"Dots01.flc", "Lvfin6.flc", "Cyber1.flc", "Cyber2.flc", "Cyber3.flc", "Dots02.flc",
             "Xan2.flc"},
            "Lvfin6.flc",
            "Dots01.flc",
            0,
            235},
    Program{"lumivale",
            {"Setupimg.flc", "SSaver11.flc", "SSaver06.flc", "SSaver13.flc"},
            "SSaver11.flc",
            "Setupimg.flc",
            10,
            245},
};

fs::path toolPath() {
    return fs::path(LUMIVALE_BINARY_DIR) / "tools" / "flicgen" / "flicgen";
}

// What the command writes for both programs, in a folder of this test process's own (tests
// run side by side), removed at exit.
class GeneratedScenes {
  public:
    GeneratedScenes() : dir(testing_support::uniqueTempPath("-demo-scenes")) {
        for (const Program& p : programs) {
            std::string command =
                toolPath().string() + " demo " + p.name + " " + (dir / p.name).string();
            written = written && std::system(command.c_str()) == 0;
        }
    }
    ~GeneratedScenes() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    GeneratedScenes(const GeneratedScenes&) = delete;
    GeneratedScenes& operator=(const GeneratedScenes&) = delete;

    fs::path dir;
    bool written = true;
};

fs::path generatedDir() {
    static const GeneratedScenes scenes;
    EXPECT_TRUE(scenes.written) << "flicgen demo failed";
    return scenes.dir;
}

using Colour = std::array<std::uint8_t, 3>;

struct SceneFile {
    std::vector<std::uint8_t> bytes;
    testing_support::FlicLayout layout;
};

// A file the command wrote, read once.
const SceneFile& sceneFile(const std::string& program, const std::string& file) {
    static std::map<std::string, SceneFile> files;
    std::string key = program + "/" + file;
    auto found = files.find(key);
    if (found != files.end()) return found->second;
    SceneFile scene;
    scene.bytes = testing_support::readBytes(generatedDir() / program / file);
    auto layout = testing_support::readFlicLayout(scene.bytes);
    EXPECT_TRUE(layout) << key << " has a broken record structure";
    if (layout) scene.layout = *layout;
    return files.emplace(key, std::move(scene)).first->second;
}

const testing_support::DecodedVideo* decoded(const std::string& program, const std::string& file) {
    static std::map<std::string, std::optional<testing_support::DecodedVideo>> videos;
    std::string key = program + "/" + file;
    auto found = videos.find(key);
    if (found == videos.end()) {
        sceneFile(program, file);
        std::string failure;
        auto video = testing_support::ffmpegDecode(generatedDir() / program / file, {}, &failure);
        EXPECT_TRUE(video) << key << ": " << failure;
        found = videos.emplace(key, std::move(video)).first;
    }
    return found->second ? &*found->second : nullptr;
}

const testing_support::FlicChunkInfo* firstChunk(const SceneFile& scene,
                                                 std::initializer_list<std::uint16_t> types) {
    auto frames = scene.layout.frameRecords();
    if (frames.empty()) return nullptr;
    for (const auto& chunk : frames[0]->chunks)
        if (std::find(types.begin(), types.end(), chunk.type) != types.end()) return &chunk;
    return nullptr;
}

// The 256 colours of the first frame's palette chunk, as the engine's reader stores them (64
// levels shifted left by 2); empty when the chunk does not set every entry.
std::vector<Colour> firstPalette(const SceneFile& scene) {
    const auto* chunk = firstChunk(scene, {code::color256, code::color64});
    if (!chunk) return {};
    int shift = chunk->type == code::color64 ? 2 : 0;
    std::vector<Colour> colours;
    std::size_t at = chunk->offset + chunkHeaderSize;
    std::size_t end = chunk->offset + chunk->size;
    std::uint16_t packets = le16(scene.bytes, at);
    at += 2;
    for (; packets > 0; --packets) {
        if (at + 2 > end) return {};
        std::size_t skip = scene.bytes[at];
        std::size_t count = scene.bytes[at + 1] == 0 ? 256 : scene.bytes[at + 1];
        at += 2;
        if (skip != 0 || colours.size() + count > 256 || at + 3 * count > end) return {};
        for (std::size_t k = 0; k < count; ++k, at += 3)
            colours.push_back({static_cast<std::uint8_t>(scene.bytes[at] << shift),
                               static_cast<std::uint8_t>(scene.bytes[at + 1] << shift),
                               static_cast<std::uint8_t>(scene.bytes[at + 2] << shift)});
    }
    if (colours.size() != 256) return {};
    return colours;
}

bool isFli(const SceneFile& scene) {
    return scene.layout.magic == code::fliMagic;
}

// The frame time the savers use: FLI speed is in 1/70 s.
int frameTimeMs(const SceneFile& scene) {
    return static_cast<int>(isFli(scene) ? scene.layout.speed * 100 / 7 : scene.layout.speed);
}

TEST(DemoCommandLine, TakesAProgramAndAFolder) {
    std::vector<std::string_view> ideas{"demo", "ideas", "out/dir"};
    CommandLine line = parseCommandLine(ideas);
    EXPECT_EQ(line.action, CommandLine::Action::Demo);
    EXPECT_EQ(line.program, DemoProgram::Ideas);
    EXPECT_EQ(line.output, "out/dir");
    std::vector<std::string_view> lumivale{"demo", "lumivale", "x"};
    EXPECT_EQ(parseCommandLine(lumivale).program, DemoProgram::Lumivale);

    const std::vector<std::vector<std::string_view>> bad{{"demo"},
                                                         {"demo", "ideas"},
                                                         {"demo", "Ideas", "x"},
                                                         {"demo", "screensaver", "x"},
                                                         {"demo", "ideas", "x", "y"}};
    for (const auto& args : bad)
        EXPECT_THROW(parseCommandLine(args), std::invalid_argument) << args.size();

    std::string help = usage();
    EXPECT_NE(help.find("flicgen demo PROGRAM DIR"), std::string::npos);
    for (const Program& p : programs) {
        EXPECT_NE(help.find(p.name), std::string::npos);
        for (const std::string& file : p.files)
            EXPECT_NE(help.find(file), std::string::npos) << file;
    }
}

TEST(DemoScenes, CommandWritesExactlyTheFilesTheSaversOpen) {
    for (const Program& p : programs) {
        sceneFile(p.name, p.files[0]);
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(generatedDir() / p.name))
            found.insert(entry.path().filename().string());
        EXPECT_EQ(found, std::set<std::string>(p.files.begin(), p.files.end())) << p.name;
        // The build wrote the same files beside the savers.
        for (const std::string& file : p.files)
            EXPECT_EQ(testing_support::readBytes(fs::path(LUMIVALE_BINARY_DIR) / "saver" /
                                                 "scenes" / p.name / file),
                      sceneFile(p.name, file).bytes)
                << p.name << "/" << file << " in the build differs or is missing";
    }
    EXPECT_NE(std::system((toolPath().string() + " demo nothing x 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((toolPath().string() + " demo ideas /dev/null/x 2>/dev/null").c_str()),
              0);
}

// The savers place images at random with rand mod (screen - size): every image needs room on
// a 640 x 480 screen. The crossing strips of the first saver span most of its width; the
// stepping image of the second takes several steps down 480 lines; the preview of the second
// fills a 152 x 112 box.
TEST(DemoScenes, SizesLeaveRoomOnA640By480Screen) {
    for (const Program& p : programs)
        for (const std::string& file : p.files) {
            const auto& header = sceneFile(p.name, file).layout;
            SCOPED_TRACE(p.name + "/" + file);
            EXPECT_EQ(header.depth, 8);
            if (file.starts_with("Dots")) {
                EXPECT_GE(header.width, 540);
                EXPECT_LE(header.width, 600);
                EXPECT_GE(header.height, 60);
                EXPECT_LE(header.height, 90);
                continue;
            }
            EXPECT_LE(header.width, 320);
            EXPECT_LE(header.height, 240);
        }
    EXPECT_LE(sceneFile("lumivale", "SSaver06.flc").layout.width, 160);
    EXPECT_LE(sceneFile("lumivale", "SSaver06.flc").layout.height, 130);
    EXPECT_GE(sceneFile("lumivale", "SSaver13.flc").layout.height, 80);
    EXPECT_LE(sceneFile("lumivale", "SSaver13.flc").layout.height, 110);
    EXPECT_LE(sceneFile("lumivale", "Setupimg.flc").layout.width, 152);
    EXPECT_LE(sceneFile("lumivale", "Setupimg.flc").layout.height, 112);
}

TEST(DemoScenes, FfmpegDecodesEveryFrameWithoutComplaint) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    for (const Program& p : programs)
        for (const std::string& file : p.files) {
            SCOPED_TRACE(p.name + "/" + file);
            const auto& header = sceneFile(p.name, file).layout;
            const auto* video = decoded(p.name, file);
            ASSERT_TRUE(video);
            EXPECT_EQ(video->messages, "");
            EXPECT_EQ(video->width, header.width);
            EXPECT_EQ(video->height, header.height);
            // Every frame and the ring frame, which shows the first frame again.
            ASSERT_EQ(video->frames.size(), header.frames + 1u);
            EXPECT_TRUE(video->frames.back() == video->frames.front());
        }
}

// The reader takes the transparent colour from the first frame's top-left pixel.
TEST(DemoScenes, FirstFrameTopLeftIsTheBlackBackground) {
    for (const Program& p : programs)
        for (const std::string& file : p.files) {
            SCOPED_TRACE(p.name + "/" + file);
            const SceneFile& scene = sceneFile(p.name, file);
            const auto* pixels = firstChunk(scene, {code::black, code::byteRun, code::literal});
            ASSERT_TRUE(pixels);
            std::size_t data = pixels->offset + chunkHeaderSize;
            std::uint8_t topLeft = 0;
            if (pixels->type == code::byteRun) topLeft = scene.bytes[data + 2];
            if (pixels->type == code::literal) topLeft = scene.bytes[data];
            EXPECT_EQ(topLeft, 0);
            auto palette = firstPalette(scene);
            ASSERT_EQ(palette.size(), 256u);
            EXPECT_EQ(palette[0], (Colour{0, 0, 0}));
        }
}

// The stage installs the entries of image 0 that reach it; every other image is translated
// to the nearest stage colour. Each program's images use only colours that stand there, so
// the translation is exact, in full mode and in preview mode alike.
TEST(DemoScenes, EveryColourShownStandsInTheStagePalette) {
    if (!testing_support::ffmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    for (const Program& p : programs)
        for (const std::string& image0 : {p.fullImage0, p.previewImage0}) {
            auto palette = firstPalette(sceneFile(p.name, image0));
            ASSERT_EQ(palette.size(), 256u);
            std::set<Colour> stage{Colour{0, 0, 0}};
            for (int e = p.firstStageEntry; e <= p.lastStageEntry; ++e)
                stage.insert(palette[static_cast<std::size_t>(e)]);
            const auto& files = image0 == p.fullImage0 ? p.files : std::vector<std::string>{image0};
            for (const std::string& file : files) {
                SCOPED_TRACE(p.name + "/" + file + " on the palette of " + image0);
                const auto* video = decoded(p.name, file);
                ASSERT_TRUE(video);
                // ffmpeg widens 64-level colours by repeating their top bits; the engine
                // only shifts them.
                bool fli = isFli(sceneFile(p.name, file));
                std::vector<bool> seen(1 << 24);
                std::vector<Colour> shown;
                for (const auto& frame : video->frames)
                    for (std::size_t i = 0; i + 2 < frame.size(); i += 3) {
                        Colour c{frame[i], frame[i + 1], frame[i + 2]};
                        if (fli)
                            for (auto& v : c)
                                v = static_cast<std::uint8_t>(v & 0xFC);
                        std::size_t key = std::size_t{c[0]} << 16 | std::size_t{c[1]} << 8 | c[2];
                        if (!seen[key]) shown.push_back(c);
                        seen[key] = true;
                    }
                for (const Colour& c : shown)
                    EXPECT_TRUE(stage.contains(c)) << int(c[0]) << "," << int(c[1]) << ","
                                                   << int(c[2]) << " is not on the stage";
                EXPECT_GT(shown.size(), 20u) << "hardly any colours";
            }
        }
}

// Both decoder families run: each program has FLC files and FLI data under a ".flc" name;
// frame rates vary; and some animation cycles its colours through palette chunks.
TEST(DemoScenes, EachProgramMixesFormatsRatesAndColourCycling) {
    for (const Program& p : programs) {
        SCOPED_TRACE(p.name);
        int fli = 0;
        int cycling = 0;
        std::set<int> times;
        for (const std::string& file : p.files) {
            const SceneFile& scene = sceneFile(p.name, file);
            EXPECT_TRUE(scene.layout.magic == code::fliMagic ||
                        scene.layout.magic == code::flcMagic);
            fli += isFli(scene);
            times.insert(frameTimeMs(scene));
            auto frames = scene.layout.frameRecords();
            bool paletteLater = false;
            for (std::size_t k = 1; k + 1 < frames.size(); ++k)
                for (const auto& chunk : frames[k]->chunks)
                    paletteLater |= chunk.type == code::color256 || chunk.type == code::color64;
            cycling += paletteLater;
        }
        EXPECT_GE(fli, 1);
        EXPECT_LT(fli, static_cast<int>(p.files.size()));
        EXPECT_GE(times.size(), 3u);
        EXPECT_GE(cycling, 1);
        for (int t : times) {
            EXPECT_GE(t, 30);
            EXPECT_LE(t, 120);
        }
    }
}

int litPixels(std::span<const std::uint8_t> entries) {
    return static_cast<int>(
        std::count_if(entries.begin(), entries.end(), [](std::uint8_t e) { return e != 0; }));
}

int differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int n = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

// Played over and over, an animation either runs on from its last frame into its first as
// into any other frame (what follows the last frame is the first again, but for rounding), or
// fades out to nearly nothing and starts from nearly nothing.
TEST(DemoScenes, LoopsJoinUp) {
    for (DemoProgram program : {DemoProgram::Ideas, DemoProgram::Lumivale})
        for (const DemoScene& scene : demoScenes(program)) {
            SCOPED_TRACE(std::string(scene.file));
            const DemoPalette& palette = demoPalette(program);
            LightCanvas canvas(scene.width, scene.height, palette);
            auto frame = [&](int index) {
                canvas.clear();
                scene.draw(canvas, index, scene.frames);
                auto entries = canvas.entries();
                return std::vector<std::uint8_t>(entries.begin(), entries.end());
            };
            auto first = frame(0);
            int seam = differing(first, frame(scene.frames));
            int step = differing(first, frame(1));
            EXPECT_GT(step, 0);
            EXPECT_EQ(palette.colours(scene.frames * scene.cycleStep), palette.colours(0));
            if (seam * 5 <= step) continue;
            int area = scene.width * scene.height;
            EXPECT_LT(litPixels(first) * 100, area) << "first frame";
            EXPECT_LT(litPixels(frame(scene.frames - 1)) * 100, area) << "last frame";
        }
}

TEST(DemoPalette, RampsLoopAndTheBackground) {
    const DemoPalette& palette = demoPalette(DemoProgram::Lumivale);
    EXPECT_EQ(palette.rampEntry(0, 0.0f), 0);
    EXPECT_EQ(palette.rampEntry(0, 0.01f), 0);
    EXPECT_EQ(palette.rampEntry(0, 1.0f / DemoPalette::rampLevels), palette.firstEntry());
    EXPECT_EQ(palette.rampEntry(1, 1.0f), palette.firstEntry() + 2 * DemoPalette::rampLevels - 1);
    EXPECT_EQ(palette.cycleEntry(-1), palette.lastEntry());
    EXPECT_EQ(palette.cycleEntry(DemoPalette::cycleLength), palette.cycleEntry(0));

    Palette still = palette.colours(0);
    Palette turned = palette.colours(3);
    for (int e = 0; e < 256; ++e) {
        auto i = static_cast<std::size_t>(e);
        if (e < palette.cycleEntry(0)) {
            EXPECT_EQ(still[i], turned[i]) << e;
        }
        for (std::uint8_t v : {still[i].r, still[i].g, still[i].b})
            EXPECT_EQ(v % 4, 0) << "entry " << e << " is lost in 64 levels";
    }
    // A pixel of phase p shows, three frames on, the colour phase p + 3 showed at first.
    EXPECT_EQ(turned[palette.cycleEntry(5)], still[palette.cycleEntry(8)]);
    EXPECT_EQ(turned[palette.cycleEntry(-1)], still[palette.cycleEntry(2)]);
    EXPECT_EQ(still[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(still[255], (Rgb{0, 0, 0}));
    EXPECT_EQ(palette.lastEntry(), 233);
    EXPECT_EQ(demoPalette(DemoProgram::Ideas).firstEntry(), 1);
}

TEST(LightCanvas, LightCoversCycledPixelsOnlyWhenBright) {
    const DemoPalette& palette = demoPalette(DemoProgram::Ideas);
    LightCanvas canvas(4, 1, palette);
    canvas.cycle(0, 0, 7);
    canvas.cycle(1, 0, 7);
    canvas.add(0, 0, 2, LightCanvas::coverLevel - 0.01f);
    canvas.add(1, 0, 2, LightCanvas::coverLevel);
    canvas.add(2, 0, 3, 0.5f);
    canvas.add(2, 0, 3, 0.5f);
    canvas.add(3, 0, 3, 0.5f, Blend::Max);
    canvas.add(3, 0, 4, 0.6f, Blend::Max);
    canvas.add(-1, 0, 1, 1.0f);
    canvas.add(4, 0, 1, 1.0f);
    auto entries = canvas.entries();
    EXPECT_EQ(entries[0], palette.cycleEntry(7));
    EXPECT_EQ(entries[1], palette.rampEntry(2, LightCanvas::coverLevel));
    EXPECT_EQ(entries[2], palette.rampEntry(3, 0.75f));  // two lamps: 1 - 0.5 * 0.5
    EXPECT_EQ(entries[3], palette.rampEntry(4, 0.6f));   // the brighter light and its ramp

    canvas.clear();
    EXPECT_EQ(litPixels(canvas.entries()), 0);
    canvas.spot({1.0f, 0.0f}, {5, 1.0f, 0.5f, 1.5f});
    entries = canvas.entries();
    EXPECT_EQ(entries[1], palette.rampEntry(5, 1.0f));
    EXPECT_EQ(entries[0], entries[2]);
    EXPECT_GT(entries[0], 0);
    EXPECT_LT(entries[0], entries[1]);
    EXPECT_EQ(entries[3], 0);
}

}  // namespace
