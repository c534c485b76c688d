#include "work/ListThread.h"

#include <exception>

#include "engine/core/ScanError.h"
#include "engine/media/MediaFileWrapper.h"
#include "store/Log.h"

namespace vandrel {

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
        if (result) {
            Log("CListThread::OnProcessMulti posting message ");
            const ItemDoneParam done{batch.tag, i + 1 == jobs.size()};
            PostToTarget(Message(kMsgItemDone, done.Encode(), std::move(result)));
        }
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
    bool opened = true;
    try {
        opened = DoProcess(job, *result, frames, walk_frames);
        PostStatus({});
    } catch (const std::exception&) {
        Log("CListThread::OnProcess unspecified exception ");
        ApplyScanFailureTexts(result->texts, result->record);
    }
    return opened ? std::move(result) : nullptr;
}

bool CListThread::DoProcess(const ListJob& job, ListResult& result, int frames, bool walk_frames) {
    Log("CListThread::DoProcess");
    ScanRecord& record = result.record;
    record.whole_file_scanned = 0;
    CVandrelMediaFileWrapper file;
    if (!file.Attach(job.path)) {
        Log([&] { return "WARNING::  CListThread::DoProcess Failed to open file : " + job.path; });
        Log([&] { return "CListThread::DoProcess: " + DescribeAttachFailure(job.path); });
        PostToTarget(Message(kMsgBadFile, job.key));
        return false;
    }
    result.feature_mask = file.GetFeatureMask();
    thread_helper helper(*this);
    const ScanOptions options{.walk_frames = walk_frames,
                              .frame_limit = frames == 0 ? kAllFrames : frames,
                              .progress = &helper};
    try {
        if (file.Scan(record, options) == 0) {
            return true;
        }
        result.record.quality_class =
            BuildAttributeTexts(result.texts, record, Options().mono_quality);
        if (record.whole_file_scanned == 0 && Options().read_all_unknown &&
            result.texts[kSlotEncoder] == "Unknown") {
            // The statistics of a part of the file named no encoder: all of
            // it may. The record starts afresh, as every scan's must.
            record = ZeroRecord();
            ScanOptions whole = options;
            whole.frame_limit = kAllFrames;
            if (file.Scan(record, whole) == 0) {
                return true;
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
    return true;
}

}  // namespace vandrel
