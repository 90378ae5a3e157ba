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
    using BoxHook = std::function<void(const Report&)>;
    static void setBoxHook(BoxHook hook);

    // While alive, collects every report shown, on any thread. Captures nest: the newest
    // one collects, and the one before it resumes when it ends.
    class Capture {
      public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        std::vector<Report> reports() const;
        std::size_t count() const;
        void clear();

      private:
        friend class ReportSink;
        Capture* previous = nullptr;
        std::vector<Report> collected;
    };
};

}  // namespace platform
