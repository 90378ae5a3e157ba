// The scenes as the animation thread drives them: placements, latches, the choreography and
// its random draws, on an off-screen stage and the simulated clock.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/platform/Clock.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Random.h"
#include "engine/platform/ReportSink.h"
#include "engine/platform/Window.h"
#include "engine/stage/mDirector.h"
#include "saver/IdeasScene.h"
#include "saver/LumivaleScene.h"
#include "saver/ScreenSaver.h"
#include "saver/host/HostState.h"
#include "saver/host/ScreenSaverLibrary.h"
#include "tests/support/TempFile.h"
#include "tools/flicgen/FlicWriter.h"

namespace fs = std::filesystem;

namespace {

// Scene files in a folder of their own, which is the current folder while the object lives.
class SceneFolder {
  public:
    SceneFolder()
        : folder(testing_support::uniqueTempPath("-scene")), previous(fs::current_path()) {
        fs::create_directories(folder);
        fs::current_path(folder);
    }
    ~SceneFolder() {
        fs::current_path(previous);
        fs::remove_all(folder);
    }

    // `frames` frames of width × height on a black background, each a different block.
    void add(const char* name, int width, int height, int frames = 3, uint32_t ms = 10) {
        flicgen::FlicWriter writer(width, height, flicgen::FlicFormat::Flc, ms);
        flicgen::Palette palette{};
        for (int i = 1; i < 256; ++i)
            palette[static_cast<std::size_t>(i)] = {static_cast<uint8_t>(i), 128,
                                                    static_cast<uint8_t>(255 - i)};
        for (int frame = 0; frame < frames; ++frame) {
            std::vector<uint8_t> pixels(static_cast<std::size_t>(width * height), 0);
            for (int y = height / 4; y < height * 3 / 4; ++y) {
                for (int x = width / 4; x < width * 3 / 4; ++x) {
                    pixels[static_cast<std::size_t>(y * width + x)] =
                        static_cast<uint8_t>(1 + frame * 20);
                }
            }
            writer.addFrame(pixels, palette);
        }
        writer.finish(folder / name);
    }

  private:
    fs::path folder;
    fs::path previous;
};

// A stage on an off-screen window, driven on the simulated clock.
struct Stage {
    explicit Stage(int32_t width = 640, int32_t height = 480)
        : window(width, height), director(window, 50) {
        platform::Clock::useVirtual(0);
    }
    ~Stage() { platform::Clock::useReal(); }

    // One pass of the animation thread: choreography, then a step and its sleep.
    void pass(Scene& scene) {
        scene.choreographyPass();
        uint32_t delay = director.step();
        platform::Clock::sleep(delay ? delay : 10);
    }

