#include "engine/platform/MessageQueue.h"

#include <atomic>
#include <chrono>
#include <map>

#include "engine/platform/HiddenWindow.h"

namespace platform {
namespace {

std::mutex registryMutex;
std::map<uint32_t, std::shared_ptr<MessageQueue>> registry;
std::atomic<uint32_t> nextThreadId{1};

// Removes the thread's queue from the registry when the thread ends.
struct QueueOwner {
    uint32_t id = nextThreadId++;
    std::shared_ptr<MessageQueue> queue;
    ~QueueOwner() {
        if (!queue) return;
        std::lock_guard lock(registryMutex);
        registry.erase(id);
    }
};

thread_local QueueOwner owner;

}  // namespace

uint32_t MessageQueue::currentThreadId() {
    return owner.id;
}

MessageQueue& MessageQueue::forCurrentThread() {
    if (!owner.queue) {
        owner.queue = std::make_shared<MessageQueue>();
        std::lock_guard lock(registryMutex);
        registry[owner.id] = owner.queue;
    }
    return *owner.queue;
}

bool MessageQueue::post(uint32_t threadId, const Message& message) {
    std::shared_ptr<MessageQueue> queue;
    {
        std::lock_guard lock(registryMutex);
        auto found = registry.find(threadId);
        if (found == registry.end()) return false;
        queue = found->second;
    }
    {
        std::lock_guard lock(queue->mutex);
        queue->messages.push_back(message);
    }
    queue->arrived.notify_all();
    return true;
}

bool MessageQueue::peek(Message& out) {
    return wait(out, 0);
}

bool MessageQueue::wait(Message& out, uint32_t milliseconds) {
    auto& queue = forCurrentThread();
    std::unique_lock lock(queue.mutex);
    if (milliseconds > 0) {
        queue.arrived.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [&] { return !queue.messages.empty(); });
    }
    if (queue.messages.empty()) return false;
    out = queue.messages.front();
    queue.messages.pop_front();
    return true;
}

bool MessageQueue::waitForPost(uint32_t milliseconds) {
    auto& queue = forCurrentThread();
    std::unique_lock lock(queue.mutex);
    return queue.arrived.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [&] { return !queue.messages.empty(); });
}

int64_t MessageQueue::dispatch(const Message& message) {
    if (message.window != 0) return HiddenWindow::dispatch(message);
    return message.target ? message.target->handleMessage(message) : 0;
}

}  // namespace platform
