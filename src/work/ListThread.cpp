#include "work/ListThread.h"

#include <exception>

#include "engine/checks/IntegrityChecks.h"
#include "engine/core/ScanError.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/verdicts/Findings.h"
#include "store/Log.h"

namespace vandrel {

namespace {

// The reason given for a file whose kind opened it but whose scan found
// nothing to describe, as the command-line tool gives it.
constexpr const char* kTooShortReason = "The file is too short to analyse";

// A file the list can say nothing about: its reason under Problems, "--" in
// the other columns, and no record for the tools to start from.
void Refuse(ListResult& result, std::string reason) {
    result.record = ZeroRecord();
    result.record.quality_class = kQualityNone;
    result.checks = {};
    ApplyScanFailureTexts(result.texts, result.record);
    result.severity = FillFailureCheckTexts(result.texts, reason);
    result.refusal = std::move(reason);
}

}  // namespace

CListThread::CListThread() : CThread<CListThread>(kStopTimeout) {}

void CListThread::SetOptions(const ListWorkerOptions& options) {
    std::lock_guard lock(options_mutex_);
    options_ = options;
}

ListWorkerOptions CListThread::Options() const {
    std::lock_guard lock(options_mutex_);
    return options_;
}

void CListThread::PostStatus(std::string text) {
    PostToTarget(Message(kMsgStatusText, 0, std::move(text)));
}

bool CListThread::thread_helper::Progress(const ScanRecord& /*record*/) {
    owner_.WaitWhilePaused();
    return !owner_.interrupt_event.IsSet();
}

bool CListThread::OnProcessMulti(uint64_t wparam, ListJobBatch jobs) {
    Log("CListThread::OnProcessMulti");
    const BatchParam batch = BatchParam::Decode(wparam);
    for (size_t i = 0; i < jobs.size(); ++i) {
        WaitWhilePaused();
        std::unique_ptr<ListResult> result = OnProcess(batch.frames, jobs[i], !batch.headers_only);
        if (interrupt_event.IsSet()) {
            interrupt_event.Reset();
            break;  // nothing more of this batch is posted
        }
        Log("CListThread::OnProcessMulti posting message ");
        const ItemDoneParam done{batch.tag, i + 1 == jobs.size()};
        PostToTarget(Message(kMsgItemDone, done.Encode(), std::move(result)));
    }
    return true;
}

std::unique_ptr<ListResult> CListThread::OnProcess(int frames, const ListJob& job,
                                                   bool walk_frames) {
    Log("CListThread::OnProcess");
    Log([&] { return "CListThread::OnProcess " + job.path; });
    auto result = std::make_unique<ListResult>();
    result->key = job.key;
    result->texts[kSlotName] = job.display_name;
    PostStatus("Processing: " + job.display_name);
    try {
        DoProcess(job, *result, frames, walk_frames);
        PostStatus({});
    } catch (const ScanError& e) {
        Refuse(*result, e.what());
    } catch (const std::exception& e) {
        Log("CListThread::OnProcess unspecified exception ");
        Refuse(*result, std::string("Unexpected error: ") + e.what());
    }
    return result;
}

void CListThread::DoProcess(const ListJob& job, ListResult& result, int frames, bool walk_frames) {
    Log("CListThread::DoProcess");
    ScanRecord& record = result.record;
    record.whole_file_scanned = 0;
    CVandrelMediaFileWrapper file;
    if (!file.Attach(job.path)) {
        Log([&] { return "WARNING::  CListThread::DoProcess Failed to open file : " + job.path; });
        std::string reason = DescribeAttachFailure(job.path);
        Log([&] { return "CListThread::DoProcess: " + reason; });
        Refuse(result, std::move(reason));
        return;
    }
    result.feature_mask = file.GetFeatureMask();
    thread_helper helper(*this);
    IntegrityChecks checks(result.checks);
    const ScanOptions options{.walk_frames = walk_frames,
                              .frame_limit = frames == 0 ? kAllFrames : frames,
                              .checks = &checks,
                              .progress = &helper};
    try {
        if (file.Scan(record, options) == 0) {
            Refuse(result, kTooShortReason);
            return;
        }
        result.record.quality_class =
            BuildAttributeTexts(result.texts, record, Options().mono_quality);
        if (record.whole_file_scanned == 0 && Options().read_all_unknown &&
            result.texts[kSlotEncoder] == "Unknown") {
            // The statistics of a part of the file named no encoder: all of
            // it may. The record and the checks start afresh, as every
            // scan's must.
            record = ZeroRecord();
            result.checks = {};
            ScanOptions whole = options;
            whole.frame_limit = kAllFrames;
            if (file.Scan(record, whole) == 0) {
                Refuse(result, kTooShortReason);
                return;
            }
        }
    } catch (const ScanError& e) {
        Log([&] {
            return std::string("WARNING::  CListThread::SetupItem exception in "
                               "CMp3File::ProcessFrames ") +
                   e.what();
        });
        throw;
    }
    file.Close();
    record.quality_class = BuildAttributeTexts(result.texts, record, Options().mono_quality);
    result.severity = FillCheckTexts(result.texts, record, result.checks);
}

}  // namespace vandrel
