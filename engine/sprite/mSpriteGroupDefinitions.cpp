// Reading sprite definition files: FILE lines open source images, RECT, TILE and SOURCEFRAME
// lines cut frames out of their bitmaps, and ORIGIN, TIME and DELTA set the values the next
// frames take. Words that are not definition keywords are skipped, so that one file can hold
// script lines as well.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>

#include "engine/sprite/mSpriteGroup.h"

namespace {

enum Keyword : int32_t {
    keyFile,
    keyRect,
    keyTile,
    keySourceFrame,
    keyOrigin,
    keyTime,
    keyDelta,
    keyEnd,
};

constexpr std::array<const char*, keyEnd + 2> keywords = {
    "FILE", "RECT", "TILE", "SOURCEFRAME", "ORIGIN", "TIME", "DELTA", "END", ""};

// A decimal number as the C library's scanf reads one: blanks, a sign, then at least one digit.
struct Number {
    bool found = false;
    bool negative = false;
    uint64_t magnitude = 0;  // saturated just past the 32-bit range
    const char* next = nullptr;
};

Number scanNumber(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    Number number;
    number.negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    constexpr uint64_t cap = uint64_t{1} << 32;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        number.found = true;
        number.magnitude = std::min(number.magnitude * 10 + uint64_t(*text - '0'), cap);
    }
    number.next = text;
    return number;
}

