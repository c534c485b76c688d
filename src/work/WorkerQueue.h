#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "work/Messages.h"

namespace vandrel {

// The messages an owner sends its worker thread, in the order sent. The queue
// takes messages only while it is open; the worker waits in Take for the next.
// Any thread.
class WorkerQueue {
public:
    // From now on Push takes messages.
    void Open();
    // Queues `message` (moved from only then); false when the queue is closed.
    bool Push(Message& message);
    // Waits, without limit, for a message and takes the first.
    Message Take();
    // Drops every queued message; what they carried is freed outside the lock.
    void Clear();
    // Takes no more messages and drops those queued.
    void Close();
    // Drops every queued message and queues `message` alone, open or not.
    void ReplaceAllWith(Message message);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Message> messages_;  // guarded by mutex_
    bool open_ = false;             // guarded by mutex_
};

}  // namespace vandrel
