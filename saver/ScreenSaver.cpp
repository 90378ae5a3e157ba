#include "saver/ScreenSaver.h"

#include <memory>
#include <mutex>

#include "engine/platform/Clock.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Random.h"
#include "engine/platform/Thread.h"
#include "engine/platform/Window.h"
#include "engine/stage/mDirector.h"
#include "saver/Scene.h"
#include "saver/host/ScreenSaverLibrary.h"

namespace {

constexpr uint32_t quitMessage = platform::messageUser + 100;
constexpr int32_t dirtyCapacity = 50;
constexpr int32_t previewWidthLimit = 300;
// How long the animation thread waits between looks at its queue while no sprite has a tick
// interval yet.
constexpr uint32_t idleWait = 10;

// Written on the window thread while it handles creation, before the animation thread starts.
struct FrontEnd {
    Scene* scene = nullptr;
    std::unique_ptr<mDirector> director;
    bool previewMode = false;
    Rect clientRect;
    platform::Thread thread;
    // The window thread's erase handling and the animation thread's passes take turns on the
    // stage, which is not thread-safe itself.
    std::mutex stageLock;
};

FrontEnd frontEnd;

// Sleeps for `ms`, or less when a message arrives; on the simulated clock time just moves on.
void idle(uint32_t ms) {
    if (platform::Clock::isVirtual()) {
        platform::Clock::sleep(ms);
    } else {
        platform::MessageQueue::waitForPost(ms);
    }
}

// Takes at most one message: true when it was the quit message, others are dispatched.
bool quitTaken() {
    platform::Message message;
    if (!platform::MessageQueue::peek(message)) return false;
    if (message.id == quitMessage) return true;
    platform::MessageQueue::dispatch(message);
    return false;
}

uint32_t lockedStep() {
    std::lock_guard lock(frontEnd.stageLock);
    return frontEnd.director->step();
}

// The stage goes first: its destruction takes every sprite off it, so that the sprites' own
// destruction does not reach back into a destroyed stage.
void finish() {
    {
        std::lock_guard lock(frontEnd.stageLock);
        frontEnd.director.reset();
    }
    frontEnd.scene->destroySprites();
}

void animationThread() {
    Scene& scene = *frontEnd.scene;
    scene.resetChoreography();
    while (lockedStep() == 0) {
        if (quitTaken()) return finish();
        idle(idleWait);
    }
    if (mImageFlic* first = scene.firstImage(); first && first->palette) {
        std::lock_guard lock(frontEnd.stageLock);
        frontEnd.director->setPalette(first->palette, scene.setup().paletteFirst,
                                      scene.setup().paletteCount);
    }
    for (;;) {
        if (quitTaken()) return finish();
        uint32_t delay;
        {
            std::lock_guard lock(frontEnd.stageLock);
            if (!frontEnd.previewMode) scene.choreographyPass();
            delay = frontEnd.director->step();
        }
        // With no sprite due, look again shortly rather than spin (or stop the simulated clock).
        idle(delay ? delay : idleWait);
    }
}

// An animation thread of an earlier creation is asked to end, and waited for, before the new
// stage replaces the one it works on.
void stopEarlierThread() {
    if (!frontEnd.thread.isRunning()) return;
    platform::MessageQueue::post(frontEnd.thread.id(), {quitMessage, 0, 0, nullptr});
    frontEnd.thread.join();
    if (frontEnd.scene->setup().beepsOnRestart) saverlib::messageBeep(saverlib::beepQuestion);
}

void create(platform::Window& window) {
    stopEarlierThread();
    platform::Random::seed(1);
    frontEnd.director = std::make_unique<mDirector>(window, dirtyCapacity);
    mObject::instance = saverlib::programInstance();
    mObject::stringModule = saverlib::programInstance();
    frontEnd.director->background->setColour(0, 0, 0);
    frontEnd.clientRect = window.clientRect();
    frontEnd.previewMode = frontEnd.clientRect.width() < previewWidthLimit;
    frontEnd.scene->setTrace(saverlib::traceStream());
    frontEnd.scene->build(*frontEnd.director, frontEnd.clientRect, frontEnd.previewMode);
    frontEnd.thread.start(animationThread);
}

void eraseBackground() {
    uint32_t delay = 0;
    {
        std::lock_guard lock(frontEnd.stageLock);
        if (!frontEnd.director) return;
        frontEnd.director->background->setColour(0, 0, 0);
        if (frontEnd.previewMode) delay = frontEnd.director->step();
    }
    if (frontEnd.previewMode) platform::Clock::sleep(delay);
}

}  // namespace

namespace saver {

void useScene(Scene& scene) {
    frontEnd.scene = &scene;
}

saverlib::ProgramDescription showScene(Scene& scene, const char* demoFolder,
                                       const platform::Module& instance) {
    useScene(scene);
    return {scene.setup().title, scene.fileNames(), demoFolder, instance};
}

}  // namespace saver

int64_t ScreenSaverProc(platform::Window& window, uint32_t message, uint64_t wParam,
                        int64_t lParam) {
    switch (message) {
        case saverlib::wmCreate:
            create(window);
            return 0;
        case saverlib::wmDestroy:
            platform::MessageQueue::post(frontEnd.thread.id(), {quitMessage, 0, 0, nullptr});
            saverlib::postQuitMessage(0);
            // The window outlives the thread that draws into it.
            frontEnd.thread.join();
            return 0;
        case saverlib::wmEraseBackground:
            eraseBackground();
            return 0;
        default:
            return saverlib::defScreenSaverProc(window, message, wParam, lParam);
    }
}

int32_t ScreenSaverConfigureDialog(saverlib::Dialog& dialog, uint32_t message, uint64_t wParam,
                                   int64_t) {
    if (message == saverlib::wmCommand && wParam == saverlib::idCancel) {
        saverlib::endDialog(dialog, saverlib::idCancel);
        return 1;
    }
    return 0;
}

int32_t RegisterDialogClasses(const platform::Module&) {
    return 1;
}
