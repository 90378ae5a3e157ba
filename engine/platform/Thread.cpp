#include "engine/platform/Thread.h"

#include <future>
#include <system_error>

#include "engine/platform/MessageQueue.h"

namespace platform {

bool Thread::start(std::function<void()> body) {
    if (isRunning()) return false;
    join();
    auto flag = std::make_shared<std::atomic<bool>>(true);
    std::promise<uint32_t> started;
    auto startedId = started.get_future();
    try {
        thread = std::thread([body = std::move(body), flag, &started] {
            MessageQueue::forCurrentThread();
            started.set_value(MessageQueue::currentThreadId());
            body();
            flag->store(false);
        });
    } catch (const std::system_error&) {
        return false;
    }
    threadId = startedId.get();
    running = flag;
    return true;
}

void Thread::join() {
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
}

}  // namespace platform
