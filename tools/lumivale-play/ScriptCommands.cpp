#include "tools/lumivale-play/ScriptCommands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/core/mFile.h"
#include "engine/media/mImageAVI.h"
#include "engine/media/mImageFlic.h"
#include "engine/platform/Clock.h"
#include "engine/platform/Window.h"
#include "engine/platform/sdl/SdlWindow.h"
#include "engine/sprite/mSpriteImage.h"
#include "engine/stage/mDirector.h"
#include "saver/host/PngWriter.h"
#include "tools/lumivale-play/ImageFiles.h"
#include "tools/lumivale-play/StageOptions.h"

namespace {

constexpr const char* stageUsage =
    "Usage: lumivale-play [--stage WxH] [--trace] SPRITE...\n"
    "       lumivale-play --headless [--duration S] [--snapshot F.png] [--record DIR] [--stage "
    "WxH]\n"
    "                     [--trace] SPRITE...\n"
    "Plays sprites on a black stage (default 640x480) in the stage palette of the first image.\n"
    "Each SPRITE is [--at X,Y[,Z]] [--script FILE] IMAGE: an image file of any format the\n"
    "engine reads (FLI, FLC, BMP, PCX, DCX, AVI) placed at X,Y (default 0,0) and depth Z,\n"
    "driven by the sprite script FILE, or a LOD file, which carries its frames and its script;\n"
    "sprites naming the same script share it. --headless runs S simulated seconds (default\n"
    "10), --snapshot writes the last picture, --record DIR a PNG of every step. --trace prints\n"
    "a line after every tick:\n"
    "  t=MS sprite=N pc= frame= x= y= z= shown= paused= interval= speed= bits= hit=\n";

// With no sprite due, the loop looks again this much later.
constexpr uint32_t idleWait = 20;

// An image sprite that can print its state after each tick the stage gives it.
class TracedSprite : public mSpriteImage {
  public:
    TracedSprite(std::size_t position, bool tracing, uint32_t startTime)
        : index(position), trace(tracing), start(startTime) {}
    // The sprite built from a file name: a sprite group of the image file's frames, or of a
    // sprite definition file's, with the script that carries.
    TracedSprite(const std::string& definitions, std::size_t position, bool tracing,
                 uint32_t startTime)
        : mObject(),
          mSpriteImage(definitions.c_str()),
          index(position),
          trace(tracing),
          start(startTime) {}
    // Shares the other's image, script and sounds.
    TracedSprite(const TracedSprite& other, std::size_t position)
        : mObject(), mSpriteImage(other), index(position), trace(other.trace), start(other.start) {}

    void tick(uint32_t lateness) override {
        mSpriteImage::tick(lateness);
        if (!trace || !stage) return;
        std::printf(
            "t=%u sprite=%zu pc=%d frame=%d x=%d y=%d z=%d shown=%d paused=%d interval=%u "
            "speed=%u bits=%u hit=%d\n",
            stage->now - start, index, pc, frame, x, y, z, (spriteFlags & flagHidden) ? 0 : 1,
            (spriteFlags & flagPaused) ? 1 : 0, interval, speed, stateBits,
            (spriteFlags & flagHitPending) ? 1 : 0);
    }

  private:
    std::size_t index;
    bool trace;
    uint32_t start;
};

// The sprites of a run with the stage they play on. The stage goes first: its destruction
// takes the sprites off it before they are destroyed.
class StageRun {
  public:
    StageRun(platform::Window& window, const StageOptions& wanted)
        : options(wanted), start(platform::Clock::now()), stage(window, 50) {}

    // False when an image or a script cannot be read; the engine has reported why.
    bool build() {
        std::map<std::string, TracedSprite*> byScript;
        for (std::size_t index = 0; index < options.sprites.size(); ++index) {
            const StageSprite& wanted = options.sprites[index];
            auto earlier = byScript.find(wanted.script);
            const Kind kind = kindOf(wanted.image);
            if (kind == Kind::unknown) return false;
            if (kind == Kind::group) {
                sprites.push_back(
                    std::make_unique<TracedSprite>(wanted.image, index, options.trace, start));
                if (!showDefinedImage(*sprites.back(), wanted.image)) return false;
                if (!loadScript(*sprites.back(), wanted.script)) return false;
            } else if (!wanted.script.empty() && earlier != byScript.end()) {
                sprites.push_back(std::make_unique<TracedSprite>(*earlier->second, index));
                if (!showImage(*sprites.back(), wanted.image)) return false;
            } else {
                sprites.push_back(std::make_unique<TracedSprite>(index, options.trace, start));
                if (!showImage(*sprites.back(), wanted.image)) return false;
                if (!loadScript(*sprites.back(), wanted.script)) return false;
                byScript.emplace(wanted.script, sprites.back().get());
            }
            sprites.back()->setPosition(wanted.x, wanted.y, wanted.z);
        }
        for (auto& sprite : sprites)
            stage.add(*sprite);
        if (const RgbQuad* colours = sprites.front()->image->palette)
            stage.setPalette(colours, 0, 256);
        // The colour nearest to black in the stage's palette.
        stage.background->setColour(0, 0, 0);
        Rect all = stage.window->clientRect();
        stage.invalidate(&all, 1, 0);
        return true;
    }

