#include "work/ThreadBase.h"

namespace vandrel {

namespace {
constexpr std::chrono::milliseconds kStartWait{1000};
constexpr std::chrono::milliseconds kRetryWait{1000};
constexpr std::chrono::milliseconds kInterruptWait{1000};
constexpr std::chrono::milliseconds kFlushPoll{10};
}  // namespace

CThreadBase::CThreadBase(std::chrono::milliseconds stop_timeout) : stop_timeout_(stop_timeout) {}

CThreadBase::~CThreadBase() {
    if (thread_.joinable()) {
        // An owner that did not stop the worker: end it now. A worker that
        // is stuck in a read is waited for, since it still uses this object.
        run_gate_.Set();
        interrupt_event.Set();
        {
            std::lock_guard lock(queue_mutex_);
            queue_.clear();
            queue_.emplace_back(kMsgQuit);
        }
        queue_changed_.notify_all();
        thread_.join();
    }
}

void CThreadBase::SleepBriefly() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void CThreadBase::SetTarget(std::shared_ptr<MessageTarget> target) {
    std::lock_guard lock(target_mutex_);
    target_ = std::move(target);
}

void CThreadBase::SetNotifier(std::shared_ptr<UserNotifier> notifier) {
    notifier_ = std::move(notifier);
}

void CThreadBase::PostToTarget(Message message) {
    std::shared_ptr<MessageTarget> target;
    {
        std::lock_guard lock(target_mutex_);
        target = target_;
    }
    if (target) {
        target->Post(std::move(message));
    }
}

void CThreadBase::Start() {
    if (thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(queue_mutex_);
        accepting_ = true;
    }
    running_ = true;
    thread_ = std::thread(&CThreadBase::ThreadMain, this);
    started_event.WaitFor(kStartWait);
}

bool CThreadBase::Enqueue(Message& message) {
    {
        std::lock_guard lock(queue_mutex_);
        if (!accepting_) {
            return false;
        }
        queue_.push_back(std::move(message));
    }
    queue_changed_.notify_one();
    return true;
}

bool CThreadBase::Post(Message message) {
    if (Enqueue(message)) {
        return true;
    }
    std::this_thread::sleep_for(kRetryWait);
    return Enqueue(message);
}

void CThreadBase::ClearQueue() {
    std::deque<Message> dropped;
    {
        std::lock_guard lock(queue_mutex_);
        dropped.swap(queue_);
    }
    // Whatever the dropped messages carried is freed here, outside the lock.
}

void CThreadBase::Flush() {
    flush_event.Set();
    if (!Post(Message(kMsgFlush))) {
        flush_event.Reset();  // no worker to wait for
        return;
    }
    while (flush_event.IsSet()) {
        std::this_thread::sleep_for(kFlushPoll);
    }
}

void CThreadBase::Interrupt() {
    if (idle_event.IsSet()) {
        return;
    }
    // Interrupted before it is let go, so a paused worker does not finish
    // the file in hand first.
    interrupt_event.Set();
    if (suspended_) {
        Resume();
    }
    Flush();
    if (!idle_event.WaitFor(kInterruptWait) && notifier_) {
        notifier_->ShowMessage(kThreadTooBusyMessage, "");
    }
}

void CThreadBase::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    if (ended_event.IsSet()) {
        Resume();
        thread_.join();  // it ended already
        return;
    }
    // Waiting for a long batch to run to its end would outlast the time-out;
    // a paused worker is interrupted before it is let go.
    interrupt_event.Set();
    if (suspended_) {
        Resume();
    }
    ClearQueue();
    Post(Message(kMsgQuit));
    if (!ended_event.WaitFor(stop_timeout_)) {
        throw ThreadBlocked();
    }
    thread_.join();
}

void CThreadBase::Pause() {
    suspended_ = true;
    run_gate_.Reset();
}

void CThreadBase::Resume() {
    suspended_ = false;
    run_gate_.Set();
}

void CThreadBase::ThreadMain() {
    started_event.Set();
    bool quit = false;
    while (!quit) {
        Message message;
        {
            std::unique_lock lock(queue_mutex_);
            queue_changed_.wait(lock, [this] { return !queue_.empty(); });
            message = std::move(queue_.front());
            queue_.pop_front();
        }
        switch (message.id) {
        case kMsgProcessBatch:
            idle_event.Reset();
            Dispatch(message);
            idle_event.Set();
            break;
        case kMsgQuit:
            ClearQueue();
            flush_event.Reset();
            quit = true;
            break;
        case kMsgFlush:
            ClearQueue();
            flush_event.Reset();
            break;
        default:
            break;
        }
        if (flush_event.IsSet()) {
            ClearQueue();
            flush_event.Reset();
        }
        interrupt_event.Reset();
    }
    {
        std::lock_guard lock(queue_mutex_);
        accepting_ = false;
        queue_.clear();
    }
    running_ = false;
    ended_event.Set();
}

}  // namespace vandrel
