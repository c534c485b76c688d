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
        pause_.Resume();
        interrupt_event.Set();
        queue_.ReplaceAllWith(Message(kMsgQuit));
        thread_.join();
    }
}

void CThreadBase::SetNotifier(std::shared_ptr<UserNotifier> notifier) {
    notifier_ = std::move(notifier);
}

void CThreadBase::Start() {
    if (thread_.joinable()) {
        return;
    }
    queue_.Open();
    thread_ = std::thread(&CThreadBase::ThreadMain, this);
    started_event.WaitFor(kStartWait);
}

bool CThreadBase::Post(Message message) {
    if (queue_.Push(message)) {
        return true;
    }
    std::this_thread::sleep_for(kRetryWait);
    return queue_.Push(message);
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
    if (suspended()) {
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
    if (suspended()) {
        Resume();
    }
    queue_.Clear();
    Post(Message(kMsgQuit));
    if (!ended_event.WaitFor(stop_timeout_)) {
        throw ThreadBlocked();
    }
    thread_.join();
}

void CThreadBase::ThreadMain() {
    started_event.Set();
    bool quit = false;
    while (!quit) {
        Message message = queue_.Take();
        switch (message.id) {
        case kMsgProcessBatch:
            idle_event.Reset();
            Dispatch(message);
            idle_event.Set();
            break;
        case kMsgQuit:
            queue_.Clear();
            flush_event.Reset();
            quit = true;
            break;
        case kMsgFlush:
            queue_.Clear();
            flush_event.Reset();
            break;
        default:
            break;
        }
        if (flush_event.IsSet()) {
            queue_.Clear();
            flush_event.Reset();
        }
        interrupt_event.Reset();
    }
    queue_.Close();
    ended_event.Set();
}

}  // namespace vandrel
