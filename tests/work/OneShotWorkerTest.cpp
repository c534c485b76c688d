#include "work/OneShotWorker.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "support/Inbox.h"

namespace vandrel {
namespace {

// A run that waits for its cancel, then says how its channel answered.
WorkResult RunUntilCancelled(WorkChannel& channel, ManualResetEvent& started) {
    started.Set();
    while (!channel.StopRequested()) {
        std::this_thread::yield();
    }
    const bool went_on = channel.Progress(1, 2);
    return {WorkOutcome::kStopped, std::string(went_on ? "went on" : "stopped")};
}

TEST(OneShotWorker, PostsPercentsOnceEachTheRunsTextsAndLastItsOutcome) {
    const auto inbox = std::make_shared<test::Inbox>();
    COneShotWorker worker;
    worker.Start(inbox, [](WorkChannel& channel) {
        channel.Percent(-5);         // held to 0
        channel.Percent(0);          // the same again: not posted
        channel.Progress(1, 4);      // 25
        channel.Progress(250, 100);  // held to 100
        channel.Progress(0, 0);      // nothing to do counts as all done: 100 again
        channel.Status("status");
        channel.Notice(NoticeKind::kInformation, "note");
        return WorkResult{WorkOutcome::kDone, std::string("made")};
    });
    worker.done_event.Wait();
    const std::vector<Message> messages = inbox->Take();
    ASSERT_EQ(messages.size(), 6u) << "messages posted";
    EXPECT_EQ(messages[0].wparam, 0u) << "a negative percent";
    EXPECT_EQ(messages[1].wparam, 25u) << "the share of the bytes";
    EXPECT_EQ(messages[2].wparam, 100u) << "a share over all";
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(messages[i].id, kMsgProgress) << "message " << i << " is progress";
    }
    EXPECT_EQ(messages[3].id, kMsgStatusText) << "the status";
    EXPECT_EQ(std::get<std::string>(messages[3].payload), "status") << "the status text";
    EXPECT_EQ(messages[4].id, kMsgNotice) << "the notice";
    EXPECT_EQ(static_cast<NoticeKind>(messages[4].wparam), NoticeKind::kInformation)
        << "the notice's kind";
    EXPECT_EQ(messages[5].id, kMsgWorkDone) << "the end comes last";
    EXPECT_EQ(OutcomeOf(messages[5]), WorkOutcome::kDone) << "the outcome";
    EXPECT_EQ(std::get<std::string>(messages[5].payload), "made") << "what the run made";
}

TEST(OneShotWorker, ACancelledRunHearsStopAndAThrowingRunEndsAsFailed) {
    const auto inbox = std::make_shared<test::Inbox>();
    COneShotWorker worker;
    // Cancelled: the channel says stop and posts no progress after it.
    ManualResetEvent started;
    worker.Start(inbox,
                 [&started](WorkChannel& channel) { return RunUntilCancelled(channel, started); });
    started.Wait();
    worker.Cancel();
    worker.done_event.Wait();
    std::vector<Message> messages = inbox->Take();
    ASSERT_EQ(messages.size(), 1u) << "only the end after the cancel";
    EXPECT_EQ(OutcomeOf(messages[0]), WorkOutcome::kStopped) << "the cancelled run's outcome";
    EXPECT_EQ(std::get<std::string>(messages[0].payload), "stopped") << "what progress answered";

    // Throwing: the run ends as failed, with nothing made.
    worker.Start(inbox, [](WorkChannel&) -> WorkResult { throw std::runtime_error("no memory"); });
    worker.done_event.Wait();
    messages = inbox->Take();
    ASSERT_EQ(messages.size(), 1u) << "only the end of the throwing run";
    EXPECT_EQ(messages[0].id, kMsgWorkDone) << "the throwing run's end";
    EXPECT_EQ(OutcomeOf(messages[0]), WorkOutcome::kFailed) << "the throwing run's outcome";
    EXPECT_TRUE(std::holds_alternative<std::monostate>(messages[0].payload))
        << "the throwing run's payload";
}

TEST(OneShotWorker, StartingAgainEndsTheEarlierRunFirst) {
    const auto inbox = std::make_shared<test::Inbox>();
    COneShotWorker worker;
    ManualResetEvent started;
    worker.Start(inbox,
                 [&started](WorkChannel& channel) { return RunUntilCancelled(channel, started); });
    started.Wait();
    worker.Start(inbox, [](WorkChannel& channel) {
        channel.Status("second");
        return WorkResult{};
    });
    worker.done_event.Wait();
    const std::vector<Message> messages = inbox->Take();
    ASSERT_EQ(messages.size(), 3u) << "the first run's end, then the second run";
    EXPECT_EQ(OutcomeOf(messages[0]), WorkOutcome::kStopped) << "the first run was stopped";
    EXPECT_EQ(messages[1].id, kMsgStatusText) << "the second run started after it";
    EXPECT_EQ(OutcomeOf(messages[2]), WorkOutcome::kDone) << "the second run's outcome";
}

}  // namespace
}  // namespace vandrel
