#include "tools/lumivale-play/StageOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

constexpr std::array<std::string_view, 8> stageFlags = {
    "--stage", "--at", "--script", "--headless", "--duration", "--snapshot", "--record", "--trace"};

// Numbers separated by `separator`, between `least` and out.size() of them; the rest stay.
template <std::size_t N>
bool parseNumbers(std::string_view text, char separator, std::size_t least,
                  std::array<int32_t, N>& out) {
    std::size_t count = 0;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (;;) {
        if (count == N) return false;
        auto [next, failure] = std::from_chars(p, end, out[count]);
        if (failure != std::errc{}) return false;
        ++count;
        if (next == end) return count >= least;
        if (*next != separator) return false;
        p = next + 1;
    }
}

bool parseSeconds(std::string_view text, uint32_t& ms) {
    std::string copy(text);
    char* end = nullptr;
    double seconds = std::strtod(copy.c_str(), &end);
    if (copy.empty() || *end != '\0' || !(seconds > 0) || seconds > 4'000'000) return false;
    ms = static_cast<uint32_t>(std::lround(seconds * 1000));
    return true;
}

}  // namespace

bool StageOptions::parse(const std::vector<std::string_view>& args, std::string& error) {
    StageSprite next;
    bool placed = false;
    auto fail = [&](std::string message) {
        error = std::move(message);
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        bool takesValue = arg == "--stage" || arg == "--at" || arg == "--script" ||
                          arg == "--duration" || arg == "--snapshot" || arg == "--record";
        if (takesValue && i + 1 == args.size()) return fail(std::string(arg) + " needs a value");
        std::string_view value = takesValue ? args[++i] : std::string_view{};
        if (arg == "--stage") {
            std::array<int32_t, 2> size{};
            if (!parseNumbers(value, 'x', 2, size) || size[0] <= 0 || size[1] <= 0 ||
                size[0] > 16384 || size[1] > 16384)
                return fail("--stage needs a size WxH, each side 1 to 16384");
            width = size[0];
            height = size[1];
        } else if (arg == "--at") {
            std::array<int32_t, 3> place{};
            if (placed || !parseNumbers(value, ',', 2, place))
                return fail("--at needs X,Y or X,Y,Z, once for each image");
            next.x = place[0];
            next.y = place[1];
            next.z = place[2];
            placed = true;
        } else if (arg == "--script") {
            if (!next.script.empty()) return fail("--script is given once for each image");
            next.script = value;
        } else if (arg == "--headless") {
            headless = true;
        } else if (arg == "--duration") {
            if (!parseSeconds(value, durationMs)) return fail("--duration needs seconds");
        } else if (arg == "--snapshot") {
            snapshotPath = value;
        } else if (arg == "--record") {
            recordDir = value;
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg.starts_with("-")) {
            return fail("unknown option " + std::string(arg));
        } else {
            next.image = arg;
            sprites.push_back(std::move(next));
            next = StageSprite{};
            placed = false;
        }
    }
    if (placed || !next.script.empty()) return fail("--at and --script come before their image");
    if (sprites.empty()) return fail("no image given");
    bool headlessOnly = !snapshotPath.empty() || !recordDir.empty() ||
                        std::find(args.begin(), args.end(), "--duration") != args.end();
    if (headlessOnly && !headless)
        return fail("--duration, --snapshot and --record need --headless");
    return true;
}

bool isStageCommand(const std::vector<std::string_view>& args) {
    return std::any_of(args.begin(), args.end(), [](std::string_view arg) {
        return std::find(stageFlags.begin(), stageFlags.end(), arg) != stageFlags.end();
    });
}
