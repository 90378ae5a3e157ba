// Damaged copies of clips: cut short, with bits flipped, with sizes and counts overwritten by
// lies. Each is driven through the AVI fuzz body, whose contract checks fail the test here:
// frame numbers in range, nothing drawn outside the clip rectangle or the frame, the sound's
// ring within bounds; the sanitizer build also aborts on any read or write outside a buffer.
// The mutants come from a fixed seed.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "tools/avigen/AviWriter.h"
#include "tools/flicgen/Patterns.h"

namespace {

void failTest(const char* what) {
    ADD_FAILURE() << "contract broken: " << what;
}

std::vector<uint8_t> clipOf(avigen::Codec codec, int width, int height, int frames, bool sound,
                            bool records, bool index) {
    avigen::ClipOptions options;
    options.recordLists = records;
    options.index = index;
    avigen::AviWriter writer(width, height, options);
    avigen::VideoStream video;
    video.codec = codec;
    video.keyInterval = 3;
    int stream = writer.addVideoStream(video);
    if (sound) {
        avigen::AudioStream audio;
        audio.rate = 4000;
        audio.samples.assign(static_cast<std::size_t>(frames) * 400, 0x80);
        audio.chunksPerFrame = 3;
        writer.addAudioStream(audio);
    }
    for (int k = 0; k < frames; ++k) {
        flicgen::PatternFrame frame;
        flicgen::findPattern(k % 2 ? "cycle" : "shapes")->render(width, height, k, frames, frame);
        writer.addFrame(stream, frame.pixels, frame.palette);
    }
    return writer.build();
}

std::vector<uint8_t> testData(const char* name) {
    std::ifstream in(std::filesystem::path(LUMIVALE_TESTDATA) / "avi" / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<std::vector<uint8_t>>& originals() {
    static const std::vector<std::vector<uint8_t>> clips{
        clipOf(avigen::Codec::Rle8, 17, 9, 8, true, false, true),
        clipOf(avigen::Codec::Video1, 16, 12, 7, true, true, true),
        clipOf(avigen::Codec::Raw, 9, 5, 6, false, false, false),
        testData("upload.avi"),
        testData("ff_raw_pal8_33x17_s16audio.avi"),
        testData("ff_raw_pal8_80x60_palchange.avi"),
    };
    return clips;
}

// Control bytes: the reading, the destination and its clip, then a script of reads and seeks
// both ways, sound played and its buffers finished, and a stream choice.
std::vector<uint8_t> control(uint8_t reading) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(reading | 0x30), 5, 3, 7, 40, 30, 2, 3, 35, 27};
    // Kind and value: 0 to 2 seek with that origin, 3 and 4 read, 6 finishes buffers, 7 plays,
    // stops or chooses a stream.
    const std::vector<std::pair<uint8_t, uint8_t>> script{
        {3, 0}, {0, 5}, {6, 2}, {3, 0},  {0, 1}, {1, 2}, {3, 0}, {6, 3}, {0, 0xFD},
        {7, 4}, {3, 0}, {7, 3}, {0, 20}, {3, 0}, {6, 3}, {2, 1}, {4, 9}};
    bytes.push_back(static_cast<uint8_t>(script.size()));
    for (auto [kind, value] : script)
        bytes.insert(bytes.end(), {kind, value});
    return bytes;
}

void drive(const std::vector<uint8_t>& file, uint8_t reading) {
    std::vector<uint8_t> input = control(reading);
    input.insert(input.end(), file.begin(), file.end());
    fuzzAvi(input.data(), input.size());
}

class AviDamaged : public ::testing::Test {
  protected:
    void SetUp() override { fuzz::setCheckFailure(failTest); }
    void TearDown() override { fuzz::setCheckFailure(nullptr); }
};

TEST_F(AviDamaged, CutShortAnywhere) {
    std::mt19937 random(11);
    for (const auto& original : originals()) {
        for (int k = 0; k < 24; ++k) {
            std::size_t length = random() % original.size();
            SCOPED_TRACE("cut at " + std::to_string(length));
            drive({original.begin(), original.begin() + static_cast<std::ptrdiff_t>(length)},
                  static_cast<uint8_t>(k % 3));
        }
    }
}

TEST_F(AviDamaged, BitsFlipped) {
    std::mt19937 random(12);
    for (const auto& original : originals()) {
        for (int k = 0; k < 40; ++k) {
            std::vector<uint8_t> mutant = original;
            for (int flip = 0; flip < 1 + k % 4; ++flip) {
                // Most flips fall in the headers and the first chunks, where the sizes are.
                std::size_t at = random() % (k % 2 ? mutant.size()
                                                   : std::min<std::size_t>(mutant.size(), 12000));
                mutant[at] ^= static_cast<uint8_t>(1u << (random() % 8));
            }
            SCOPED_TRACE("mutant " + std::to_string(k));
            drive(mutant, static_cast<uint8_t>(k % 3));
        }
    }
}

TEST_F(AviDamaged, SizesAndCountsThatLie) {
    std::mt19937 random(13);
    const uint32_t lies[] = {0, 1, 7, 0x7FFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (const auto& original : originals()) {
        // Every 32-bit field of the headers and of the first movie chunks, in turn.
        const std::size_t reach = std::min<std::size_t>(original.size(), 1200);
        for (std::size_t at = 4; at + 4 <= reach; at += 4 + random() % 12) {
            std::vector<uint8_t> mutant = original;
            uint32_t lie = lies[random() % std::size(lies)];
            for (int b = 0; b < 4; ++b)
                mutant[at + static_cast<std::size_t>(b)] = static_cast<uint8_t>(lie >> (8 * b));
            SCOPED_TRACE("field at " + std::to_string(at));
            drive(mutant, static_cast<uint8_t>(at % 3));
        }
    }
}

}  // namespace
