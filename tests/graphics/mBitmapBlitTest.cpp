#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "engine/graphics/mBitmap.h"
#include "engine/platform/Memory.h"
#include "engine/platform/ReportSink.h"

namespace {

using Table = std::array<uint8_t, 256>;

void create(mBitmap& bitmap, int32_t width, int32_t height, bool topDown) {
    ASSERT_EQ(bitmap.createMemory(width, topDown ? -height : height, 8), 1);
    ASSERT_EQ(bitmap.info->topDown, topDown ? 1 : 0);
}

std::size_t stride(const mBitmap& bitmap) {
    return static_cast<std::size_t>(bitmap.info->stride);
}

// Byte offset of displayed pixel (x, y), worked out from the row order rather than topRow.
std::size_t offsetOf(const mBitmap& bitmap, int64_t x, int64_t y) {
    const int64_t memoryRow = bitmap.info->topDown != 0 ? y : bitmap.info->height - 1 - y;
    return static_cast<std::size_t>(memoryRow) * stride(bitmap) + static_cast<std::size_t>(x);
}

// The whole pixel memory, row padding included, so that stray writes show up too.
std::vector<uint8_t> memoryOf(const mBitmap& bitmap) {
    return {bitmap.info->bits, bitmap.info->bits + stride(bitmap) * bitmap.info->height};
}

void setPixel(mBitmap& bitmap, int32_t x, int32_t y, uint8_t value) {
    bitmap.info->bits[offsetOf(bitmap, x, y)] = value;
}

uint8_t pixel(const mBitmap& bitmap, int32_t x, int32_t y) {
    return bitmap.info->bits[offsetOf(bitmap, x, y)];
}

// Runs of key and non-key pixels of random lengths, so that whole words of each kind and
// every mix of them occur. Half the other pixels are one bit away from the key, where a
// word-wide key test that lets a borrow or carry cross bytes goes wrong.
void randomPixels(mBitmap& bitmap, std::mt19937& random, uint8_t key) {
    std::uniform_int_distribution<int> runLength(1, 20);
    std::uniform_int_distribution<int> value(0, 255);
    std::uniform_int_distribution<int> bit(0, 15);
    auto other = [&] {
        const int flip = bit(random);
        return static_cast<uint8_t>(flip < 8 ? key ^ (1 << flip) : value(random));
    };
    std::fill_n(bitmap.info->bits, stride(bitmap) * bitmap.info->height,
                static_cast<uint8_t>(value(random)));
    bool keyRun = false;
    int left = 0;
    for (int32_t y = 0; y < bitmap.info->height; ++y) {
        for (int32_t x = 0; x < bitmap.info->width; ++x) {
            if (left-- == 0) {
                keyRun = !keyRun;
                left = runLength(random);
            }
            setPixel(bitmap, x, y, keyRun ? key : other());
        }
    }
}

Table randomTable(std::mt19937& random) {
    std::uniform_int_distribution<int> value(0, 255);
    Table table{};
    for (auto& entry : table)
        entry = static_cast<uint8_t>(value(random));
    return table;
}

// The destination's colour i + shift is the source's colour i, so that every source colour
// has exactly one match, at another index.
void shiftedColours(mBitmap& destination, const mBitmap& source, std::size_t shift) {
    std::array<RgbQuad, 256> colours{};
    const std::size_t count = std::size_t{1} << source.info->bitsPerPixel;
    for (std::size_t i = 0; i < count; ++i) {
        colours[(i + shift) % colours.size()] = source.info->colorTable[i];
    }
    destination.setColors(colours.data(), 0, 256);
}

// Gives `source` a remap table for `destination` as if it had just been built.
void installTable(mBitmap& source, mBitmap& destination, const Table& table) {
    source.remapHandle = platform::Memory::allocate(table.size());
    ASSERT_NE(source.remapHandle, nullptr);
    std::copy(table.begin(), table.end(), source.remapHandle.get());
    source.remapTable = source.remapHandle.get();
    source.remapNeeded = 1;
    source.remapTarget = &destination;
    source.remapSerial = static_cast<uint32_t>(destination.info->paletteSerial);
}

void applyPixel(uint8_t& target, uint8_t source, uint32_t mode, uint8_t key, const Table& table) {
    if ((mode & mBitmap::drawTransparent) != 0 && source == key) return;
    target = (mode & mBitmap::drawRemap) != 0 ? table[source] : source;
}

// The destination memory after a per-pixel copy of `rect` from (sx, sy).
std::vector<uint8_t> expectedCopy(const mBitmap& source, const mBitmap& destination,
                                  const Rect& rect, int32_t sx, int32_t sy, uint32_t mode,
                                  const Table& table) {
    auto memory = memoryOf(destination);
    const auto key = static_cast<uint8_t>(source.transparentIndex);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        for (int32_t x = rect.left; x < rect.right; ++x) {
            applyPixel(memory[offsetOf(destination, x, y)],
                       pixel(source, sx + x - rect.left, sy + y - rect.top), mode, key, table);
        }
    }
    return memory;
}

