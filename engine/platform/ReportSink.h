#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// One report as the user sees it: a box with a caption, a text, an icon and an OK button.
struct Report {
    std::string caption;
    std::string text;
    uint32_t icon = 0;
};

// Where engine reports go. Every report is written as one line on standard error; a program
// with a desktop window may also show it in a modal box through the box hook, and tests
// collect reports with a Capture.
//
// A broken file can raise the same report millions of times, so repeats of the report just
// shown are counted rather than kept: standard error gets the first of a run as it is, then
// "lumivale: last report repeated N times so far" at 1024, 2048, 4096... repeats and
// "lumivale: last report repeated N times" (or "once") when a different report ends the run,
// a Capture starts or the program exits. The box shows only the first of a run.
class ReportSink {
  public:
    static constexpr uint32_t iconHand = 0x10;
    static constexpr uint32_t iconQuestion = 0x20;
    static constexpr uint32_t iconExclamation = 0x30;
    static constexpr uint32_t iconAsterisk = 0x40;
    static constexpr int idOk = 1;

    // Shows the report and returns the button pressed (always OK).
    static int show(const char* text, const char* caption, uint32_t icon);

    // The hook shows a modal box and returns when the user has dismissed it; empty for none.
    // Setting it ends the current run of repeats, so the next report is boxed.
    using BoxHook = std::function<void(const Report&)>;
    static void setBoxHook(BoxHook hook);

    // Consecutive identical reports as a Capture keeps them.
    struct Run {
        Report report;
        std::size_t count = 0;
    };

    // While alive, collects every report shown, on any thread. Captures nest: the newest
    // one collects, and the one before it resumes when it ends. It keeps the first
    // `maxRuns` runs; count() goes on counting after that.
    class Capture {
      public:
        static constexpr std::size_t maxRuns = 1000;

        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        std::vector<Run> runs() const;
        // One report per run.
        std::vector<Report> reports() const;
        // Every report shown, repeats included.
        std::size_t count() const;
        void clear();

      private:
        friend class ReportSink;
        void collect(const Report& report);

        Capture* previous = nullptr;
        std::vector<Run> collected;
        std::size_t total = 0;
        bool overflowed = false;
    };
};

}  // namespace platform
