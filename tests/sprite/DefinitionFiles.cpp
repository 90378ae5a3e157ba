#include "tests/sprite/DefinitionFiles.h"

#include "engine/core/mFile.h"
#include "engine/graphics/mBitmap.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/FlicTestFile.h"
#include "tools/flicgen/FlicWriter.h"

namespace definitiontest {

uint8_t pictureIndex(int32_t x, int32_t y) {
    return static_cast<uint8_t>(x + 11 * y + 1);
}

testing_support::TempFile pictureBmp(int32_t width, int32_t height) {
    testing_support::BmpPicture picture;
    picture.width = width;
    picture.height = height;
    for (int32_t k = 0; k < 256; ++k) {
        auto level = static_cast<uint8_t>(k);
        picture.colourTable.insert(picture.colourTable.end(), {level, level, level, 0});
    }
    std::vector<uint32_t> values;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            values.push_back(pictureIndex(x, y));
    }
    picture.pixels = testing_support::bmpRows(values, width, height, 8);
    return testing_support::TempFile(testing_support::encodeBmp(picture), ".bmp");
}

testing_support::TempFile walkingFlic(int32_t frames) {
    flicgen::Palette palette{};
    for (int i = 0; i < 256; ++i) {
        auto level = static_cast<uint8_t>(i);
        palette[static_cast<std::size_t>(i)] = {level, static_cast<uint8_t>(255 - i), level};
    }
    std::vector<uint8_t> pixels(static_cast<std::size_t>(flicWidth * flicHeight));
    for (int32_t y = 0; y < flicHeight; ++y) {
        for (int32_t x = 0; x < flicWidth; ++x)
            pixels[static_cast<std::size_t>(y * flicWidth + x)] = pictureIndex(x, y);
    }
    flicgen::FlicWriter writer(flicWidth, flicHeight, flicgen::FlicFormat::Flc, flicFrameTime);
    // Byte runs: the reader warns about literal first frames.
    writer.addFrame(pixels, palette, {.pixels = flicgen::PixelChunk::ByteRun});
    for (int32_t k = 1; k < frames; ++k) {
        int32_t left = (5 * k) % (flicWidth - 3);
        int32_t top = (3 * k) % (flicHeight - 2);
        for (int32_t y = top; y < top + 2; ++y) {
            for (int32_t x = left; x < left + 3; ++x)
                pixels[static_cast<std::size_t>(y * flicWidth + x)] = static_cast<uint8_t>(200 + k);
        }
        writer.addFrame(pixels, palette);
    }
    return testing_support::TempFile(writer.build(), ".flc");
}

int32_t loadText(mSpriteGroup& group, const std::string& text) {
    // One spare byte: the last line's operand is ended there.
    std::vector<uint8_t> block(text.begin(), text.end());
    block.push_back(0);
    mFile file;
    file.openMemory(block.data(), static_cast<int32_t>(text.size()));
    int32_t result = group.loadDefinitions(file);
    file.close();
    return result;
}

std::vector<uint8_t> framePixels(mSpriteGroup& group, int32_t index) {
    group.seekFrame(index, 0);
    group.setTransparent(0);
    mBitmap target(group.frameWidth, group.frameHeight, 8);
    group.attachBitmap(&target);
    group.readFrame(0, 0, nullptr);
    group.attachBitmap(nullptr);
    return testing_support::pixelsOf(target);
}

std::vector<uint8_t> pictureArea(const Rect& area) {
    std::vector<uint8_t> pixels;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        for (int32_t x = area.left; x < area.right; ++x)
            pixels.push_back(pictureIndex(x, y));
    }
    return pixels;
}

std::vector<std::string> textsOf(const platform::ReportSink::Capture& capture) {
    std::vector<std::string> texts;
    for (const auto& run : capture.runs())
        texts.insert(texts.end(), run.count, run.report.text);
    return texts;
}

}  // namespace definitiontest