void copyWith(uint32_t mode, mBitmap& source, mBitmap& destination, const Rect& rect, int32_t sx,
              int32_t sy) {
    switch (mode) {
        case 0:
            source.copyOpaque(destination, rect, sx, sy);
            break;
        case 1:
            source.copyTransparent(destination, rect, sx, sy);
            break;
        case 2:
            source.copyRemapped(destination, rect, sx, sy);
            break;
        default:
            source.copyTransparentRemapped(destination, rect, sx, sy);
            break;
    }
}

// Distinct colours, so that buildRemap finds no accidental matches.
void distinctColours(mBitmap& bitmap, uint8_t salt) {
    std::array<RgbQuad, 256> colours{};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const auto v = static_cast<uint8_t>(i);
        colours[i] = RgbQuad{v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v ^ salt), 0};
    }
    bitmap.setColors(colours.data(), 0, 256);
}

TEST(mBitmapCopyRoutine, EveryRoutineMatchesThePerPixelRule) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> size(1, 70);
    std::uniform_int_distribution<int> rows(1, 6);
    std::uniform_int_distribution<int> coin(0, 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int trial = 0; trial < 300; ++trial) {
        for (uint32_t mode = 0; mode < 4; ++mode) {
            mBitmap source;
            mBitmap destination;
            create(source, size(random), rows(random), coin(random) == 1);
            create(destination, size(random), rows(random), coin(random) == 1);
            source.transparentIndex = static_cast<uint32_t>(byte(random)) | 0x1200u;
            randomPixels(source, random, static_cast<uint8_t>(source.transparentIndex));
            randomPixels(destination, random, static_cast<uint8_t>(byte(random)));
            const Table table = randomTable(random);
            installTable(source, destination, table);

            const int32_t width = std::uniform_int_distribution<int32_t>(
                1, std::min(source.info->width, destination.info->width))(random);
            const int32_t height = std::uniform_int_distribution<int32_t>(
                1, std::min(source.info->height, destination.info->height))(random);
            auto at = [&random](int32_t room) {
                return std::uniform_int_distribution<int32_t>(0, room)(random);
            };
            const int32_t left = at(destination.info->width - width);
            const int32_t top = at(destination.info->height - height);
            const int32_t sx = at(source.info->width - width);
            const int32_t sy = at(source.info->height - height);
            const Rect rect{left, top, left + width, top + height};

            const auto expected = expectedCopy(source, destination, rect, sx, sy, mode, table);
            copyWith(mode, source, destination, rect, sx, sy);
            ASSERT_EQ(memoryOf(destination), expected)
                << "mode " << mode << " trial " << trial << " width " << width << " left " << left
                << " sx " << sx;
        }
    }
}

