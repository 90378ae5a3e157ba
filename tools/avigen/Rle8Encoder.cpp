#include <algorithm>

#include "tools/avigen/Encoders.h"

namespace avigen {

namespace {

constexpr std::size_t longestRun = 255;

class RleOutput {
  public:
    explicit RleOutput(std::vector<std::uint8_t>& bytes) : out(bytes) {}

    // Pixels of one line as runs where two or more repeat, literals elsewhere. A literal of one
    // or two pixels has no code of its own: those are written as runs of one.
    void pixels(std::span<const std::uint8_t> line) {
        std::size_t at = 0;
        while (at < line.size()) {
            std::size_t run = repeats(line, at);
            if (run >= 2) {
                pair(static_cast<std::uint8_t>(run), line[at]);
                at += run;
                continue;
            }
            std::size_t end = at;
            while (end < line.size() && end - at < longestRun && repeats(line, end) < 3)
                ++end;
            literal(line.subspan(at, end - at));
            at = end;
        }
    }
    void endLine() { pair(0, 0); }
    void endPicture() { pair(0, 1); }
    // Moves right and up; each step covers at most 255 of either.
    void skip(std::size_t right, std::size_t up) {
        while (right > 0 || up > 0) {
            std::size_t dx = std::min(right, longestRun);
            std::size_t dy = std::min(up, longestRun);
            pair(0, 2);
            pair(static_cast<std::uint8_t>(dx), static_cast<std::uint8_t>(dy));
            right -= dx;
            up -= dy;
        }
    }

  private:
    static std::size_t repeats(std::span<const std::uint8_t> line, std::size_t at) {
        std::size_t end = at + 1;
        while (end < line.size() && end - at < longestRun && line[end] == line[at])
            ++end;
        return end - at;
    }
    void pair(std::uint8_t first, std::uint8_t second) {
        out.push_back(first);
        out.push_back(second);
    }
    void literal(std::span<const std::uint8_t> bytes) {
        if (bytes.size() < 3) {
            for (std::uint8_t value : bytes)
                pair(1, value);
            return;
        }
        pair(0, static_cast<std::uint8_t>(bytes.size()));
        out.insert(out.end(), bytes.begin(), bytes.end());
        if (bytes.size() & 1u) out.push_back(0);
    }

    std::vector<std::uint8_t>& out;
};

}  // namespace

std::vector<std::uint8_t> encodeRle8(flicgen::ImageView picture,
                                     std::span<const std::uint8_t> before) {
    std::vector<std::uint8_t> bytes;
    RleOutput out(bytes);
    const std::size_t height = picture.height;
    const std::size_t width = picture.width;
    if (before.empty()) {
        for (std::size_t line = 0; line < height; ++line) {
            out.pixels(picture.row(height - 1 - line));
            if (line + 1 < height) out.endLine();
        }
        out.endPicture();
        return bytes;
    }
    // Where the decoder stands: a column and a line from the bottom.
    std::size_t column = 0;
    std::size_t at = 0;
    for (std::size_t line = 0; line < height; ++line) {
        std::span<const std::uint8_t> now = picture.row(height - 1 - line);
        std::span<const std::uint8_t> then = before.subspan((height - 1 - line) * width, width);
        std::size_t x = 0;
        while (x < width) {
            if (now[x] == then[x]) {
                ++x;
                continue;
            }
            // A changed span ends where four unchanged pixels in a row begin.
            std::size_t end = x;
            std::size_t same = 0;
            while (end < width && same < 4) {
                same = now[end] == then[end] ? same + 1 : 0;
                ++end;
            }
            end -= same;
            if (line > at && x < column) {
                out.endLine();
                column = 0;
                at += 1;
            }
            out.skip(x - column, line - at);
            out.pixels(now.subspan(x, end - x));
            column = end;
            at = line;
            x = end;
        }
    }
    out.endPicture();
    return bytes;
}

}  // namespace avigen
