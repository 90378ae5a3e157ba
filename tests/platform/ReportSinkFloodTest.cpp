// A broken file can raise one report millions of times: the sink must count such a flood, not
// keep it, neither in a Capture nor on standard error, nor block on a box per report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fcntl.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/platform/ReportSink.h"
#include "tests/support/TempFile.h"

namespace {

using platform::ReportSink;

constexpr std::size_t flood = 1000000;

void showFlood() {
    for (std::size_t i = 0; i < flood; ++i)
        ReportSink::show("Bad chunk type:broken.flc", "mImageFlic", ReportSink::iconExclamation);
}

// What the calls of `show` write on standard error.
template <typename Shows>
std::vector<std::string> standardErrorOf(Shows shows) {
    std::string path = testing_support::uniqueTempPath(".txt");
    std::fflush(stderr);
    int saved = dup(2);
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(file, 0);
    dup2(file, 2);
    close(file);
    shows();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::remove(path.c_str());
    return lines;
}

TEST(ReportSinkFlood, CaptureKeepsOneRunOfIdenticalReports) {
    ReportSink::Capture capture;
    showFlood();
    ReportSink::show("File read error", "mFile", ReportSink::iconHand);
    EXPECT_EQ(capture.count(), flood + 1);
    auto runs = capture.runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].count, flood);
    EXPECT_EQ(runs[0].report.caption, "mImageFlic");
    EXPECT_EQ(runs[0].report.text, "Bad chunk type:broken.flc");
    EXPECT_EQ(runs[0].report.icon, ReportSink::iconExclamation);
    EXPECT_EQ(runs[1].count, 1u);
    EXPECT_EQ(runs[1].report.text, "File read error");
    ASSERT_EQ(capture.reports().size(), 2u);
    EXPECT_EQ(capture.reports()[1].caption, "mFile");

    capture.clear();
    EXPECT_EQ(capture.count(), 0u);
    EXPECT_TRUE(capture.runs().empty());
}

TEST(ReportSinkFlood, CaptureStopsKeepingAfterItsLimitButGoesOnCounting) {
    ReportSink::Capture capture;
    // Alternating reports are never repeats of the one before.
    for (std::size_t i = 0; i < ReportSink::Capture::maxRuns + 10; ++i)
        ReportSink::show(i % 2 ? "odd" : "even", "mFile", ReportSink::iconHand);
    EXPECT_EQ(capture.count(), ReportSink::Capture::maxRuns + 10);
    auto runs = capture.runs();
    ASSERT_EQ(runs.size(), ReportSink::Capture::maxRuns);
    EXPECT_EQ(runs.front().report.text, "even");
    EXPECT_EQ(runs.back().report.text, "odd");
}

TEST(ReportSinkFlood, StandardErrorWritesTheFirstAndCountsTheRest) {
    ReportSink::Capture capture;  // starts with no run going on
    auto lines = standardErrorOf([] {
        showFlood();
        ReportSink::show("File read error", "mFile", ReportSink::iconHand);
        ReportSink::show("File read error", "mFile", ReportSink::iconHand);
        ReportSink::show("Out of memory", "mBitmap", ReportSink::iconHand);
    });
    std::vector<std::string> expected{"lumivale: warning: mImageFlic: Bad chunk type:broken.flc"};
    for (std::size_t n = 1024; n < flood; n *= 2)
        expected.push_back("lumivale: last report repeated " + std::to_string(n) + " times so far");
    expected.push_back("lumivale: last report repeated 999999 times");
    expected.push_back("lumivale: error: mFile: File read error");
    expected.push_back("lumivale: last report repeated once");
    expected.push_back("lumivale: error: mBitmap: Out of memory");
    EXPECT_EQ(lines, expected);
}

TEST(ReportSinkFlood, StandardErrorHearsOfARunWhenACaptureStarts) {
    auto lines = standardErrorOf([] {
        ReportSink::Capture first;
        for (int i = 0; i < 3; ++i)
            ReportSink::show("t", "c", ReportSink::iconAsterisk);
        ReportSink::Capture second;
        ReportSink::show("t", "c", ReportSink::iconAsterisk);
    });
    EXPECT_EQ(lines, (std::vector<std::string>{"lumivale: information: c: t",
                                               "lumivale: last report repeated 2 times",
                                               "lumivale: information: c: t"}));
}

TEST(ReportSinkFlood, BoxShowsTheFirstOfARunOnly) {
    ReportSink::Capture capture;
    std::vector<std::string> boxed;
    ReportSink::setBoxHook([&](const platform::Report& r) { boxed.push_back(r.text); });
    for (int i = 0; i < 1000; ++i)
        ReportSink::show("same", "mFile", ReportSink::iconHand);
    ReportSink::show("same", "mFile", ReportSink::iconExclamation);  // another icon: another report
    ReportSink::show("other", "mFile", ReportSink::iconHand);
    ReportSink::show("same", "mFile", ReportSink::iconHand);
    ReportSink::setBoxHook([&](const platform::Report& r) { boxed.push_back("new " + r.text); });
    ReportSink::show("same", "mFile", ReportSink::iconHand);
    ReportSink::setBoxHook(nullptr);
    EXPECT_EQ(boxed, (std::vector<std::string>{"same", "same", "other", "same", "new same"}));
    EXPECT_EQ(capture.count(), 1004u);
}

}  // namespace
