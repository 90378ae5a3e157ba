#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/Rect.h"
#include "engine/platform/ReportSink.h"
#include "engine/sprite/mSpriteGroup.h"
#include "tests/support/TempFile.h"

namespace definitiontest {

// The colour index at (x, y) of the pictures below: every pixel tells where it came from.
uint8_t pictureIndex(int32_t x, int32_t y);

// An 8-bit BMP file of pictureIndex pixels.
testing_support::TempFile pictureBmp(int32_t width, int32_t height);

// A FLC file of 24 by 16 pixels whose frame k paints a 3 by 2 block of colour 200 + k over the
// frame before it, at `frameTime` ms a frame.
constexpr int32_t flicWidth = 24;
constexpr int32_t flicHeight = 16;
constexpr int32_t flicFrameTime = 40;
testing_support::TempFile walkingFlic(int32_t frames);

// Runs the group's definition reader over `text` from memory.
int32_t loadText(mSpriteGroup& group, const std::string& text);

// What the group's frame `index` shows, drawn opaque, row by row.
std::vector<uint8_t> framePixels(mSpriteGroup& group, int32_t index);
// The pixels of `area` of the pictureIndex picture, row by row.
std::vector<uint8_t> pictureArea(const Rect& area);

// The captured report texts in order, repeats included.
std::vector<std::string> textsOf(const platform::ReportSink::Capture& capture);

}  // namespace definitiontest
