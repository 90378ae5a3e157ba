#include "tests/support/TestSceneFolder.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "tests/support/TempFile.h"
#include "tools/flicgen/FlicWriter.h"

namespace fs = std::filesystem;

namespace testing_support {
namespace {

// Palette indexes from 10 up: both programs install those entries of their first image.
constexpr uint8_t firstColourIndex = 10;
const flicgen::Rgb markerColour{255, 255, 255};

std::vector<SceneFileInfo> filesOf(TestSceneFolder::Program program) {
    if (program == TestSceneFolder::Program::ideas) {
        return {{"Lvfin6.flc", 60, 40, 255, 0, 0},   {"Cyber1.flc", 30, 20, 0, 255, 0},
                {"Cyber2.flc", 24, 16, 0, 0, 255},   {"Cyber3.flc", 20, 20, 255, 255, 0},
                {"Dots01.flc", 16, 12, 255, 0, 255}, {"Dots02.flc", 18, 14, 0, 255, 255},
                {"Xan2.flc", 50, 36, 255, 128, 0}};
    }
    return {{"Setupimg.flc", 40, 30, 128, 0, 255},
            {"SSaver11.flc", 60, 40, 0, 128, 255},
            {"SSaver06.flc", 30, 20, 255, 0, 128},
            {"SSaver13.flc", 40, 24, 128, 255, 0}};
}

void writeAnimation(const fs::path& path, const SceneFileInfo& info, uint8_t bodyIndex,
                    uint8_t markerIndex, const flicgen::Palette& palette) {
    flicgen::FlicWriter writer(info.width, info.height, flicgen::FlicFormat::Flc,
                               TestSceneFolder::frameDelay);
    auto width = static_cast<std::size_t>(info.width);
    for (int frame = 0; frame < TestSceneFolder::frameCount; ++frame) {
        std::vector<uint8_t> pixels(width * static_cast<std::size_t>(info.height), bodyIndex);
        pixels[0] = 0;
        std::size_t markerX = 2 + static_cast<std::size_t>(frame) * 3;
        for (std::size_t y = 2; y < 4; ++y) {
            for (std::size_t x = markerX; x < markerX + 2; ++x)
                pixels[y * width + x] = markerIndex;
        }
        writer.addFrame(pixels, palette);
    }
    writer.finish(path);
}

}  // namespace

TestSceneFolder::TestSceneFolder(Program program)
    : folder(uniqueTempPath("-scenes")), written(filesOf(program)) {
    fs::create_directories(folder);
    flicgen::Palette palette{};
    for (std::size_t i = 0; i < written.size(); ++i) {
        palette[firstColourIndex + i] = {written[i].red, written[i].green, written[i].blue};
    }
    auto markerIndex = static_cast<uint8_t>(firstColourIndex + written.size());
    palette[markerIndex] = markerColour;
    for (std::size_t i = 0; i < written.size(); ++i) {
        writeAnimation(fs::path(folder) / written[i].name, written[i],
                       static_cast<uint8_t>(firstColourIndex + i), markerIndex, palette);
    }
}

TestSceneFolder::~TestSceneFolder() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

const SceneFileInfo& TestSceneFolder::file(const std::string& name) const {
    for (const auto& info : written) {
        if (info.name == name) return info;
    }
    throw std::out_of_range("no scene file " + name);
}

void TestSceneFolder::removeFile(const std::string& name) {
    fs::remove(fs::path(folder) / name);
}

bool showsColourAt(const RgbPicture& picture, int32_t x, int32_t y, const SceneFileInfo& file) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return false;
    auto at = static_cast<std::size_t>((y * picture.width + x) * 3);
    return picture.rgb[at] == file.red && picture.rgb[at + 1] == file.green &&
           picture.rgb[at + 2] == file.blue;
}

std::size_t pixelsOfColour(const RgbPicture& picture, const SceneFileInfo& file) {
    std::size_t count = 0;
    for (std::size_t at = 0; at + 2 < picture.rgb.size(); at += 3) {
        if (picture.rgb[at] == file.red && picture.rgb[at + 1] == file.green &&
            picture.rgb[at + 2] == file.blue)
            ++count;
    }
    return count;
}

PictureBounds nonBlackBounds(const RgbPicture& picture) {
    PictureBounds bounds{picture.width, picture.height, 0, 0};
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            auto at = static_cast<std::size_t>((y * picture.width + x) * 3);
            if ((picture.rgb[at] | picture.rgb[at + 1] | picture.rgb[at + 2]) == 0) continue;
            bounds.left = std::min(bounds.left, x);
            bounds.top = std::min(bounds.top, y);
            bounds.right = std::max(bounds.right, x + 1);
            bounds.bottom = std::max(bounds.bottom, y + 1);
        }
    }
    return bounds.right == 0 ? PictureBounds{} : bounds;
}

}  // namespace testing_support
