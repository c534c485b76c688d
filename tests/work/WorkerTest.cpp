#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>

#include "engine/core/RecordCache.h"
#include "engine/media/MediaFileInterface.h"
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
    bool Lookup(std::string_view, const RecordFileStatus&, ScanRecord&, int, FileChecks*) override {
        return false;
    }
    void Store(const ScanRecord&, const FileChecks*) override { ++stores; }
    std::atomic<int> stores{0};
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

    ListJob MakeJob(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::WriteFile(dir_.File(name), bytes);
        return {++last_key_, dir_.File(name), name};
    }
    void Send(ListJobBatch batch, int frames = 0, uint8_t tag = 1) {
        worker_.Post(
            Message(kMsgProcessBatch, BatchParam{frames, tag, false}.Encode(), std::move(batch)));
    }
    bool WaitForDone(size_t n) {
        return target_->WaitFor(
            [n](const std::vector<Message>& m) { return Count(m, kMsgItemDone) >= n; });
    }
    // The results posted so far, in order.
    std::vector<ListResult> Results() {
        std::vector<ListResult> results;
        for (Message& m : target_->Take()) {
            if (m.id == kMsgItemDone) {
                results.push_back(*std::get<std::unique_ptr<ListResult>>(m.payload));
            }
        }
        return results;
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
    CListThread worker_;
    std::shared_ptr<RecordingTarget> target_ = std::make_shared<RecordingTarget>();
    std::shared_ptr<RecordingNotifier> notifier_ = std::make_shared<RecordingNotifier>();
    uint64_t last_key_ = 100;
};

TEST_F(ListWorker, PostsEachResultWithTheBatchTagAndMarksTheLast) {
    Send({MakeJob("a.mp3", test::MakeFrames({}, 50)), MakeJob("b.mp3", test::MakeFrames({}, 60)),
          MakeJob("c.mp3", test::MakeFrames({}, 70))},
         0, 0xAB);
    ASSERT_TRUE(WaitForDone(3));
    std::vector<uint64_t> words;
    std::vector<std::string> statuses;
    std::vector<ListResult> results;
    for (Message& m : target_->Take()) {
        if (m.id == kMsgItemDone) {
            words.push_back(m.wparam);
            results.push_back(*std::get<std::unique_ptr<ListResult>>(m.payload));
        } else if (m.id == kMsgStatusText) {
            statuses.push_back(std::get<std::string>(m.payload));
        }
    }
    // The tag in bits 16-31, the last of the batch marked in bits 0-15.
    EXPECT_EQ(words, (std::vector<uint64_t>{0xAB0000, 0xAB0000, 0xAB0001}));
    EXPECT_EQ(statuses, (std::vector<std::string>{"Processing: a.mp3", "", "Processing: b.mp3", "",
                                                  "Processing: c.mp3", ""}));
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[1].key, 102u);
    EXPECT_EQ(results[1].texts[kSlotFrames], "60");
    EXPECT_EQ(cache_.stores, 3);
}

