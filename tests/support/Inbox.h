#pragma once

#include <mutex>
#include <vector>

#include "work/Messages.h"

namespace vandrel::test {

// Collects what a worker posts, for the test to take once the worker is done.
class Inbox : public MessageTarget {
public:
    void Post(Message message) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(std::move(message));
    }
    std::vector<Message> Take() {
        std::lock_guard lock(mutex_);
        return std::move(messages_);
    }

private:
    std::mutex mutex_;
    std::vector<Message> messages_;  // guarded by mutex_
};

}  // namespace vandrel::test
