#include "work/OneShotWorker.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "store/Log.h"

namespace vandrel {

namespace {
constexpr int64_t kPercent = 100;
}  // namespace

void WorkChannel::Percent(int64_t percent) {
    percent = std::clamp<int64_t>(percent, 0, kPercent);
    // Many steps share a percent; the dialog hears each value once.
    if (percent == last_percent_) {
        return;
    }
    last_percent_ = percent;
    target_.Post(Message(kMsgProgress, static_cast<uint64_t>(percent)));
}

bool WorkChannel::Progress(int64_t done, int64_t total) {
    if (StopRequested()) {
        return false;
    }
    Percent(total > 0 ? done * kPercent / total : kPercent);
    return true;
}

void WorkChannel::Status(std::string text) {
    target_.Post(Message(kMsgStatusText, 0, std::move(text)));
}

void WorkChannel::Notice(NoticeKind kind, std::string text) {
    target_.Post(Message(kMsgNotice, static_cast<uint64_t>(kind), std::move(text)));
}

Message WorkDoneMessage(WorkResult result) {
    return Message(kMsgWorkDone, static_cast<uint64_t>(result.outcome), std::move(result.payload));
}

WorkOutcome OutcomeOf(const Message& message) {
    return static_cast<WorkOutcome>(message.wparam);
}

COneShotWorker::~COneShotWorker() {
    Stop();
}

void COneShotWorker::Start(std::shared_ptr<MessageTarget> target, Work work) {
    Stop();
    auto shared_work = std::make_shared<const Work>(std::move(work));
    done_event.Reset();
    thread_ = std::jthread([this, target = std::move(target), shared_work](
                               const std::stop_token& stop) { Run(stop, *target, *shared_work); });
}

void COneShotWorker::Cancel() {
    thread_.request_stop();
}

void COneShotWorker::Stop() {
    Cancel();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void COneShotWorker::Run(const std::stop_token& stop, MessageTarget& target, const Work& work) {
    WorkChannel channel(stop, target);
    WorkResult result;
    try {
        result = work(channel);
    } catch (const std::exception& e) {
        // The work catches what it can tell the user about; anything else
        // (out of memory, say) still ends the run rather than the program.
        Log([&] { return std::string("COneShotWorker: ") + e.what(); });
        result = {WorkOutcome::kFailed, {}};
    }
    target.Post(WorkDoneMessage(std::move(result)));
    done_event.Set();
}

}  // namespace vandrel