TEST_F(ListWorker, ListsFilesItCannotAnalyseWithTheirReason) {
    ListJobBatch batch = {MakeJob("gone.mp3", {}), MakeJob("empty.mp3", {}),
                          MakeJob("text.mp3", {'h', 'e', 'l', 'l', 'o', '\n'})};
    std::filesystem::remove(batch[0].path);
    // A file that opens (its middle has frames) but has no frame chain at its start.
    std::vector<uint8_t> junk(600'000, 0);
    test::Append(junk, test::MakeFrames({}, 2000));
    batch.push_back(MakeJob("late.mp3", junk));
    Send(batch);
    ASSERT_TRUE(WaitForDone(4));
    const std::vector<ListResult> results = Results();
    ASSERT_EQ(results.size(), 4u) << "every file has a result";

    // The reasons are those vandrel-scan gives.
    const std::vector<std::string> reasons = {"No such file or directory", "Empty file",
                                              "Not an MPEG audio, MPEG Plus or WAVE file",
                                              "Cannot find valid mp3 header, scanning failed\n"};
    for (size_t i = 0; i < results.size(); ++i) {
        SCOPED_TRACE(batch[i].display_name);
        const ListResult& r = results[i];
        EXPECT_EQ(r.key, batch[i].key) << "the row it belongs to";
        EXPECT_EQ(r.refusal, reasons[i]) << "why it is not analysed";
        EXPECT_EQ(r.texts[kSlotProblems], reasons[i]) << "the reason under Problems";
        EXPECT_EQ(r.severity, Severity::kDamage) << "a refused file is damaged";
    }
}

TEST_F(ListWorker, FillsTheChecksOfEveryFileItAnalyses) {
    // Two runs of frames with bytes between them that are no frame, and a
    // last frame cut short.
    std::vector<uint8_t> damaged = test::MakeFrames({}, 60);
    test::Append(damaged, std::vector<uint8_t>(1000, 0x55));
    test::Append(damaged, test::MakeFrames({}, 60));
    damaged.resize(damaged.size() - 200);
    Send({MakeJob("clean.mp3", test::MakeFrames({}, 60)), MakeJob("damaged.mp3", damaged)});
    ASSERT_TRUE(WaitForDone(2));
    const std::vector<ListResult> results = Results();
    ASSERT_EQ(results.size(), 2u);

    EXPECT_EQ(results[0].checks.walked, 1u) << "the scan filled the checks";
    EXPECT_EQ(results[0].severity, Severity::kNone) << "clean file's severity";
    EXPECT_EQ(results[1].texts[kSlotProblems], "1 sync error, cut last frame")
        << "damaged file's Problems";
    EXPECT_EQ(results[1].severity, Severity::kDamage) << "damaged file's severity";
}

TEST_F(ListWorker, ReadsAFileAgainInFullWhenItsEncoderIsUnknown) {
    // Joint stereo frames that never use plain left/right coding, without
    // short blocks or padding: the statistics name no encoder.
    test::HeaderFields ms;
    ms.mode_extension = 2;
    Send({MakeJob("u.mp3", test::MakeFrames(ms, 1000))}, 100);
    ASSERT_TRUE(WaitForDone(1));
    ListResult result = Results().at(0);
    EXPECT_EQ(result.record.frames, 1000);
    EXPECT_EQ(result.record.whole_file_scanned, 1);
    EXPECT_EQ(result.texts[kSlotEncoder], "Unknown");

    worker_.SetOptions({.read_all_unknown = false});
    Send({MakeJob("v.mp3", test::MakeFrames(ms, 1000))}, 100);
    ASSERT_TRUE(WaitForDone(1));
    result = Results().at(0);
    EXPECT_EQ(result.record.frames, 100);
    EXPECT_EQ(result.texts[kSlotFrames], "100+");
}

TEST_F(ListWorker, InterruptStopsTheScanAtItsNextProgressCall) {
    // An idle worker: nothing to wait for, nothing to say, and the next
    // batch is not cut short by it.
    worker_.Interrupt();
    Send({MakeJob("first.mp3", test::MakeFrames({}, 50))});
    ASSERT_TRUE(WaitForDone(1));
    EXPECT_EQ(Results().size(), 1u);
    EXPECT_TRUE(notifier_->texts.empty());

    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        HoldAt("Processing: long.mp3");
        cache_.stores = 0;
        Send({MakeJob("long.mp3", test::MakeFrames({}, 9000)),
              MakeJob("next.mp3", test::MakeFrames({}, 50))});
        ASSERT_TRUE(held_.WaitFor(10s));
        CallWhileHeld([&] { worker_.Interrupt(); }, worker_.interrupt_event);

        // A walk that ran to its end would have been stored.
        EXPECT_EQ(cache_.stores, 0);
        std::vector<std::string> statuses;
        for (const Message& m : target_->Take()) {
            EXPECT_NE(m.id, kMsgItemDone);
            if (m.id == kMsgStatusText) {
                statuses.push_back(std::get<std::string>(m.payload));
            }
        }
        // "next.mp3" was never begun.
        EXPECT_EQ(statuses, (std::vector<std::string>{"Processing: long.mp3", ""}));
        EXPECT_TRUE(worker_.idle_event.IsSet());
    }
}

