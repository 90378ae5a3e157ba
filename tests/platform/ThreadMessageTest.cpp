#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "engine/platform/MessageQueue.h"
#include "engine/platform/Thread.h"

using platform::Message;
using platform::MessageQueue;

namespace {

struct Recorder : platform::MessageTarget {
    std::vector<uint32_t> seen;
    int64_t handleMessage(const Message& message) override {
        seen.push_back(message.id);
        return static_cast<int64_t>(message.wParam) * 2;
    }
};

TEST(MessageQueue, PostedMessagesArriveInOrderOnTheOwningThread) {
    platform::Thread worker;
    std::atomic<int> quitAfter{0};
    Recorder recorder;
    ASSERT_TRUE(worker.start([&] {
        Message message;
        int handled = 0;
        while (MessageQueue::wait(message, 2000)) {
            if (message.id == platform::messageUser + 100) break;
            EXPECT_EQ(MessageQueue::dispatch(message), static_cast<int64_t>(message.wParam) * 2);
            ++handled;
        }
        quitAfter = handled;
    }));
    // The queue exists as soon as start returns: nothing posted now is lost.
    for (uint32_t id = 1; id <= 3; ++id) {
        EXPECT_TRUE(MessageQueue::post(worker.id(), {id, id, 0, &recorder}));
    }
    EXPECT_TRUE(MessageQueue::post(worker.id(), {platform::messageUser + 100, 0, 0, nullptr}));
    worker.join();
    EXPECT_EQ(quitAfter.load(), 3);
    EXPECT_EQ(recorder.seen, (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_FALSE(worker.isRunning());
    // The thread has ended and its queue with it.
    EXPECT_FALSE(MessageQueue::post(worker.id(), {1, 0, 0, nullptr}));
}

TEST(MessageQueue, PeekTakesOneMessageAtATime) {
    MessageQueue::forCurrentThread();
    auto self = MessageQueue::currentThreadId();
    Message message;
    EXPECT_FALSE(MessageQueue::peek(message));
    MessageQueue::post(self, {7, 0, 0, nullptr});
    MessageQueue::post(self, {8, 0, 0, nullptr});
    ASSERT_TRUE(MessageQueue::peek(message));
    EXPECT_EQ(message.id, 7u);
    ASSERT_TRUE(MessageQueue::peek(message));
    EXPECT_EQ(message.id, 8u);
    EXPECT_FALSE(MessageQueue::peek(message));
    EXPECT_EQ(MessageQueue::dispatch(message), 0);
}

TEST(MessageQueue, WaitForPostWakesOnAMessageWithoutTakingIt) {
    platform::Thread sleeper;
    std::atomic<bool> woke{false};
    std::atomic<uint32_t> kept{0};
    ASSERT_TRUE(sleeper.start([&] {
        woke = MessageQueue::waitForPost(10000);
        Message message;
        if (MessageQueue::peek(message)) kept = message.id;
    }));
    MessageQueue::post(sleeper.id(), {42, 0, 0, nullptr});
    sleeper.join();
    EXPECT_TRUE(woke.load());
    EXPECT_EQ(kept.load(), 42u);
    EXPECT_FALSE(MessageQueue::waitForPost(1));
}

}  // namespace
