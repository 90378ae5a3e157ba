#pragma once
#include <cstdint>

namespace platform {

class MessageTarget;

// A message on a thread's queue: what the platform's thread and window messages carry.
struct Message {
    uint32_t id = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
    MessageTarget* target = nullptr;  // handled by this object's dispatch; null for thread messages
    uint32_t window = 0;              // a hidden window whose procedure handles it; 0 for none
};

// Something that receives dispatched messages on the thread that owns it.
class MessageTarget {
  public:
    virtual int64_t handleMessage(const Message& message) = 0;

  protected:
    ~MessageTarget() = default;
};

constexpr uint32_t messageUser = 0x0400;

}  // namespace platform