    platform::Window window;
    mDirector director;
};

// The trace lines written since the last call, without their times.
std::vector<std::string> takeActions(std::ostringstream& trace) {
    std::vector<std::string> actions;
    std::istringstream lines(trace.str());
    trace.str("");
    for (std::string line; std::getline(lines, line);)
        actions.push_back(line.substr(line.find(' ') + 1));
    return actions;
}

std::string place(int index, int32_t x, int32_t y, int32_t z) {
    return "place " + std::to_string(index) + " " + std::to_string(x) + " " + std::to_string(y) +
           " " + std::to_string(z);
}
std::string pause(int index) {
    return "pause " + std::to_string(index);
}
std::string resume(int index) {
    return "resume " + std::to_string(index);
}

void addIdeasFiles(SceneFolder& files) {
    files.add("Lvfin6.flc", 200, 100, 4, 30);
    files.add("Cyber1.flc", 100, 50, 3, 20);
    files.add("Cyber2.flc", 80, 60, 2, 25);
    files.add("Cyber3.flc", 90, 40, 3, 15);
    files.add("Dots01.flc", 30, 20, 3, 10);
    files.add("Dots02.flc", 40, 30, 2, 35);
    files.add("Xan2.flc", 120, 80, 3, 40);
}

TEST(IdeasScene, PlacesItsSpritesAsChoreographed) {
    SceneFolder files;
    addIdeasFiles(files);
    Stage stage;
    IdeasScene scene;
    std::ostringstream trace;
    scene.setTrace(&trace);
    scene.build(stage.director, stage.window.clientRect(), false);

    EXPECT_EQ(
        takeActions(trace),
        (std::vector<std::string>{place(0, 220, 190, 6), place(1, 540, 160, 4), place(2, 0, 420, 4),
                                  place(3, 550, 0, 4), place(6, 260, 200, 6), pause(2), pause(3),
                                  pause(4), pause(5), pause(6)}));
    EXPECT_EQ(scene.sprite(0)->z, 6);
    EXPECT_EQ(scene.sprite(0)->bounds, (Rect{220, 190, 420, 290}));
    EXPECT_EQ(scene.sprite(1)->spriteFlags & mSprite::flagPaused, 0u);
    EXPECT_NE(scene.sprite(6)->spriteFlags & mSprite::flagPaused, 0u);
    // Every sprite is on the stage, in depth order behind the central ones.
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ(scene.sprite(i)->stage, &stage.director) << i;
}

// The host finds the scene folder by these names: every file the scene opens is among them.
TEST(Scene, NamesEveryFileItOpensPreviewFirst) {
    auto names = [](const Scene& scene) {
        auto files = scene.fileNames();
        return std::vector<std::string>(files.begin(), files.end());
    };
    EXPECT_EQ(names(IdeasScene()),
              (std::vector<std::string>{"Dots01.flc", "Lvfin6.flc", "Cyber1.flc", "Cyber2.flc",
                                        "Cyber3.flc", "Dots01.flc", "Dots02.flc", "Xan2.flc"}));
    EXPECT_EQ(names(LumivaleScene()), (std::vector<std::string>{"Setupimg.flc", "SSaver11.flc",
                                                                "SSaver06.flc", "SSaver13.flc"}));
}

TEST(LumivaleScene, PlacesItsSpritesAsChoreographed) {
    SceneFolder files;
    files.add("SSaver11.flc", 200, 100);
    files.add("SSaver06.flc", 77, 33);
    files.add("SSaver13.flc", 100, 100);
    Stage stage;
    LumivaleScene scene;
    std::ostringstream trace;
    scene.setTrace(&trace);
    scene.build(stage.director, stage.window.clientRect(), false);
    EXPECT_EQ(takeActions(trace),
              (std::vector<std::string>{place(0, 220, 190, 4), place(1, 344, 240, 2),
                                        place(2, 270, 0, 6)}));
}

TEST(LumivaleScene, TheDropperStepsDownByItsHeightAndStartsOver) {
    SceneFolder files;
    files.add("SSaver11.flc", 200, 100);
    files.add("SSaver06.flc", 50, 50, 3, 1000);
    files.add("SSaver13.flc", 100, 100, 3, 10);
    Stage stage;
    LumivaleScene scene;
    std::ostringstream trace;
    scene.setTrace(&trace);
    scene.build(stage.director, stage.window.clientRect(), false);
    takeActions(trace);
    platform::Random::seed(1);

    std::vector<int32_t> drops;
    for (int pass = 0; pass < 2000 && drops.size() < 5; ++pass) {
        stage.pass(scene);
        for (const std::string& action : takeActions(trace)) {
            int index, x, y, z;
            if (std::sscanf(action.c_str(), "place %d %d %d %d", &index, &x, &y, &z) == 4 &&
                index == 2) {
                EXPECT_EQ(x, 270);
                EXPECT_EQ(z, -1);
                drops.push_back(y);
            }
        }
    }
    // 480 − 2 × 100 = 280 < 303: the fifth play starts at the top again.
    EXPECT_EQ(drops, (std::vector<int32_t>{101, 202, 303, 0, 101}));
}

TEST(CycleLatch, FiresOncePerPlayThrough) {
    CycleLatch latch;
    EXPECT_FALSE(latch.fires(0));  // not armed yet
    EXPECT_FALSE(latch.fires(2));
    EXPECT_FALSE(latch.fires(1));
    EXPECT_FALSE(latch.fires(1));
    EXPECT_TRUE(latch.fires(0));
    EXPECT_FALSE(latch.fires(0));  // disarmed by firing

    CycleLatch neverArmed;
    for (int32_t frame : {0, 2, 3, 0, 2, 0})
        EXPECT_FALSE(neverArmed.fires(frame));
}

// The generator the programs were choreographed with, computed here on its own.
struct ReferenceRandom {
    uint32_t state = 1;
    int32_t next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7fff);
    }
};

