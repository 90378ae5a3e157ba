#pragma once
#include <cstdint>

namespace saverlib {

// A modal dialog as the program's dialog procedure sees it: it runs until the procedure ends it.
class Dialog {
  public:
    void end(int64_t value) {
        result = value;
        ended = true;
    }
    bool hasEnded() const { return ended; }
    int64_t endResult() const { return result; }

  private:
    bool ended = false;
    int64_t result = 0;
};

}  // namespace saverlib

namespace platform {
class Module;
}

// Shows the about box of `instance` (the configuration mode) until the program's procedure
// closes it: a message box on a desktop, the text on standard output without one. Returns the
// exit status.
int showAboutBox(const platform::Module& instance);