TEST(mBitmapCopyRoutine, TransparentRowsOfKeysOddKeysAndOddLastPixel) {
    for (bool topDown : {true, false}) {
        mBitmap source;
        mBitmap destination;
        create(source, 19, 3, topDown);
        create(destination, 19, 3, topDown);
        std::fill_n(destination.info->bits, stride(destination) * 3, uint8_t{0xEE});
        source.setTransparentIndex(7);
        for (int32_t x = 0; x < 19; ++x) {
            setPixel(source, x, 0, 7);                                          // all key
            setPixel(source, x, 1, x % 2 == 1 ? uint8_t{7} : uint8_t(x + 20));  // key at odd x
            setPixel(source, x, 2, x == 18 ? uint8_t{40} : uint8_t{7});         // last not key
        }
        Table table{};
        for (std::size_t i = 0; i < table.size(); ++i)
            table[i] = static_cast<uint8_t>(i + 100);

        for (uint32_t mode : {1u, 3u}) {
            std::fill_n(destination.info->bits, stride(destination) * 3, uint8_t{0xEE});
            installTable(source, destination, table);
            const auto before = memoryOf(destination);
            copyWith(mode, source, destination, Rect{0, 0, 19, 1}, 0, 0);
            EXPECT_EQ(memoryOf(destination), before);

            copyWith(mode, source, destination, Rect{0, 1, 19, 3}, 0, 1);
            for (int32_t x = 0; x < 19; ++x) {
                const uint8_t written = mode == 3 ? table[x + 20] : uint8_t(x + 20);
                EXPECT_EQ(pixel(destination, x, 1), x % 2 == 1 ? 0xEE : written) << x;
                const uint8_t last = mode == 3 ? table[40] : uint8_t{40};
                EXPECT_EQ(pixel(destination, x, 2), x == 18 ? last : 0xEE) << x;
            }
        }
    }
}

TEST(mBitmapCopyRoutine, DrawModeSelectsTheCopy) {
    std::mt19937 random(31);
    for (uint32_t mode = 0; mode < 6; ++mode) {
        for (bool topDown : {true, false}) {
            mBitmap source;
            mBitmap destination;
            create(source, 23, 5, topDown);
            create(destination, 30, 7, !topDown);
            source.drawMode = mode;
            source.transparentIndex = 0x44;
            randomPixels(source, random, 0x44);
            randomPixels(destination, random, 0);
            const Table table = randomTable(random);
            installTable(source, destination, table);
            const Rect rect{4, 1, 25, 5};
            const auto expected = mode < 4
                                      ? expectedCopy(source, destination, rect, 1, 0, mode, table)
                                      : memoryOf(destination);
            source.copyByDrawMode(destination, rect, 1, 0);
            EXPECT_EQ(memoryOf(destination), expected) << "mode " << mode;
        }
    }
}

TEST(mBitmapCopyRoutine, EmptyRectangleCopiesNothing) {
    mBitmap source;
    mBitmap destination;
    create(source, 8, 8, true);
    create(destination, 8, 8, false);
    std::fill_n(source.info->bits, stride(source) * 8, uint8_t{9});
    const auto before = memoryOf(destination);
    for (uint32_t mode = 0; mode < 4; ++mode) {
        copyWith(mode, source, destination, Rect{5, 2, 5, 6}, 0, 0);
        copyWith(mode, source, destination, Rect{2, 5, 6, 3}, 0, 0);
    }
    EXPECT_EQ(memoryOf(destination), before);
}

