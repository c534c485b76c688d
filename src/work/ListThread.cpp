#include "work/ListThread.h"

#include "engine/verdicts/FileAnalysis.h"
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
    PostStatus("Processing: " + job.display_name);
    const ListWorkerOptions options = Options();
    thread_helper helper(*this);
    FileAnalysis analysis =
        Analyse(job.path, {.depth = walk_frames ? ReadDepth::kFrames : ReadDepth::kHeaders,
                           .frames = frames,
                           .all_frames_when_encoder_unknown = options.read_all_unknown,
                           .mono_quality = options.mono_quality,
                           .progress = &helper});
    // A scan that failed leaves the file's name in the status line.
    if (analysis.outcome != AnalysisOutcome::kScanFailed) {
        PostStatus({});
    }
    auto result = std::make_unique<ListResult>();
    result->key = job.key;
    result->texts = std::move(analysis.texts);
    result->texts[kSlotName] = job.display_name;
    result->severity = analysis.severity;
    if (analysis.failure) {
        Log([&] { return "CListThread::OnProcess: " + job.path + ": " + *analysis.failure; });
        // A file the list can say nothing about: its reason under Problems,
        // "--" in the other columns, and no record for the tools to start
        // from.
        result->record.quality_class = kQualityNone;
        result->refusal = std::move(*analysis.failure);
    } else {
        result->record = analysis.record;
        result->checks = analysis.checks;
    }
    // What the file's kind offers, also when its scan failed.
    result->feature_mask = analysis.feature_mask;
    return result;
}

}  // namespace vandrel
