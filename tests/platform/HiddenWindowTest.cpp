#include <gtest/gtest.h>

#include "engine/platform/HiddenWindow.h"
#include "engine/platform/MessageQueue.h"
#include "engine/platform/Thread.h"

using platform::HiddenWindow;
using platform::Message;
using platform::MessageQueue;

namespace {

int procedureCalls = 0;

int64_t countCalls(uint32_t, uint32_t message, uint64_t wParam, int64_t) {
    ++procedureCalls;
    return message + static_cast<int64_t>(wParam);
}

TEST(HiddenWindow, PostedMessagesRunTheClassProcedureWhenDispatched) {
    procedureCalls = 0;
    ASSERT_TRUE(HiddenWindow::registerClass("hiddenTest", countCalls));
    EXPECT_FALSE(HiddenWindow::registerClass("hiddenTest", countCalls));
    EXPECT_EQ(HiddenWindow::create("noSuchClass"), 0u);
    uint32_t window = HiddenWindow::create("hiddenTest");
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(HiddenWindow::post(window, 0x500, 2, 0));
    Message message;
    ASSERT_TRUE(MessageQueue::peek(message));
    EXPECT_EQ(message.window, window);
    EXPECT_EQ(MessageQueue::dispatch(message), 0x502);
    EXPECT_EQ(procedureCalls, 1);
    EXPECT_TRUE(HiddenWindow::destroy(window));
    EXPECT_TRUE(HiddenWindow::unregisterClass("hiddenTest"));
}

TEST(HiddenWindow, MessagesForADestroyedWindowAreDropped) {
    procedureCalls = 0;
    ASSERT_TRUE(HiddenWindow::registerClass("hiddenTest", countCalls));
    uint32_t window = HiddenWindow::create("hiddenTest");
    ASSERT_TRUE(HiddenWindow::post(window, 0x500, 0, 0));
    EXPECT_TRUE(HiddenWindow::destroy(window));
    EXPECT_FALSE(HiddenWindow::destroy(window));
    EXPECT_FALSE(HiddenWindow::post(window, 0x500, 0, 0));
    // Queued before the window went: dispatched to nobody.
    Message message;
    ASSERT_TRUE(MessageQueue::peek(message));
    EXPECT_EQ(MessageQueue::dispatch(message), 0);
    EXPECT_EQ(procedureCalls, 0);
    // A new window of the class never takes over the old handle.
    uint32_t next = HiddenWindow::create("hiddenTest");
    EXPECT_NE(next, window);
    EXPECT_TRUE(HiddenWindow::destroy(next));
    EXPECT_TRUE(HiddenWindow::unregisterClass("hiddenTest"));
}

TEST(HiddenWindow, AClassWithLiveWindowsStaysRegistered) {
    ASSERT_TRUE(HiddenWindow::registerClass("hiddenTest", countCalls));
    uint32_t first = HiddenWindow::create("hiddenTest");
    EXPECT_FALSE(HiddenWindow::unregisterClass("hiddenTest"));
    uint32_t second = HiddenWindow::create("hiddenTest");
    EXPECT_NE(second, 0u) << "still registered";
    EXPECT_TRUE(HiddenWindow::destroy(first));
    EXPECT_FALSE(HiddenWindow::unregisterClass("hiddenTest"));
    EXPECT_TRUE(HiddenWindow::destroy(second));
    EXPECT_TRUE(HiddenWindow::unregisterClass("hiddenTest"));
    EXPECT_EQ(HiddenWindow::create("hiddenTest"), 0u);
}

TEST(HiddenWindow, OnlyTheOwningThreadDestroysAWindow) {
    ASSERT_TRUE(HiddenWindow::registerClass("hiddenOwner", countCalls));
    uint32_t window = HiddenWindow::create("hiddenOwner");
    bool destroyedElsewhere = true;
    platform::Thread other;
    ASSERT_TRUE(other.start([&] { destroyedElsewhere = HiddenWindow::destroy(window); }));
    other.join();
    EXPECT_FALSE(destroyedElsewhere);
    EXPECT_TRUE(HiddenWindow::destroy(window));
    EXPECT_TRUE(HiddenWindow::unregisterClass("hiddenOwner"));
}

}  // namespace