TEST(mBitmapRemap, EqualColoursCopyRawAndAChangeOfDestinationColoursRebuilds) {
    mBitmap source;
    mBitmap destination;
    create(source, 16, 2, false);
    create(destination, 16, 2, true);
    distinctColours(source, 0);
    distinctColours(destination, 0);
    for (int32_t x = 0; x < 16; ++x)
        setPixel(source, x, 0, static_cast<uint8_t>(x * 16 + 3));

    source.copyRemapped(destination, Rect{0, 0, 16, 1}, 0, 0);
    EXPECT_EQ(source.remapNeeded, 0);
    EXPECT_EQ(source.remapTarget, &destination);
    for (int32_t x = 0; x < 16; ++x)
        EXPECT_EQ(pixel(destination, x, 0), x * 16 + 3);

    // Entry 35 moves to index 200 of the destination; 35 itself gets another colour.
    const RgbQuad moved = source.info->colorTable[35];
    const RgbQuad elsewhere{1, 2, 3, 0};
    destination.setColors(&moved, 200, 1);
    destination.setColors(&elsewhere, 35, 1);
    source.copyRemapped(destination, Rect{0, 1, 16, 2}, 0, 0);
    EXPECT_EQ(source.remapNeeded, 1);
    EXPECT_EQ(source.remapSerial, static_cast<uint32_t>(destination.info->paletteSerial));
    for (int32_t x = 0; x < 16; ++x) {
        EXPECT_EQ(pixel(destination, x, 1), x == 2 ? 200 : x * 16 + 3) << x;
    }
}

TEST(mBitmapRemap, TableKeepsEqualIndexesAndTakesTheNearestColourElsewhere) {
    mBitmap source;
    mBitmap destination;
    create(source, 4, 1, true);
    create(destination, 4, 1, true);
    distinctColours(source, 0x55);
    distinctColours(destination, 0);
    // Colour 7 of the source also stands at destination index 3, and at 7: 7 must win.
    const RgbQuad seven = source.info->colorTable[7];
    destination.setColors(&seven, 3, 1);
    destination.setColors(&seven, 7, 1);
    // Colour 9 of the source has no exact match; destination 250 is one step away.
    const RgbQuad near{source.info->colorTable[9].blue, source.info->colorTable[9].green,
                       static_cast<uint8_t>(source.info->colorTable[9].red + 1), 0};
    destination.setColors(&near, 250, 1);

    EXPECT_EQ(source.buildRemap(&destination), 1);
    ASSERT_NE(source.remapTable, nullptr);
    EXPECT_EQ(source.remapTable[7], 7);
    EXPECT_EQ(source.remapTable[9], 250);
    for (int i = 0; i < 256; ++i) {
        const RgbQuad colour = source.info->colorTable[i];
        const int expected = colour.sameColour(destination.info->colorTable[i])
                                 ? i
                                 : destination.nearestColor(colour);
        EXPECT_EQ(source.remapTable[i], expected) << i;
    }

    EXPECT_EQ(source.buildRemap(nullptr), 0);
    EXPECT_EQ(source.remapTable, nullptr);
    EXPECT_EQ(source.remapTarget, nullptr);
    EXPECT_EQ(source.remapNeeded, 0);
}

TEST(mBitmapRemap, RebuildsForEachNewDestination) {
    mBitmap source;
    mBitmap first;
    mBitmap second;
    create(source, 4, 1, true);
    create(first, 4, 1, true);
    create(second, 4, 1, false);
    distinctColours(source, 0);
    distinctColours(first, 0);
    distinctColours(second, 0);
    const RgbQuad colour = source.info->colorTable[1];
    second.setColors(&colour, 60, 1);
    second.setColors(&source.info->colorTable[2], 1, 1);
    setPixel(source, 0, 0, 1);
    for (int round = 0; round < 2; ++round) {
        source.copyRemapped(first, Rect{0, 0, 1, 1}, 0, 0);
        source.copyRemapped(second, Rect{0, 0, 1, 1}, 0, 0);
        EXPECT_EQ(pixel(first, 0, 0), 1);
        EXPECT_EQ(pixel(second, 0, 0), 60);
    }
}

