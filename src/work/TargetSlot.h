#pragma once

#include <memory>
#include <mutex>

#include "work/Messages.h"

namespace vandrel {

// The window a worker reports to, which its owner may change while the worker
// posts: a message goes to the target set at the time, or nowhere. Any thread.
class TargetSlot {
public:
    void Set(std::shared_ptr<MessageTarget> target) {
        std::lock_guard lock(mutex_);
        target_ = std::move(target);
    }
    // Posts outside the lock, so a slow target does not hold up Set.
    void Post(Message message) {
        std::shared_ptr<MessageTarget> target;
        {
            std::lock_guard lock(mutex_);
            target = target_;
        }
        if (target) {
            target->Post(std::move(message));
        }
    }

private:
    std::mutex mutex_;
    std::shared_ptr<MessageTarget> target_;  // guarded by mutex_
};

}  // namespace vandrel
