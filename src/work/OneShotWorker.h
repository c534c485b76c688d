#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "engine/core/Sink.h"
#include "work/Event.h"
#include "work/Messages.h"

namespace vandrel {

// What a tool's run gives back at its end: how it ended, and what it made.
struct WorkResult {
    WorkOutcome outcome = WorkOutcome::kDone;
    Payload payload;
};

// The run's side of the channel to its dialog, on the worker's thread. As a
// sink_mini it turns byte progress into percents and says stop once the run
// is cancelled.
class WorkChannel : public sink_mini {
public:
    WorkChannel(std::stop_token stop, MessageTarget& target)
        : stop_(std::move(stop)), target_(target) {}

    bool StopRequested() const { return stop_.stop_requested(); }
    // For work that stops on a callback or a flag of its own.
    const std::stop_token& StopToken() const { return stop_; }
    // kMsgProgress with the percent, held to 0 to 100; a value equal to the
    // last one posted is not posted again.
    void Percent(int64_t percent);
    // The share of `total` that `done` is, as Percent posts it (all of it for
    // an empty total); false once the run is cancelled, which posts nothing.
    bool Progress(int64_t done, int64_t total) override;
    // kMsgStatusText with the text.
    void Status(std::string text);
    // kMsgNotice: a text for a message box of that kind.
    void Notice(NoticeKind kind, std::string text);

private:
    std::stop_token stop_;
    MessageTarget& target_;
    int64_t last_percent_ = -1;
};

// The last message of a run: kMsgWorkDone with the outcome and what it made.
Message WorkDoneMessage(WorkResult result);
// The outcome of a kMsgWorkDone message.
WorkOutcome OutcomeOf(const Message& message);

// One run of a tool's work on a thread of its own: the export, the join and
// the tag viewer's check build on it. The run talks to `target` through its
// channel, and kMsgWorkDone (wparam: WorkOutcome, payload: what it made) is
// always the last thing it posts; done_event is set after that. A run that
// throws ends as failed. Not copyable; the destructor stops the run and waits.
class COneShotWorker {
public:
    using Work = std::function<WorkResult(WorkChannel& channel)>;

    COneShotWorker() = default;
    ~COneShotWorker();
    COneShotWorker(const COneShotWorker&) = delete;
    COneShotWorker& operator=(const COneShotWorker&) = delete;

    // Starts `work`; an earlier run is stopped and waited for first, so that
    // its end does not look like this one's.
    void Start(std::shared_ptr<MessageTarget> target, Work work);
    // Asks the run to stop (its channel says so from now on); does not wait.
    void Cancel();
    // Cancels and waits for the thread.
    void Stop();

    // Set when the thread has nothing left to do.
    ManualResetEvent done_event{false};

private:
    void Run(const std::stop_token& stop, MessageTarget& target, const Work& work);

    std::jthread thread_;  // last: joined before anything it uses goes
};

}  // namespace vandrel