TEST(mBitmapRemap, WithoutAUsableTableNothingChangesAndPixelsGoRaw) {
    mBitmap source;
    mBitmap destination;
    mBitmap deep;
    create(source, 8, 2, true);
    create(destination, 8, 2, true);
    ASSERT_EQ(deep.createMemory(8, 2, 24), 1);
    distinctColours(source, 0);
    shiftedColours(destination, source, 1);
    EXPECT_EQ(source.buildRemap(&deep), 0);
    EXPECT_EQ(deep.buildRemap(&destination), 0);
    EXPECT_EQ(source.remapTable, nullptr);
    EXPECT_EQ(deep.remapTable, nullptr);

    EXPECT_EQ(source.buildRemap(&destination), 1);
    // Re-created deeper, the bitmap has no table and cannot build one: its copies go raw.
    ASSERT_EQ(source.createMemory(8, -2, 24), 1);
    for (std::size_t i = 0; i < stride(source) * 2; ++i) {
        source.info->bits[i] = static_cast<uint8_t>(i + 1);
    }
    source.copyTransparentRemapped(destination, Rect{0, 0, 8, 2}, 0, 0);
    source.copyRemapped(destination, Rect{0, 0, 8, 2}, 0, 0);
    for (int32_t x = 0; x < 8; ++x)
        EXPECT_EQ(pixel(destination, x, 1), pixel(source, x, 1));
}

TEST(mBitmapRemap, OutOfMemoryIsReportedAndTheCopyStaysRaw) {
    mBitmap source;
    mBitmap destination;
    create(source, 8, 1, true);
    create(destination, 8, 1, true);
    distinctColours(source, 0);
    shiftedColours(destination, source, 3);
    for (int32_t x = 0; x < 8; ++x)
        setPixel(source, x, 0, static_cast<uint8_t>(x + 20));

    platform::ReportSink::Capture capture;
    platform::Memory::failAfter(0);
    EXPECT_EQ(source.buildRemap(&destination), 0);
    platform::Memory::failAfter(0);
    source.copyRemapped(destination, Rect{0, 0, 8, 1}, 0, 0);
    platform::Memory::failAfter(-1);

    ASSERT_EQ(capture.count(), 2u);
    auto runs = capture.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].count, 2u);
    EXPECT_EQ(runs[0].report.caption, "mBitmap");
    EXPECT_EQ(runs[0].report.text, "Out of memory");
    EXPECT_EQ(source.remapTable, nullptr);
    for (int32_t x = 0; x < 8; ++x)
        EXPECT_EQ(pixel(destination, x, 0), x + 20);

    EXPECT_EQ(source.buildRemap(&destination), 1);
    EXPECT_NE(source.remapTable, nullptr);
}

TEST(mBitmapRemap, ShallowBitmapsStayInsideTheirTables) {
    mBitmap source;
    mBitmap destination;
    ASSERT_EQ(source.createMemory(16, -1, 4), 1);
    create(destination, 8, 1, true);
    distinctColours(source, 0);
    shiftedColours(destination, source, 1);
    for (std::size_t i = 0; i < 8; ++i)
        source.info->bits[i] = static_cast<uint8_t>(0xF0 + i);
    source.info->bits[0] = 5;
    EXPECT_EQ(source.buildRemap(&destination), 1);
    source.copyRemapped(destination, Rect{0, 0, 8, 1}, 0, 0);
    // Colours of the 4-bit source are translated; the other byte values pass unchanged.
    EXPECT_EQ(pixel(destination, 0, 0), 6);
    for (int32_t x = 1; x < 8; ++x)
        EXPECT_EQ(pixel(destination, x, 0), 0xF0 + x);

    // Onto a 4-bit destination only its 16 colours are compared and chosen.
    mBitmap deep;
    create(deep, 8, 1, true);
    distinctColours(deep, 0);
    shiftedColours(source, deep, 0);
    EXPECT_EQ(deep.buildRemap(&source), 1);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(deep.remapTable[i], i < 16 ? i : source.nearestColor(deep.info->colorTable[i]));
    }
}

