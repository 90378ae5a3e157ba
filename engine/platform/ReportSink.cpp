#include "engine/platform/ReportSink.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex sinkMutex;
ReportSink::BoxHook boxHook;
ReportSink::Capture* activeCapture = nullptr;

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

}  // namespace

int ReportSink::show(const char* text, const char* caption, uint32_t icon) {
    Report report{caption ? caption : "", text ? text : "", icon};
    BoxHook hook;
    {
        std::lock_guard lock(sinkMutex);
        std::fprintf(stderr, "lumivale: %s: %s: %s\n", severityName(icon), report.caption.c_str(),
                     report.text.c_str());
        if (activeCapture) activeCapture->collected.push_back(report);
        hook = boxHook;
    }
    // The box is modal: it blocks this thread, but not other threads' reports.
    if (hook) hook(report);
    return idOk;
}

void ReportSink::setBoxHook(BoxHook hook) {
    std::lock_guard lock(sinkMutex);
    boxHook = std::move(hook);
}

ReportSink::Capture::Capture() {
    std::lock_guard lock(sinkMutex);
    previous = activeCapture;
    activeCapture = this;
}

ReportSink::Capture::~Capture() {
    std::lock_guard lock(sinkMutex);
    activeCapture = previous;
}

std::vector<Report> ReportSink::Capture::reports() const {
    std::lock_guard lock(sinkMutex);
    return collected;
}

std::size_t ReportSink::Capture::count() const {
    std::lock_guard lock(sinkMutex);
    return collected.size();
}

void ReportSink::Capture::clear() {
    std::lock_guard lock(sinkMutex);
    collected.clear();
}

}  // namespace platform
