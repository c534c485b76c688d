#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>

#include "engine/core/RecordCache.h"
#include "engine/media/MediaFileRegistry.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "work/DetailsThread.h"
#include "work/ListThread.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

// Collects what workers post; a hook may hold the poster for a while.
class RecordingTarget : public MessageTarget {
public:
    void Post(Message message) override {
        if (hook) {
            hook(message);
        }
        std::lock_guard lock(mutex_);
        messages_.push_back(std::move(message));
        changed_.notify_all();
    }

    // Waits until `done` holds for the messages so far (at most 10 s).
    bool WaitFor(const std::function<bool(const std::vector<Message>&)>& done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return done(messages_); });
    }
    std::vector<Message> Take() {
        std::lock_guard lock(mutex_);
        return std::move(messages_);
    }

    std::function<void(const Message&)> hook;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Message> messages_;
};

size_t Count(const std::vector<Message>& messages, uint32_t id) {
    return static_cast<size_t>(std::count_if(messages.begin(), messages.end(),
                                             [id](const Message& m) { return m.id == id; }));
}

class RecordingNotifier : public UserNotifier {
public:
    void ShowMessage(const std::string& text, const std::string&) override {
        std::lock_guard lock(mutex);
        texts.push_back(text);
    }
    std::mutex mutex;
    std::vector<std::string> texts;
};

class CountingCache : public RecordCache {
public:
    bool Lookup(std::string_view, const RecordFileStatus&, ScanRecord&, int) override {
        return false;
    }
    void Store(const ScanRecord&) override { ++stores; }
    std::atomic<int> stores{0};
};

struct Settings : ListWorkerSettings {
    bool ReadAllUnknown() const override { return read_all_unknown; }
    bool MonoQuality() const override { return false; }
    bool read_all_unknown = true;
};

// A worker fixture: files in a temporary folder, a recording target, a cache.
class ListWorker : public ::testing::Test {
protected:
    void SetUp() override {
        worker_.SetTarget(target_);
        worker_.SetNotifier(notifier_);
        worker_.Start();
    }
    void TearDown() override {
        target_->hook = nullptr;
        worker_.Stop();
    }

    ItemRef MakeItem(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::WriteFile(dir_.File(name), bytes);
        auto item = std::make_shared<_LVItemData>();
        item->path = dir_.File(name);
        item->display_name = name;
        return item;
    }
    void Send(ItemBatch batch, int frames = 0, uint8_t tag = 1, bool headers_only = false) {
        worker_.Post(Message(kMsgProcessBatch, CListThread::BatchParam(frames, tag, headers_only),
                             std::move(batch)));
    }
    bool WaitForDone(size_t n) {
        return target_->WaitFor(
            [n](const std::vector<Message>& m) { return Count(m, kMsgItemDone) >= n; });
    }
    // Holds the worker in its post of `status` until released_ is set.
    void HoldAt(const std::string& status) {
        held_.Reset();
        released_.Reset();
        target_->hook = [this, status](const Message& m) {
            const auto* text = std::get_if<std::string>(&m.payload);
            if (text != nullptr && *text == status) {
                held_.Set();
                released_.Wait();
            }
        };
    }
    // Makes the owner's `call` from another thread, as the window does, and
    // releases the held worker once the call has raised `event`.
    void CallWhileHeld(const std::function<void()>& call, const ManualResetEvent& event) {
        std::thread owner(call);
        while (!event.IsSet()) {
            std::this_thread::sleep_for(1ms);
        }
        released_.Set();
        owner.join();
        target_->hook = nullptr;
    }

    test::TempDir dir_;
    const MediaFileTypesScope media_types_;
    CountingCache cache_;
    const AnalysisCacheScope cache_scope_{&cache_};
    ManualResetEvent held_;
    ManualResetEvent released_;  // both outlive the worker that waits on them
    Settings settings_;
    CListThread worker_{settings_};
    std::shared_ptr<RecordingTarget> target_ = std::make_shared<RecordingTarget>();
    std::shared_ptr<RecordingNotifier> notifier_ = std::make_shared<RecordingNotifier>();
};

TEST_F(ListWorker, PostsEachItemWithTheBatchTagAndMarksTheLast) {
    ItemBatch batch = {MakeItem("a.mp3", test::MakeFrames({}, 50)),
                       MakeItem("b.mp3", test::MakeFrames({}, 60)),
                       MakeItem("c.mp3", test::MakeFrames({}, 70))};
    Send(batch, 0, 0xAB);
    ASSERT_TRUE(WaitForDone(3));
    std::vector<uint64_t> wparams;
    std::vector<std::string> statuses;
    for (const Message& m : target_->Take()) {
        if (m.id == kMsgItemDone) {
            wparams.push_back(m.wparam);
            EXPECT_EQ(std::get<ItemRef>(m.payload), batch[wparams.size() - 1]);
        } else if (m.id == kMsgStatusText) {
            statuses.push_back(std::get<std::string>(m.payload));
        }
    }
    EXPECT_EQ(wparams, (std::vector<uint64_t>{0xAB0000, 0xAB0000, 0xAB0001}));
    EXPECT_EQ(statuses, (std::vector<std::string>{"Processing: a.mp3", "", "Processing: b.mp3", "",
                                                  "Processing: c.mp3", ""}));
    EXPECT_EQ(std::tie(batch[1]->record.frames, batch[1]->record.quality_class,
                       batch[1]->texts[kSlotName], batch[1]->texts[kSlotFrames]),
              std::make_tuple(60, int32_t{kQualityOk}, std::string("b.mp3"), std::string("60")));
    EXPECT_EQ(cache_.stores, 3);
}

