// Replays the inputs kept in fuzz/regressions/TARGET/ and the seed corpora in fuzz/corpus/TARGET/
// through the fuzz bodies, with their contract checks failing the test. In the sanitizer build
// every one is read under AddressSanitizer and UndefinedBehaviorSanitizer.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

struct Target {
    const char* name;
    int (*body)(const uint8_t*, std::size_t);
};

constexpr Target targets[] = {{"flic", fuzzFlic},       {"riff", fuzzRiff},
                              {"keyword", fuzzKeyword}, {"palette", fuzzPalette},
                              {"script", fuzzScript},   {"wave", fuzzWave},
                              {"pcx", fuzzPcx},         {"dcx", fuzzDcx},
                              {"bmp", fuzzBmp},         {"avi", fuzzAvi},
                              {"rle8", fuzzRle8},       {"video1", fuzzVideo1},
                              {"dib8", fuzzDib8},       {"definition", fuzzDefinition}};

void failTest(const char* what) {
    ADD_FAILURE() << "contract broken: " << what;
}

// Routes the bodies' contract checks to the running test.
class ChecksFailTests {
  public:
    ChecksFailTests() { fuzz::setCheckFailure(failTest); }
    ~ChecksFailTests() { fuzz::setCheckFailure(nullptr); }
    ChecksFailTests(const ChecksFailTests&) = delete;
    ChecksFailTests& operator=(const ChecksFailTests&) = delete;
};

std::vector<uint8_t> contentsOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Replays every file of fuzz/FOLDER/TARGET through its target; returns how many there were.
std::size_t replay(const std::string& folder, const Target& target) {
    ChecksFailTests checks;
    std::filesystem::path dir =
        std::filesystem::path(LUMIVALE_SOURCE_DIR) / "fuzz" / folder / target.name;
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().string());
        auto bytes = contentsOf(entry.path());
        target.body(bytes.data(), bytes.size());
        ++count;
    }
    return count;
}

TEST(FuzzRegressions, everyKeptInputKeepsItsTargetsContract) {
    for (const Target& target : targets) {
        EXPECT_GT(replay("regressions", target), 0u) << target.name;
    }
}

TEST(FuzzRegressions, everySeedKeepsItsTargetsContract) {
    for (const Target& target : targets) {
        EXPECT_GT(replay("corpus", target), 0u) << target.name;
    }
}

// The checks are live: an input that breaks a contract is reported as a failure.
TEST(FuzzRegressions, aBrokenContractFailsTheTest) {
    ChecksFailTests checks;
    EXPECT_NONFATAL_FAILURE(fuzz::check(false, "planted"), "contract broken: planted");
}

}  // namespace
