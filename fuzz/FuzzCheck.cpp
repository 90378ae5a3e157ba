#include "fuzz/FuzzCheck.h"

#include <sys/mman.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>

namespace fuzz {
namespace {

void printAndAbort(const char* what) {
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
}

CheckFailure failure = printAndAbort;

}  // namespace

void setCheckFailure(CheckFailure handler) {
    failure = handler ? handler : printAndAbort;
}

void check(bool holds, const char* what) {
    if (!holds) failure(what);
}

void checkReports(const platform::ReportSink::Capture& capture,
                  std::initializer_list<KnownReport> known, std::size_t limit) {
    const auto reports = capture.reports();
    check(reports.size() <= limit, "more reports than the calls can explain");
    for (const auto& report : reports) {
        std::string_view text = report.text;
        text = text.substr(0, text.find(':'));
        bool listed = false;
        for (const auto& entry : known)
            listed = listed || (report.caption == entry.caption && text == entry.text);
        if (!listed)
            std::fprintf(stderr, "report %s: %s\n", report.caption.c_str(), report.text.c_str());
        check(listed, "a report that is not the reader's own");
    }
}

MemoryFile::MemoryFile(std::span<const uint8_t> bytes) {
    fd = memfd_create("fuzz-input", MFD_CLOEXEC);
    check(fd >= 0, "no in-memory file");
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        check(n > 0, "in-memory file not written");
        written += static_cast<std::size_t>(n);
    }
    std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
}

MemoryFile::~MemoryFile() {
    if (fd >= 0) ::close(fd);
}

void openInput(mFile& file, std::span<const uint8_t> input, uint8_t reading, int32_t bufferSize,
               int32_t wrapSize, std::vector<uint8_t>& bytes, std::optional<MemoryFile>& disk) {
    bytes.assign(input.begin(), input.end());
    if (reading == 0) {
        file.openMemory(bytes.data(), static_cast<int32_t>(bytes.size()));
        return;
    }
    disk.emplace(input);
    if (reading == 2) file.setBufferSizes(bufferSize, wrapSize);
    file.open(disk->path(), 0);
}

}  // namespace fuzz
