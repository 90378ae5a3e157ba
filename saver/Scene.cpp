#include "saver/Scene.h"

#include "engine/platform/Clock.h"
#include "engine/platform/Random.h"

namespace {

// Both programs show their preview sprite at this depth.
constexpr int32_t previewZ = 4;

}  // namespace

Scene::~Scene() {
    destroySprites();
}

std::vector<const char*> Scene::fileNames() const {
    std::vector<const char*> names{sceneSetup.previewFile};
    names.insert(names.end(), sceneSetup.fullFiles.begin(), sceneSetup.fullFiles.end());
    return names;
}

mSpriteImage* Scene::sprite(std::size_t index) const {
    return index < sprites.size() ? sprites[index].get() : nullptr;
}

mImageFlic* Scene::firstImage() const {
    for (mImageFlic* image : images) {
        if (image) return image;
    }
    return nullptr;
}

void Scene::build(mDirector& onStage, const Rect& client, bool previewMode) {
    destroySprites();
    stage = &onStage;
    preview = previewMode;
    width = client.right;
    height = client.bottom;
    std::size_t count = preview ? 1 : sceneSetup.fullFiles.size();
    sprites.resize(count);
    images.assign(count, nullptr);
    unattached.resize(count);
    imageWidth.assign(count, 0);
    imageHeight.assign(count, 0);
    if (preview) {
        buildPreview();
    } else {
        buildFull();
    }
}

void Scene::buildPreview() {
    if (!create(0, sceneSetup.previewFile)) return;
    attachImage(0);
    place(0, sceneSetup.previewX, sceneSetup.previewY, previewZ);
    addToStage(0);
}

void Scene::destroySprites() {
    // In index order, as the programs always destroyed them.
    for (auto& held : sprites)
        held.reset();
    sprites.clear();
    unattached.clear();
    images.clear();
}

bool Scene::create(std::size_t index, const char* name) {
    auto image = std::make_unique<mImageFlic>();
    if (!image->open(name, 0)) return false;
    sprites[index] = std::make_unique<mSpriteImage>();
    images[index] = image.get();
    unattached[index] = std::move(image);
    return true;
}

int32_t Scene::openImage(std::size_t index) {
    return images[index] ? images[index]->openImage() : 0;
}

void Scene::keepSize(std::size_t index) {
    if (!images[index]) return;
    imageWidth[index] = static_cast<int16_t>(images[index]->frameWidth);
    imageHeight[index] = static_cast<int16_t>(images[index]->frameHeight);
}

void Scene::attachImage(std::size_t index) {
    if (!unattached[index]) return;
    // From here the sprite holds the image and destroys it with its last use.
    sprites[index]->setImage(unattached[index].release());
    images[index]->setTransparent(1);
    images[index]->setRemap(1);
}

void Scene::place(std::size_t index, int32_t x, int32_t y, int32_t z) {
    if (!sprites[index]) return;
    if (trace) {
        traceLine("place", index);
        *trace << ' ' << x << ' ' << y << ' ' << z << '\n' << std::flush;
    }
    sprites[index]->setPosition(x, y, z);
}

void Scene::pause(std::size_t index) {
    if (!sprites[index]) return;
    if (trace) {
        traceLine("pause", index);
        *trace << '\n' << std::flush;
    }
    sprites[index]->pause();
}

void Scene::resume(std::size_t index) {
    if (!sprites[index]) return;
    if (trace) {
        traceLine("resume", index);
        *trace << '\n' << std::flush;
    }
    sprites[index]->resume();
}

void Scene::addToStage(std::size_t index) {
    if (sprites[index]) stage->add(*sprites[index]);
}

int32_t Scene::frameOf(std::size_t index) const {
    return images[index] ? images[index]->currentFrame : -1;
}

int32_t Scene::randomBelow(int32_t range) {
    int32_t drawn = platform::Random::next();
    return range > 0 ? drawn % range : 0;
}

void Scene::traceLine(const char* action, std::size_t index) const {
    *trace << platform::Clock::now() << ' ' << action << ' ' << index;
}
