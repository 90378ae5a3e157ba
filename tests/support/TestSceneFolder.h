#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/PngRead.h"

namespace testing_support {

// One scene file as written: its frame size and the colour that fills its frames.
struct SceneFileInfo {
    std::string name;
    int32_t width = 0;
    int32_t height = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// A temporary folder holding the animations one saver program opens, under the names it opens
// them by. Every file is a small FLC of `frameCount` frames of `frameDelay` ms, filled with a
// colour of its own (all files share one palette, so that the colours survive the translation
// to the stage palette) except for a white marker that moves from frame to frame and the
// top-left pixel, the transparent key.
class TestSceneFolder {
  public:
    enum class Program { ideas, lumivale };
    static constexpr int frameCount = 3;
    static constexpr int frameDelay = 40;

    explicit TestSceneFolder(Program program);
    ~TestSceneFolder();
    TestSceneFolder(const TestSceneFolder&) = delete;
    TestSceneFolder& operator=(const TestSceneFolder&) = delete;

    const std::string& path() const { return folder; }
    // Throws std::out_of_range for a name the program does not open.
    const SceneFileInfo& file(const std::string& name) const;
    const std::vector<SceneFileInfo>& files() const { return written; }
    // Takes one file away, as if it had never been installed.
    void removeFile(const std::string& name);

  private:
    std::string folder;
    std::vector<SceneFileInfo> written;
};

// Where a scene shows in a picture of the screen.
bool showsColourAt(const RgbPicture& picture, int32_t x, int32_t y, const SceneFileInfo& file);
std::size_t pixelsOfColour(const RgbPicture& picture, const SceneFileInfo& file);

// The smallest rectangle holding every pixel that is not black, right and bottom exclusive;
// all 0 when the picture is black.
struct PictureBounds {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const PictureBounds&) const = default;
};
PictureBounds nonBlackBounds(const RgbPicture& picture);
inline std::ostream& operator<<(std::ostream& out, const PictureBounds& b) {
    return out << '(' << b.left << ", " << b.top << ")-(" << b.right << ", " << b.bottom << ')';
}

}  // namespace testing_support