    // One frame; the milliseconds until the next is due.
    uint32_t step() {
        uint32_t delay = stage.step();
        std::fflush(stdout);
        return delay ? delay : idleWait;
    }

  private:
    // Animations and clips are decoded frame by frame as they play; pictures and definition
    // files become sprite groups, as a sprite built from the file's name makes them.
    enum class Kind { unknown, decoded, group };
    static Kind kindOf(const std::string& path) {
        if (extensionKey(path) == "LOD") return Kind::group;
        std::unique_ptr<mImageBitmap> reader = readerFor(path);
        if (!reader) return Kind::unknown;
        const bool decoded =
            dynamic_cast<mImageFlic*>(reader.get()) || dynamic_cast<mImageAVI*>(reader.get());
        return decoded ? Kind::decoded : Kind::group;
    }

    // The image shown by the sprite it is copied from stays shared when it is the same file.
    bool showImage(TracedSprite& sprite, const std::string& path) {
        auto shown = shownImages.find(path);
        if (shown != shownImages.end()) {
            if (sprite.image != shown->second) sprite.setImage(shown->second);
            return true;
        }
        std::unique_ptr<mImageBitmap> image = readerFor(path);
        if (!image || !image->open(path.c_str(), 0)) return false;
        mImageBitmap* opened = image.get();
        sprite.setImage(image.release());
        if (opened->frameCount <= 0) return false;
        shareStageColours(*opened);
        shownImages.emplace(path, opened);
        return true;
    }

    static bool showDefinedImage(TracedSprite& sprite, const std::string& path) {
        if (!sprite.image || sprite.image->frameCount <= 0) {
            std::fprintf(stderr, "lumivale-play: %s gives no frame\n", path.c_str());
            return false;
        }
        shareStageColours(*sprite.image);
        return true;
    }

    // Every picture is translated to the stage's colours; its key colour lets what lies
    // behind show through.
    static void shareStageColours(mImageBitmap& image) {
        image.setTransparent(1);
        image.setRemap(1);
    }

    static bool loadScript(TracedSprite& sprite, const std::string& path) {
        if (path.empty()) return true;
        mFile source;
        if (!source.open(path.c_str(), 0)) return false;
        if (!sprite.loadScript(source))
            std::fprintf(stderr, "lumivale-play: %s holds no instruction\n", path.c_str());
        source.close();
        return true;
    }

    const StageOptions& options;
    uint32_t start;
    std::map<std::string, mImageBitmap*> shownImages;  // held by the sprites
    std::vector<std::unique_ptr<TracedSprite>> sprites;
    mDirector stage;
};

std::string framePath(const std::string& folder, uint32_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%05u.png", index);
    return folder + name;
}

int playHeadless(const StageOptions& options) {
    platform::Clock::useVirtual(0);
    platform::Window window(options.width, options.height);
    StageRun run(window, options);
    if (!run.build()) return 1;
    if (!options.recordDir.empty()) std::filesystem::create_directories(options.recordDir);
    for (uint32_t recorded = 0;; ++recorded) {
        uint32_t delay = run.step();
        if (!options.recordDir.empty() &&
            !PngWriter::writeWindow(framePath(options.recordDir, recorded), window)) {
            std::fprintf(stderr, "lumivale-play: could not write into %s\n",
                         options.recordDir.c_str());
            return 1;
        }
        uint32_t now = platform::Clock::now();
        if (now >= options.durationMs) break;
        // The last step comes exactly at the end of the run.
        platform::Clock::sleep(std::min(delay, options.durationMs - now));
    }
    if (!options.snapshotPath.empty()) {
        if (!PngWriter::writeWindow(options.snapshotPath, window)) {
            std::fprintf(stderr, "lumivale-play: could not write %s\n",
                         options.snapshotPath.c_str());
            return 1;
        }
        std::printf("snapshot: %s\n", options.snapshotPath.c_str());
    }
    return 0;
}

int playInWindow(const StageOptions& options) {
    std::string error;
    auto window =
        platform::SdlWindow::open("lumivale-play", options.width, options.height, false, error);
    if (!window) {
        std::fprintf(stderr, "lumivale-play: cannot open a window: %s\n", error.c_str());
        return 1;
    }
    StageRun run(*window, options);
    if (!run.build()) return 1;
    for (;;) {
        uint32_t delay = run.step();
        window->update();
        if (window->waitForClose(static_cast<int32_t>(delay))) return 0;
    }
}

}  // namespace

int runStageCommand(const std::vector<std::string_view>& args) {
    StageOptions options;
    std::string error;
    if (!options.parse(args, error)) {
        std::fprintf(stderr, "lumivale-play: %s\n%s", error.c_str(), stageUsage);
        return 2;
    }
    return options.headless ? playHeadless(options) : playInWindow(options);
}
