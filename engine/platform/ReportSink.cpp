#include "engine/platform/ReportSink.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

// From this many repeats on, standard error hears about a run at every power of two.
constexpr std::size_t firstProgress = 1024;

std::mutex sinkMutex;
ReportSink::BoxHook boxHook;
ReportSink::Capture* activeCapture = nullptr;

// The run of repeats standard error is in: the report last written and how often it came again.
bool inRun = false;
Report runReport;
std::size_t runRepeats = 0;

bool sameReport(const Report& a, const Report& b) {
    return a.icon == b.icon && a.caption == b.caption && a.text == b.text;
}

const char* severityName(uint32_t icon) {
    switch (icon) {
        case ReportSink::iconHand:
            return "error";
        case ReportSink::iconQuestion:
            return "question";
        case ReportSink::iconExclamation:
            return "warning";
        default:
            return "information";
    }
}

// Called with the sink locked.
void endRun() {
    if (inRun && runRepeats == 1) {
        std::fputs("lumivale: last report repeated once\n", stderr);
    } else if (inRun && runRepeats > 1) {
        std::fprintf(stderr, "lumivale: last report repeated %zu times\n", runRepeats);
    }
    inRun = false;
    runRepeats = 0;
}

// Tells standard error how a run that lasts until the program exits ended.
struct RunAtExit {
    ~RunAtExit() {
        std::lock_guard lock(sinkMutex);
        endRun();
    }
} runAtExit;

}  // namespace

int ReportSink::show(const char* text, const char* caption, uint32_t icon) {
    Report report{caption ? caption : "", text ? text : "", icon};
    BoxHook hook;
    {
        std::lock_guard lock(sinkMutex);
        if (inRun && sameReport(report, runReport)) {
            ++runRepeats;
            if (runRepeats >= firstProgress && (runRepeats & (runRepeats - 1)) == 0)
                std::fprintf(stderr, "lumivale: last report repeated %zu times so far\n",
                             runRepeats);
        } else {
            endRun();
            std::fprintf(stderr, "lumivale: %s: %s: %s\n", severityName(icon),
                         report.caption.c_str(), report.text.c_str());
            inRun = true;
            runReport = report;
            hook = boxHook;
        }
        if (activeCapture) activeCapture->collect(report);
    }
    // The box is modal: it blocks this thread, but not other threads' reports.
    if (hook) hook(report);
    return idOk;
}

void ReportSink::setBoxHook(BoxHook hook) {
    std::lock_guard lock(sinkMutex);
    endRun();
    boxHook = std::move(hook);
}

ReportSink::Capture::Capture() {
    std::lock_guard lock(sinkMutex);
    endRun();
    previous = activeCapture;
    activeCapture = this;
}

ReportSink::Capture::~Capture() {
    std::lock_guard lock(sinkMutex);
    activeCapture = previous;
}

void ReportSink::Capture::collect(const Report& report) {
    ++total;
    if (overflowed) return;
    if (!collected.empty() && sameReport(collected.back().report, report)) {
        ++collected.back().count;
    } else if (collected.size() < maxRuns) {
        collected.push_back({report, 1});
    } else {
        overflowed = true;
    }
}

std::vector<ReportSink::Run> ReportSink::Capture::runs() const {
    std::lock_guard lock(sinkMutex);
    return collected;
}

std::vector<Report> ReportSink::Capture::reports() const {
    std::lock_guard lock(sinkMutex);
    std::vector<Report> shown;
    shown.reserve(collected.size());
    for (const Run& run : collected)
        shown.push_back(run.report);
    return shown;
}

std::size_t ReportSink::Capture::count() const {
    std::lock_guard lock(sinkMutex);
    return total;
}

void ReportSink::Capture::clear() {
    std::lock_guard lock(sinkMutex);
    collected.clear();
    total = 0;
    overflowed = false;
}

}  // namespace platform
