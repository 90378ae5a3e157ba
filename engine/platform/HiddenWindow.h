#pragma once
#include <cstdint>
#include <string>

#include "engine/platform/Message.h"

namespace platform {

// Hidden message-only windows of registered classes. A window belongs to the thread that
// created it: messages posted to it go into that thread's queue and its class's procedure runs
// when that thread dispatches them. Handles are never reused, so a message for a destroyed
// window can be recognised and dropped.
class HiddenWindow {
  public:
    using Procedure = int64_t (*)(uint32_t window, uint32_t message, uint64_t wParam,
                                  int64_t lParam);

    // False when a class of that name is already registered or the procedure is missing.
    static bool registerClass(const std::string& className, Procedure procedure);

    // False when no such class is registered or a window of it still exists.
    static bool unregisterClass(const std::string& className);

    // A window of a registered class owned by the calling thread, which gets a message queue
    // if it has none; 0 when the class is not registered.
    static uint32_t create(const std::string& className);

    // False when the window does not exist or belongs to another thread.
    static bool destroy(uint32_t window);

    // Queues the message for the window on its owner's queue; false when the window is gone.
    static bool post(uint32_t window, uint32_t id, uint64_t wParam, int64_t lParam);

    // Runs the procedure of the message's window; 0 when that window no longer exists.
    static int64_t dispatch(const Message& message);
};

}  // namespace platform