TEST_F(ListWorker, ReportsFilesThatCannotBeOpenedAndScanFailures) {
    ItemBatch batch = {MakeItem("gone.mp3", {}), MakeItem("short.mp3", test::MakeFrames({}, 60))};
    // A file that opens (its middle has frames) but has no frame chain at its start.
    std::vector<uint8_t> junk(600'000, 0);
    test::Append(junk, test::MakeFrames({}, 2000));
    batch.push_back(MakeItem("late.mp3", junk));
    std::filesystem::remove(batch[0]->path);
    Send(batch);
    ASSERT_TRUE(WaitForDone(2));
    const std::vector<Message> messages = target_->Take();
    ASSERT_EQ(Count(messages, kMsgBadFile), 1u);
    for (const Message& m : messages) {
        if (m.id == kMsgBadFile) {
            EXPECT_EQ(std::get<ItemRef>(m.payload), batch[0]);
        }
        if (m.id == kMsgItemDone) {
            EXPECT_NE(std::get<ItemRef>(m.payload), batch[0]);
        }
    }
    // The scan error leaves the placeholders.
    EXPECT_EQ(batch[2]->texts[kSlotEncoder], "--");
    EXPECT_EQ(batch[2]->texts[kSlotQuality], "Unknown");
    EXPECT_EQ(batch[2]->texts[kSlotName], "late.mp3");
}

TEST_F(ListWorker, ReadsAFileAgainInFullWhenItsEncoderIsUnknown) {
    // Joint stereo frames that never use plain left/right coding, without
    // short blocks or padding: the statistics name no encoder.
    test::HeaderFields ms;
    ms.mode_extension = 2;
    ItemBatch batch = {MakeItem("u.mp3", test::MakeFrames(ms, 1000))};
    Send(batch, 100);
    ASSERT_TRUE(WaitForDone(1));
    EXPECT_EQ(batch[0]->record.frames, 1000);
    EXPECT_EQ(batch[0]->record.whole_file_scanned, 1);
    EXPECT_EQ(batch[0]->texts[kSlotEncoder], "Unknown");

    settings_.read_all_unknown = false;
    batch = {MakeItem("v.mp3", test::MakeFrames(ms, 1000))};
    Send(batch, 100);
    ASSERT_TRUE(WaitForDone(2));
    EXPECT_EQ(batch[0]->record.frames, 100);
    EXPECT_EQ(batch[0]->texts[kSlotFrames], "100+");
}

TEST_F(ListWorker, InterruptOfAnIdleWorkerReturnsAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    worker_.Interrupt();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_TRUE(notifier_->texts.empty());
}

TEST_F(ListWorker, InterruptStopsTheScanAtItsNextProgressCall) {
    for (int round = 0; round < 5; ++round) {
        ItemBatch batch = {MakeItem("long.mp3", test::MakeFrames({}, 9000)),
                           MakeItem("next.mp3", test::MakeFrames({}, 50))};
        HoldAt("Processing: long.mp3");
        cache_.stores = 0;
        Send(batch);
        ASSERT_TRUE(held_.WaitFor(10s));
        CallWhileHeld([&] { worker_.Interrupt(); }, worker_.interrupt_event);

        EXPECT_EQ(batch[0]->record.frames, 2000) << "round " << round;
        EXPECT_EQ(batch[0]->record.whole_file_scanned, 0);
        EXPECT_EQ(batch[1]->record.frames, 0);  // never reached
        EXPECT_EQ(cache_.stores, 0);
        EXPECT_EQ(Count(target_->Take(), kMsgItemDone), 0u);
        EXPECT_TRUE(worker_.idle_event.IsSet());
    }
}

TEST_F(ListWorker, FlushDropsQueuedBatches) {
    for (int round = 0; round < 5; ++round) {
        ItemBatch first = {MakeItem("a.mp3", test::MakeFrames({}, 50))};
        ItemBatch second = {MakeItem("b.mp3", test::MakeFrames({}, 50))};
        ItemBatch third = {MakeItem("c.mp3", test::MakeFrames({}, 50))};
        HoldAt("Processing: a.mp3");
        Send(first);
        ASSERT_TRUE(held_.WaitFor(10s));
        Send(second);
        Send(third);
        CallWhileHeld([&] { worker_.Flush(); }, worker_.flush_event);

        const std::vector<Message> messages = target_->Take();
        EXPECT_EQ(Count(messages, kMsgItemDone), 1u) << "round " << round;
        EXPECT_EQ(first[0]->record.frames, 50);
        EXPECT_EQ(second[0]->record.frames, 0);
        EXPECT_EQ(third[0]->record.frames, 0);
        // The dropped batches were freed: only this test holds their items.
        EXPECT_EQ(second[0].use_count(), 1);
    }
}

TEST_F(ListWorker, PausesBetweenItemsAndResumes) {
    worker_.Pause();
    EXPECT_TRUE(worker_.suspended());
    ItemBatch batch = {MakeItem("a.mp3", test::MakeFrames({}, 50))};
    Send(batch);
    // Nothing is posted while paused.
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(target_->Take().empty());
    worker_.Resume();
    ASSERT_TRUE(WaitForDone(1));
}

TEST_F(ListWorker, StopEndsAPausedWorker) {
    worker_.Pause();
    Send({MakeItem("a.mp3", test::MakeFrames({}, 50))});
    worker_.Stop();
    EXPECT_TRUE(worker_.ended_event.IsSet());
    EXPECT_FALSE(worker_.running());
}

TEST_F(ListWorker, StopReportsAWorkerThatDoesNotEnd) {
    HoldAt("Processing: a.mp3");
    Send({MakeItem("a.mp3", test::MakeFrames({}, 50))});
    ASSERT_TRUE(held_.WaitFor(10s));
    EXPECT_THROW(worker_.Stop(), ThreadBlocked);
    released_.Set();
    // The quit it was sent is still queued: once let go, it ends by itself.
    ASSERT_TRUE(worker_.ended_event.WaitFor(10s));
    worker_.Stop();
    EXPECT_FALSE(worker_.running());
}

class DetailsWorker : public ::testing::Test {
protected:
    const MediaFileTypesScope media_types_;

    // Runs a Details scan of the bytes; returns what was posted, in order.
    std::vector<Message> Run(const std::vector<uint8_t>& bytes, bool cancel = false) {
        test::WriteFile(dir_.File("d.mp3"), bytes);
        CVandrelMediaFileWrapper file;
        EXPECT_TRUE(file.Attach(dir_.File("d.mp3")));
        auto target = std::make_shared<RecordingTarget>();
        {
            CDetailsThread worker;
            if (cancel) {
                worker.cancel_event.Set();
            }
            worker.Start(target, &file, notifier_);
        }  // waits for the worker to finish
        return target->Take();
    }

    test::TempDir dir_;
    std::shared_ptr<RecordingNotifier> notifier_ = std::make_shared<RecordingNotifier>();
};

std::vector<uint32_t> IdsOf(const std::vector<Message>& messages) {
    std::vector<uint32_t> ids;
    for (const Message& m : messages) {
        ids.push_back(m.id);
    }
    return ids;
}

TEST_F(DetailsWorker, PostsRecordCopiesThenTheSeries) {
    std::vector<Message> m = Run(test::MakeFrames({}, 1500));
    EXPECT_EQ(IdsOf(m), (std::vector<uint32_t>{kMsgRecordCopy, kMsgRecordCopy, kMsgProgress}));
    const auto& series = *std::get<std::unique_ptr<FrameSeries>>(m[2].payload);
    EXPECT_EQ(series[FrameSeries::kBitrateIndex].size(), 1499u);
    EXPECT_EQ(std::get<std::unique_ptr<ScanRecord>>(m[1].payload)->frames, 1500);

    m = Run(test::MakeFrames({}, 4500));
    EXPECT_EQ(IdsOf(m), (std::vector<uint32_t>{kMsgRecordCopy, kMsgRecordCopy, kMsgRecordCopy,
                                               kMsgRecordCopy, kMsgProgress}));
    EXPECT_EQ(std::get<std::unique_ptr<ScanRecord>>(m[0].payload)->frames, 2000);
    EXPECT_EQ(std::get<std::unique_ptr<ScanRecord>>(m[1].payload)->frames, 4000);
    EXPECT_TRUE(notifier_->texts.empty());
}

TEST_F(DetailsWorker, ACancelledScanStillPostsWhatItHas) {
    const std::vector<Message> m = Run(test::MakeFrames({}, 4500), true);
    EXPECT_EQ(IdsOf(m), (std::vector<uint32_t>{kMsgRecordCopy, kMsgProgress}));
    EXPECT_EQ(std::get<std::unique_ptr<ScanRecord>>(m[0].payload)->frames, 2000);
}

TEST_F(DetailsWorker, AFailedScanShowsTheMessageAndAsksToClose) {
    std::vector<uint8_t> bytes(600'000, 0);
    test::Append(bytes, test::MakeFrames({}, 2000));
    const std::vector<Message> m = Run(bytes);
    EXPECT_EQ(IdsOf(m), std::vector<uint32_t>{kMsgCloseRequest});
    ASSERT_EQ(notifier_->texts.size(), 1u);
    EXPECT_EQ(notifier_->texts[0], "Cannot find valid mp3 header, scanning failed\n");
}

}  // namespace
}  // namespace vandrel