TEST(IdeasScene, ChoreographyFollowsTheLatchesAndTheDrawsInOrder) {
    SceneFolder files;
    addIdeasFiles(files);
    Stage stage;
    IdeasScene scene;
    std::ostringstream trace;
    scene.setTrace(&trace);
    scene.build(stage.director, stage.window.clientRect(), false);
    takeActions(trace);
    const std::array<int32_t, 7> w = {200, 100, 80, 90, 30, 40, 120};
    const std::array<int32_t, 7> h = {100, 50, 60, 40, 20, 30, 80};

    platform::Random::seed(1);
    ReferenceRandom random;
    int swapIndex = 0;
    int cycleIndex = 1;
    bool swapArmed = false;
    bool cycleArmed = false;
    bool flyerActive = false;
    int flyerIndex = 4;
    int swaps = 0;
    int cycles = 0;
    int crossings = 0;
    auto frameOf = [&](int i) {
        return scene.sprite(static_cast<std::size_t>(i))->image->currentFrame;
    };

    for (int passIndex = 0; passIndex < 3000; ++passIndex) {
        std::vector<std::string> expected;
        if (frameOf(swapIndex) == 1) swapArmed = true;
        if (frameOf(swapIndex) == 0 && swapArmed) {
            swapArmed = false;
            int32_t y = random.next() % (480 - h[static_cast<std::size_t>(swapIndex)]);
            int32_t x = random.next() % (640 - w[static_cast<std::size_t>(swapIndex)]);
            int other = swapIndex == 0 ? 6 : 0;
            expected = {place(swapIndex, x, y, -1), pause(swapIndex), resume(other)};
            swapIndex = other;
            ++swaps;
        }
        if (frameOf(cycleIndex) == 1) cycleArmed = true;
        if (frameOf(cycleIndex) == 0 && cycleArmed) {
            cycleArmed = false;
            expected.push_back(pause(cycleIndex));
            cycleIndex = cycleIndex == 3 ? 1 : cycleIndex + 1;
            expected.push_back(resume(cycleIndex));
            ++cycles;
        }
        if (flyerActive && frameOf(flyerIndex) == 0) {
            flyerActive = false;
            expected.push_back(pause(flyerIndex));
        }
        if (random.next() % 100 < 2 && !flyerActive) {
            flyerActive = true;
            flyerIndex = random.next() % 2 == 0 ? 4 : 5;
            auto f = static_cast<std::size_t>(flyerIndex);
            int32_t z = random.next() % 6 + 3;
            int32_t y = random.next() % (480 - h[f]);
            expected.push_back(place(flyerIndex, flyerIndex == 4 ? 0 : 640 - w[f], y, z));
            expected.push_back(resume(flyerIndex));
            ++crossings;
        }
        stage.pass(scene);
        ASSERT_EQ(takeActions(trace), expected) << "pass " << passIndex;
    }
    EXPECT_GT(swaps, 2);
    EXPECT_GT(cycles, 2);
    EXPECT_GT(crossings, 2);
    // The sprite that finished rests where it was sent, paused; the other plays.
    auto* resting = scene.sprite(swapIndex == 0 ? 6 : 0);
    EXPECT_NE(resting->spriteFlags & mSprite::flagPaused, 0u);
    EXPECT_EQ(scene.sprite(static_cast<std::size_t>(swapIndex))->spriteFlags & mSprite::flagPaused,
              0u);
}

TEST(LumivaleScene, ImagesLargerThanTheScreenArePlacedWithoutDividingByZero) {
    SceneFolder files;
    files.add("SSaver11.flc", 200, 100);
    files.add("SSaver06.flc", 400, 300, 2, 10);
    files.add("SSaver13.flc", 100, 100);
    Stage stage(320, 240);
    LumivaleScene scene;
    std::ostringstream trace;
    scene.setTrace(&trace);
    scene.build(stage.director, stage.window.clientRect(), false);
    takeActions(trace);
    platform::Random::seed(1);
    int jumps = 0;
    for (int pass = 0; pass < 200; ++pass) {
        stage.pass(scene);
        for (const std::string& action : takeActions(trace)) {
            if (action.rfind("place 1 ", 0) == 0) {
                EXPECT_EQ(action, place(1, 0, 0, -1));
                ++jumps;
            }
        }
    }
    EXPECT_GT(jumps, 0);
}

TEST(IdeasScene, AMissingFileLeavesItsSpriteOut) {
    SceneFolder files;
    addIdeasFiles(files);
    fs::remove("Cyber2.flc");
    platform::ReportSink::Capture capture;
    Stage stage;
    IdeasScene scene;
    scene.build(stage.director, stage.window.clientRect(), false);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mFile");
    EXPECT_EQ(reports[0].text, "File open error:Cyber2.flc");
    EXPECT_EQ(scene.sprite(2), nullptr);
    EXPECT_NE(scene.sprite(3), nullptr);
    platform::Random::seed(1);
    for (int pass = 0; pass < 500; ++pass)
        stage.pass(scene);  // the cycle reaches the gap
}

TEST(ScreenSaverProc, PreviewDrawsNoRandomNumber) {
    SceneFolder files;
    files.add("Dots01.flc", 30, 20, 3, 10);
    platform::Clock::useVirtual(0);
    platform::Window window(299, 200);
    IdeasScene scene;
    std::ostringstream trace;
    saver::useScene(scene);
    hostState().trace = &trace;
    ScreenSaverProc(window, saverlib::wmCreate, 0, 0);
    // Let the animation thread run many simulated seconds, then end it as the host would.
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (platform::Clock::now() < 20000 && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::yield();
    }
    EXPECT_GE(platform::Clock::now(), 20000u);
    ScreenSaverProc(window, saverlib::wmDestroy, 0, 0);
    // The destruction returns once the animation thread has destroyed the stage and the sprites.
    EXPECT_EQ(scene.sprite(0), nullptr);
    hostState().trace = nullptr;
    platform::Clock::useReal();

    EXPECT_EQ(trace.str(), "0 " + place(0, 1, 19, 4) + "\n");
    // Seeded with 1 at creation and never drawn from: the first draw is still to come.
    EXPECT_EQ(platform::Random::next(), 41);
    // The sprite played: the window shows its colours.
    EXPECT_GT(window.surface().pixelsWritten(), 0u);
}

}  // namespace