// The destination memory after a blit, from its per-pixel meaning: every destination pixel
// of the rectangle clipped to the destination takes the source pixel at the raised source
// position plus its offset in the clipped rectangle, where that lies inside the source.
std::vector<uint8_t> expectedBlit(const mBitmap& source, const mBitmap& destination,
                                  const Rect& rect, int32_t sx, int32_t sy, const Table& table) {
    auto memory = memoryOf(destination);
    if (source.drawMode > 3) return memory;
    const int64_t left = std::max(rect.left, 0);
    const int64_t top = std::max(rect.top, 0);
    const int64_t right = std::min(rect.right, destination.info->width);
    const int64_t bottom = std::min(rect.bottom, destination.info->height);
    const auto key = static_cast<uint8_t>(source.transparentIndex);
    for (int64_t y = top; y < bottom; ++y) {
        for (int64_t x = left; x < right; ++x) {
            const int64_t fromX = std::max(sx, 0) + x - left;
            const int64_t fromY = std::max(sy, 0) + y - top;
            if (fromX >= source.info->width || fromY >= source.info->height) continue;
            applyPixel(memory[offsetOf(destination, x, y)],
                       source.info->bits[offsetOf(source, fromX, fromY)], source.drawMode, key,
                       table);
        }
    }
    return memory;
}

TEST(mBitmapBlit, ClipsAnyRectangleAndSourcePosition) {
    std::mt19937 random(77);
    constexpr int32_t lowest = std::numeric_limits<int32_t>::min();
    constexpr int32_t highest = std::numeric_limits<int32_t>::max();
    const std::array<int32_t, 8> extremes{lowest, lowest + 1, -40, -1, 0, 1, highest - 1, highest};
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int32_t> near(-12, 45);
    auto coordinate = [&] {
        const int choice = pick(random);
        return choice < 8 ? extremes[static_cast<std::size_t>(choice)] : near(random);
    };
    std::uniform_int_distribution<int> size(1, 33);
    for (int trial = 0; trial < 2000; ++trial) {
        mBitmap source;
        mBitmap destination;
        create(source, size(random), size(random) / 3 + 1, trial % 2 == 0);
        create(destination, size(random), size(random) / 3 + 1, trial % 3 == 0);
        source.drawMode = static_cast<uint32_t>(trial % 5);
        source.transparentIndex = static_cast<uint32_t>(trial % 256);
        randomPixels(source, random, static_cast<uint8_t>(source.transparentIndex));
        randomPixels(destination, random, 0);
        const Table table = randomTable(random);
        installTable(source, destination, table);
        const Rect rect{coordinate(), coordinate(), coordinate(), coordinate()};
        const int32_t sx = coordinate();
        const int32_t sy = coordinate();

        const auto expected = expectedBlit(source, destination, rect, sx, sy, table);
        source.blit(destination, rect, sx, sy);
        ASSERT_EQ(memoryOf(destination), expected)
            << "trial " << trial << " rect " << rect.left << "," << rect.top << "," << rect.right
            << "," << rect.bottom << " from " << sx << "," << sy;
    }
}