int32_t signedValue(const Number& number) {
    int64_t value = static_cast<int64_t>(number.magnitude);
    if (number.negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// As "%d,%d,...": blanks may come before a number but not before a comma. Reading stops at the
// first number missing; the values not read keep what they held.
void scanNumbers(const char* text, std::span<int32_t> values) {
    for (std::size_t index = 0; index < values.size(); ++index) {
        if (index > 0) {
            if (*text != ',') return;
            ++text;
        }
        Number number = scanNumber(text);
        if (!number.found) return;
        values[index] = signedValue(number);
        text = number.next;
    }
}

void scanRect(const char* text, Rect& rect) {
    std::array<int32_t, 4> values{rect.left, rect.top, rect.right, rect.bottom};
    scanNumbers(text, values);
    rect = {values[0], values[1], values[2], values[3]};
}

// As "%lu" into a 32-bit field: a negative number wraps round, a larger one saturates.
void scanUnsigned(const char* text, uint32_t& value) {
    Number number = scanNumber(text);
    if (!number.found) return;
    if (number.magnitude > std::numeric_limits<uint32_t>::max()) {
        value = std::numeric_limits<uint32_t>::max();
        return;
    }
    auto magnitude = static_cast<uint32_t>(number.magnitude);
    value = number.negative ? 0u - magnitude : magnitude;
}

int32_t saturated(int64_t value) {
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

// Blanks and tabs at the end of the line belong to no file name.
std::string fileNameOf(const char* operand) {
    std::string name(operand);
    name.erase(name.find_last_not_of(" \t") + 1);
    return name;
}

// The state of one definition file, carried from line to line.
class DefinitionReader {
  public:
    explicit DefinitionReader(mSpriteGroup& target) : group(target) {}
    ~DefinitionReader() { dropBitmap(); }
    DefinitionReader(const DefinitionReader&) = delete;
    DefinitionReader& operator=(const DefinitionReader&) = delete;

    int32_t read(mFile& file) {
        for (;;) {
            int32_t keyword = file.readKeyword(keywords.data());
            if (keyword < 0 || keyword == keyEnd) {
                closeSource();
                return 1;
            }
            // The cursor stays at the operand, whose words the next call skips.
            if (!apply(keyword, reinterpret_cast<const char*>(file.cursor))) return 0;
        }
    }

  private:
    enum class Pending { none, wholeFile, singleFrame };

    bool apply(int32_t keyword, const char* operand) {
        switch (keyword) {
            case keyFile:
                openSource(fileNameOf(operand));
                return true;
            case keyRect:
                pending = Pending::none;
                if (!source) return missingSource("RECT");
                scanRect(operand, rectangle);
                addFrame(&changed);
                return true;
            case keyTile:
                pending = Pending::none;
                if (!source) return missingSource("TILE");
                scanNumbers(operand, tileSize);
                cutTiles();
                return true;
            case keySourceFrame:
                if (!source) return missingSource("SOURCEFRAME");
                if (pending == Pending::singleFrame) addFrame(&changed);
                scanNumbers(operand, std::span(&sourceFrame, 1));
                source->seekFrame(sourceFrame, 0);
                takeSourceFrame();
                pending = Pending::singleFrame;
                return true;
            case keyOrigin: {
                std::array<int32_t, 2> origin{originX, originY};
                scanNumbers(operand, origin);
                originX = origin[0];
                originY = origin[1];
                return true;
            }
            case keyTime:
                scanUnsigned(operand, time);
                return true;
            case keyDelta:
                scanRect(operand, changed);
                return true;
            default:
                return true;
        }
    }

    bool missingSource(const char* keyword) {
        group.reportError(mObject::idImageBitmap, mObject::errFileType, keyword);
        return false;
    }

    void openSource(const std::string& name) {
        closeSource();
        std::unique_ptr<mImageBitmap> reader = group.createImage(name.c_str());
        // An unknown extension is reported by the factory, a file that does not open by the
        // file layer.
        if (!reader || !reader->open(name.c_str(), 0)) return;
        source = std::move(reader);
        takeSourceFrame();
        pending = Pending::wholeFile;
    }

    void closeSource() {
        if (!source) return;
        if (pending != Pending::none) addFrame(&changed);
        if (pending == Pending::wholeFile) {
            // A reader that cannot reach a frame it counts has reported why; the frames
            // after it would all repeat the one it stayed on.
            for (int32_t frame = 1; frame < source->frameCount; ++frame) {
                if (source->seekFrame(frame, 0) != frame) break;
                takeSourceFrame();
                addFrame(&changed);
            }
        }
        pending = Pending::none;
        source->close();
        source.reset();
        dropBitmap();
    }

    // The source's current frame as a new bitmap, with the rectangle, origin, time and changed
    // rectangle it brings. A source that cannot make the bitmap has reported why; its frame
    // adds nothing.
    void takeSourceFrame() {
        dropBitmap();
        // Readers that decode while seeking say so there, the others while drawing.
        int32_t coloursChanged = source->paletteChanged;
        bitmap = source->createBitmap(0);
        if (!bitmap) return;
        coloursChanged |= source->paletteChanged;
        rectangle = {0, 0, bitmap->info->width, bitmap->info->height};
        originX = source->originX;
        originY = source->originY;
        if (source->frameTime != 0) time = static_cast<uint32_t>(source->frameTime);
        // A frame that changed only colours leaves the reader's rectangle empty; one whose
        // colours changed repaints whole either way.
        changed = coloursChanged || source->changed.isEmpty() ? rectangle : source->changed;
    }

    void addFrame(const Rect* changedArea) {
        if (bitmap) group.addFrame(*bitmap, &rectangle, originX, originY, time, changedArea);
    }

    // Rows of whole tiles from the top left; the sums are 64-bit so that huge sizes end the
    // loops instead of overflowing. A size of 0 or less makes no tiles.
    void cutTiles() {
        const int64_t tileWidth = tileSize[0];
        const int64_t tileHeight = tileSize[1];
        if (tileWidth <= 0 || tileHeight <= 0) {
            group.reportError(mObject::idImageBitmap, mObject::errBadRectangle, nullptr);
            return;
        }
        if (!bitmap) return;
        const int64_t sourceWidth = bitmap->info->width;
        const int64_t sourceHeight = bitmap->info->height;
        int64_t left = rectangle.left;
        int64_t top = 0;
        for (; top + tileHeight <= sourceHeight; top += tileHeight) {
            for (left = 0; left + tileWidth <= sourceWidth; left += tileWidth) {
                rectangle = {saturated(left), saturated(top), saturated(left + tileWidth),
                             saturated(top + tileHeight)};
                addFrame(nullptr);
            }
        }
        rectangle.left = saturated(left);
        rectangle.top = saturated(top);
    }

    // Entries hold a use of every bitmap they show; one that none holds is destroyed here.
    void dropBitmap() {
        if (bitmap && bitmap->useCount > 0) static_cast<void>(bitmap.release());
        bitmap.reset();
    }

    mSpriteGroup& group;
    std::unique_ptr<mImageBitmap> source;
    std::unique_ptr<mBitmap> bitmap;  // the frame last taken from the source
    Rect rectangle;
    int32_t originX = 0;
    int32_t originY = 0;
    uint32_t time = 0;
    Rect changed;
    Pending pending = Pending::none;
    // A size never given is 0, so that a first TILE missing a number makes no tiles.
    std::array<int32_t, 2> tileSize{};
    int32_t sourceFrame = 0;
};

}  // namespace

int32_t mSpriteGroup::loadDefinitions(mFile& file) {
    if (!file.isOpen) return 0;
    DefinitionReader reader(*this);
    return reader.read(file);
}
