#include "work/WorkerQueue.h"

namespace vandrel {

void WorkerQueue::Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
}

bool WorkerQueue::Push(Message& message) {
    {
        std::lock_guard lock(mutex_);
        if (!open_) {
            return false;
        }
        messages_.push_back(std::move(message));
    }
    changed_.notify_one();
    return true;
}

Message WorkerQueue::Take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !messages_.empty(); });
    Message message = std::move(messages_.front());
    messages_.pop_front();
    return message;
}

void WorkerQueue::Clear() {
    std::deque<Message> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(messages_);
    }
}

void WorkerQueue::Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    messages_.clear();
}

void WorkerQueue::ReplaceAllWith(Message message) {
    {
        std::lock_guard lock(mutex_);
        messages_.clear();
        messages_.push_back(std::move(message));
    }
    changed_.notify_all();
}

}  // namespace vandrel
