#include "work/WorkerQueue.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(WorkerQueue, TakesMessagesOnlyWhileOpenAndHandsThemOnInOrder) {
    WorkerQueue queue;
    // Not yet open: refused, and the message is left to its sender.
    Message early(kMsgProcessBatch, 0, std::string("kept"));
    EXPECT_FALSE(queue.Push(early)) << "a push before Open";
    EXPECT_EQ(std::get<std::string>(early.payload), "kept") << "the refused message's payload";

    queue.Open();
    Message first(kMsgProcessBatch, 1);
    Message second(kMsgFlush, 2);
    EXPECT_TRUE(queue.Push(first)) << "a push once open";
    EXPECT_TRUE(queue.Push(second)) << "a second push";
    EXPECT_EQ(queue.Take().wparam, 1u) << "the first taken";
    EXPECT_EQ(queue.Take().wparam, 2u) << "the second taken";

    // Cleared: what was queued is gone, the queue still takes more.
    Message dropped(kMsgProcessBatch, 3);
    Message after(kMsgProcessBatch, 4);
    queue.Push(dropped);
    queue.Clear();
    EXPECT_TRUE(queue.Push(after)) << "a push after Clear";
    EXPECT_EQ(queue.Take().wparam, 4u) << "the one pushed after Clear";

    // Closed: refused; a replacement still goes in, alone.
    Message late(kMsgProcessBatch, 5);
    queue.Push(late);
    queue.Close();
    Message refused(kMsgProcessBatch, 6);
    EXPECT_FALSE(queue.Push(refused)) << "a push after Close";
    queue.ReplaceAllWith(Message(kMsgQuit));
    EXPECT_EQ(queue.Take().id, kMsgQuit) << "the replacement is all there is";
}

}  // namespace
}  // namespace vandrel