TEST(mBitmapBlit, StopsAtTheEdgesOfBothBitmaps) {
    mBitmap source;
    mBitmap destination;
    create(source, 10, 4, false);
    create(destination, 12, 6, true);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 10; ++x)
            setPixel(source, x, y, static_cast<uint8_t>(y * 10 + x));
    }
    source.blit(destination, Rect{8, 1, 30, 2}, 0, 0);  // past the destination's right edge
    for (int32_t x = 0; x < 12; ++x)
        EXPECT_EQ(pixel(destination, x, 1), x < 8 ? 0 : x - 8);

    source.blit(destination, Rect{0, 3, 10, 4}, 6, 2);  // source runs out after column 9
    for (int32_t x = 0; x < 12; ++x)
        EXPECT_EQ(pixel(destination, x, 3), x < 4 ? 26 + x : 0);

    auto now = memoryOf(destination);
    source.blit(destination, Rect{0, 0, 12, 6}, 10, 0);  // source x at the source's width
    source.blit(destination, Rect{0, 0, 12, 6}, 0, 4);
    source.drawMode = 5;
    source.blit(destination, Rect{0, 0, 12, 6}, 0, 0);
    EXPECT_EQ(memoryOf(destination), now);

    // A negative source position is raised without moving the destination rectangle.
    source.drawMode = 0;
    source.blit(destination, Rect{3, 5, 5, 6}, -7, -1);
    EXPECT_EQ(pixel(destination, 3, 5), 0);
    EXPECT_EQ(pixel(destination, 4, 5), 1);
}

TEST(mBitmapBlit, PixelsNarrowerThanAByteAreNotCopied) {
    mBitmap shallow;
    mBitmap wide;
    ASSERT_EQ(shallow.createMemory(32, 4, 4), 1);
    create(wide, 32, 4, true);
    std::fill_n(wide.info->bits, stride(wide) * 4, uint8_t{5});
    const auto shallowBefore = memoryOf(shallow);
    const auto wideBefore = memoryOf(wide);
    wide.blit(shallow, Rect{0, 0, 32, 4}, 0, 0);
    shallow.blit(wide, Rect{0, 0, 32, 4}, 0, 0);
    EXPECT_EQ(memoryOf(shallow), shallowBefore);
    EXPECT_EQ(memoryOf(wide), wideBefore);
}

std::vector<uint8_t> expectedFill(const mBitmap& bitmap, uint8_t colour,
                                  const std::vector<Rect>& rects) {
    auto memory = memoryOf(bitmap);
    for (const Rect& rect : rects) {
        for (int32_t y = std::max(rect.top, 0); y < std::min(rect.bottom, bitmap.info->height);
             ++y) {
            for (int32_t x = std::max(rect.left, 0); x < std::min(rect.right, bitmap.info->width);
                 ++x) {
                memory[offsetOf(bitmap, x, y)] = colour;
            }
        }
    }
    return memory;
}

TEST(mBitmapFill, FiveWideAtEveryStartColumnInBothOrientations) {
    for (bool topDown : {true, false}) {
        for (int32_t left = 0; left < 12; ++left) {
            mBitmap bitmap;
            create(bitmap, 17, 7, topDown);
            const std::vector<Rect> rects{{left, 1, left + 5, 6}};
            const auto expected = expectedFill(bitmap, 0xA5, rects);
            bitmap.fillRects(0xA5, rects.data(), 1);
            ASSERT_EQ(memoryOf(bitmap), expected) << "left " << left << " topDown " << topDown;
        }
    }
}

TEST(mBitmapFill, ManyRectanglesCountZeroAndStrayRectangles) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int32_t> coordinate(-6, 70);
    for (int trial = 0; trial < 200; ++trial) {
        mBitmap bitmap;
        create(bitmap, 41 + trial % 24, 9, trial % 2 == 0);
        randomPixels(bitmap, random, 0);
        std::vector<Rect> rects(static_cast<std::size_t>(trial % 4 + 1));
        for (Rect& rect : rects) {
            rect = Rect{coordinate(random), coordinate(random) / 6, coordinate(random),
                        coordinate(random) / 6};
        }
        const auto before = memoryOf(bitmap);
        bitmap.fillRects(0x3C, rects.data(), 0);
        ASSERT_EQ(memoryOf(bitmap), before);
        const auto expected = expectedFill(bitmap, 0x3C, rects);
        bitmap.fillRects(0x3C, rects.data(), static_cast<int32_t>(rects.size()));
        ASSERT_EQ(memoryOf(bitmap), expected) << "trial " << trial;
    }
}

}  // namespace