TEST_F(ListWorker, FlushDropsQueuedBatches) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        HoldAt("Processing: a.mp3");
        Send({MakeJob("a.mp3", test::MakeFrames({}, 50))});
        ASSERT_TRUE(held_.WaitFor(10s));
        Send({MakeJob("b.mp3", test::MakeFrames({}, 50))});
        Send({MakeJob("c.mp3", test::MakeFrames({}, 50))});
        CallWhileHeld([&] { worker_.Flush(); }, worker_.flush_event);

        const std::vector<ListResult> results = Results();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].texts[kSlotName], "a.mp3");
    }
}

TEST_F(ListWorker, StopAbandonsTheBatchInHand) {
    // Paused, with a batch waiting: it ends without going on with the batch.
    worker_.Pause();
    Send({MakeJob("a.mp3", test::MakeFrames({}, 50))});
    worker_.Stop();
    EXPECT_EQ(Count(target_->Take(), kMsgItemDone), 0u);

    // Busy with a long batch: it ends after the file in hand.
    CListThread busy;
    busy.SetTarget(target_);
    busy.Start();
    ListJobBatch batch;
    for (int i = 0; i < 200; ++i) {
        batch.push_back(MakeJob("f" + std::to_string(i) + ".mp3", test::MakeFrames({}, 900)));
    }
    HoldAt("Processing: f3.mp3");
    busy.Post(Message(kMsgProcessBatch, BatchParam{}.Encode(), std::move(batch)));
    ASSERT_TRUE(held_.WaitFor(10s));
    CallWhileHeld([&] { EXPECT_NO_THROW(busy.Stop()); }, busy.interrupt_event);
    EXPECT_EQ(Count(target_->Take(), kMsgItemDone), 3u);  // f0 to f2, before the stop
}

TEST_F(ListWorker, StopReportsAWorkerThatDoesNotEnd) {
    HoldAt("Processing: a.mp3");
    Send({MakeJob("a.mp3", test::MakeFrames({}, 50))});
    ASSERT_TRUE(held_.WaitFor(10s));
    EXPECT_THROW(worker_.Stop(), ThreadBlocked);
    released_.Set();
    // The quit it was sent is still queued: once let go, it ends by itself.
    ASSERT_TRUE(worker_.ended_event.WaitFor(10s));
    worker_.Stop();
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
            worker.done_event.Wait();
            checks_ = worker.checks();
        }
        return target->Take();
    }

    // Runs a Details scan of a file with its spectrum after it; `hook` sees
    // each message as it is posted, with the worker.
    std::vector<Message>
    RunWithSpectrum(const std::string& path, AudioFormat format,
                    const std::function<void(const Message&, CDetailsThread&)>& hook = {}) {
        CVandrelMediaFileWrapper file;
        EXPECT_TRUE(file.Attach(path));
        auto target = std::make_shared<RecordingTarget>();
        {
            CDetailsThread worker;
            if (hook) {
                target->hook = [&](const Message& m) { hook(m, worker); };
            }
            worker.Start(target, &file, notifier_, SpectrumJob{path, format});
            worker.done_event.Wait();
            checks_ = worker.checks();
        }
        return target->Take();
    }

    test::TempDir dir_;
    std::shared_ptr<RecordingNotifier> notifier_ = std::make_shared<RecordingNotifier>();
    FileChecks checks_;  // those of the last run
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
    EXPECT_EQ(checks_.walked, 1u) << "the scan filled the worker's checks";

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

