#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "engine/platform/Message.h"

namespace platform {

// Per-thread message queues. A thread's queue exists from its first call to `forCurrentThread`
// (or `peek`, `wait`) until the thread ends; posting to a thread without a queue fails.
class MessageQueue {
  public:
    static uint32_t currentThreadId();

    // Creates the calling thread's queue if it has none.
    static MessageQueue& forCurrentThread();

    // Appends to the queue of thread `threadId`; false when that thread has no queue.
    static bool post(uint32_t threadId, const Message& message);

    // Takes the oldest message of the calling thread's queue, if any.
    static bool peek(Message& out);

    // Like peek, but waits up to `milliseconds` of real time for a message to arrive.
    static bool wait(Message& out, uint32_t milliseconds);

    // Waits up to `milliseconds` of real time until the calling thread's queue holds a
    // message, without taking it; true when one is there.
    static bool waitForPost(uint32_t milliseconds);

    // Hands a message to its hidden window's procedure or its target's handler; thread messages
    // have neither and return 0.
    static int64_t dispatch(const Message& message);

    MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

  private:
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Message> messages;
};

}  // namespace platform
