#pragma once

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "work/Event.h"
#include "work/Messages.h"
#include "work/PauseGate.h"
#include "work/TargetSlot.h"
#include "work/WorkerQueue.h"

namespace vandrel {

// Raised by Stop when the worker does not end in time.
class ThreadBlocked : public std::runtime_error {
public:
    ThreadBlocked() : std::runtime_error("Thread blocked....") {}
};

inline constexpr const char* kThreadTooBusyMessage =
    "Thread is a bit _too_ busy...Please report this...";

// A worker thread driven by a message queue. Its owner (on the user-interface
// thread) starts it, posts batches to it, and can interrupt, flush, pause and
// stop it; the worker reports to `target`.
class CThreadBase {
public:
    explicit CThreadBase(std::chrono::milliseconds stop_timeout);
    virtual ~CThreadBase();
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;

    // Starts the thread and waits up to one second for its queue.
    void Start();
    // Queues a message for the worker; when that fails, tries once more a
    // second later. False when both failed (the worker is not running).
    bool Post(Message message);
    // Drops every queued message and waits, without limit, until the worker
    // has reached its queue.
    void Flush();
    // Makes the worker abandon its batch (a running scan stops at its next
    // progress call) and drops the queue; waits up to a second for it to be
    // idle, and says so through the notifier when it is not.
    void Interrupt();
    // Ends the thread: the batch in hand is abandoned at its next file or
    // scan progress call and nothing queued is started. Throws ThreadBlocked
    // when the thread does not end within the stop time-out (a read that
    // hangs); the destructor then waits for it.
    void Stop();
    // Holds the worker between items and at every scan progress call.
    void Pause() { pause_.Pause(); }
    void Resume() { pause_.Resume(); }
    bool suspended() const { return pause_.paused(); }

    void SetTarget(std::shared_ptr<MessageTarget> target) { target_.Set(std::move(target)); }
    void SetNotifier(std::shared_ptr<UserNotifier> notifier);

    ManualResetEvent interrupt_event{false};
    ManualResetEvent flush_event{false};
    ManualResetEvent idle_event{true};
    ManualResetEvent ended_event{false};
    ManualResetEvent started_event{false};

protected:
    // Handles one message of the queue (a batch); quit and flush are handled
    // by the loop itself.
    virtual void Dispatch(Message& message) = 0;
    // Sends a message to the target window, when there is one.
    void PostToTarget(Message message) { target_.Post(std::move(message)); }
    // Blocks while the owner has paused the worker.
    void WaitWhilePaused() { pause_.WaitWhilePaused(); }

private:
    void ThreadMain();

    std::chrono::milliseconds stop_timeout_;
    std::thread thread_;
    PauseGate pause_;
    WorkerQueue queue_;
    TargetSlot target_;
    std::shared_ptr<UserNotifier> notifier_;  // the owner's thread only
};

// The worker of type T: the queue loop hands batches to T::OnProcessMulti.
template <typename T> class CThread : public CThreadBase {
public:
    using CThreadBase::CThreadBase;

protected:
    void Dispatch(Message& message) override {
        if (message.id == kMsgProcessBatch) {
            auto* batch = std::get_if<ListJobBatch>(&message.payload);
            static_cast<T*>(this)->OnProcessMulti(
                message.wparam, batch != nullptr ? std::move(*batch) : ListJobBatch{});
        }
    }
};

}  // namespace vandrel