// The ids from the series on, and the spectrum's percents.
std::vector<uint32_t> IdsFromTheSeries(const std::vector<Message>& messages,
                                       std::vector<uint64_t>& percents) {
    std::vector<uint32_t> ids = IdsOf(messages);
    ids.erase(ids.begin(), std::find(ids.begin(), ids.end(), kMsgProgress));
    for (const Message& m : messages) {
        if (m.id == kMsgSpectrumProgress) {
            percents.push_back(m.wparam);
        }
    }
    return ids;
}

TEST_F(DetailsWorker, DecodesTheSpectrumAfterTheScanWithItsProgress) {
    // 193,932 bytes: three pieces. The re-encode of a 128 kbit/s file is judged.
    std::vector<Message> m =
        RunWithSpectrum(test::FixturePath("lame_cbr256_from128.mp3"), AudioFormat::kMpeg);
    std::vector<uint64_t> percents;
    EXPECT_EQ(IdsFromTheSeries(m, percents),
              (std::vector<uint32_t>{kMsgProgress, kMsgSpectrumProgress, kMsgSpectrumProgress,
                                     kMsgSpectrumProgress, kMsgSpectrum}))
        << "the series, the decode's progress, the spectrum";
    EXPECT_EQ(percents, (std::vector<uint64_t>{33, 67, 100})) << "the decode's percents";
    const auto& spectrum = *std::get<std::unique_ptr<DetailsSpectrum>>(m.back().payload);
    ASSERT_TRUE(spectrum.spectrogram.has_value()) << "a spectrogram";
    EXPECT_NEAR(spectrum.spectrogram->seconds, 6.0, 0.05) << "the spectrogram's length";
    // The verdict finds the first encode's edge where its granules end firmly.
    ASSERT_GT(checks_.firm_edge_hz, 0) << "the scan measured a firm edge";
    EXPECT_EQ(spectrum.marks.cutoff_hz, double{checks_.firm_edge_hz}) << "the cutoff marked";
    EXPECT_EQ(spectrum.failure, "") << "no failure";
}

TEST_F(DetailsWorker, ACancelledDecodeStopsAtOnceAndPostsNoSpectrum) {
    std::vector<Message> m =
        RunWithSpectrum(test::FixturePath("lame_cbr256_from128.mp3"), AudioFormat::kMpeg,
                        [](const Message& message, CDetailsThread& worker) {
                            if (message.id == kMsgSpectrumProgress) {
                                worker.cancel_event.Set();
                            }
                        });
    std::vector<uint64_t> percents;
    EXPECT_EQ(IdsFromTheSeries(m, percents),
              (std::vector<uint32_t>{kMsgProgress, kMsgSpectrumProgress}))
        << "the decode stops at the next piece";
    // Cancelled during the scan, the worker does not start the decode.
    m = RunWithSpectrum(test::FixturePath("lame_cbr256_from128.mp3"), AudioFormat::kMpeg,
                        [](const Message& message, CDetailsThread& worker) {
                            if (message.id == kMsgRecordCopy) {
                                worker.cancel_event.Set();
                            }
                        });
    EXPECT_EQ(Count(m, kMsgSpectrumProgress) + Count(m, kMsgSpectrum), 0u)
        << "no decode after a cancelled scan";
}

TEST_F(DetailsWorker, PostsWhyAFileCannotBeDecoded) {
    const std::vector<Message> m =
        RunWithSpectrum(test::FixturePath("lame_cbr128_joint.mp3"), AudioFormat::kWave);
    ASSERT_EQ(m.back().id, kMsgSpectrum) << "the spectrum's message comes last";
    const auto& spectrum = *std::get<std::unique_ptr<DetailsSpectrum>>(m.back().payload);
    EXPECT_FALSE(spectrum.spectrogram.has_value()) << "no spectrogram";
    EXPECT_EQ(spectrum.failure, "The file is not a WAVE file") << "the reason";
    EXPECT_TRUE(notifier_->texts.empty()) << "no message box: the page says it";
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
