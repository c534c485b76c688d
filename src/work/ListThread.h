#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "engine/core/Sink.h"
#include "work/ThreadBase.h"

namespace vandrel {

// The file list's settings that its worker uses; the list hands over a copy
// whenever they change.
struct ListWorkerOptions {
    // Read all frames of a file whose encoder comes out "Unknown".
    bool read_all_unknown = true;
    // Double the quality per bitrate of mono files.
    bool mono_quality = false;
};

// The file list's worker: analyses batches of files and posts each result.
class CListThread : public CThread<CListThread> {
public:
    static constexpr std::chrono::milliseconds kStopTimeout{1000};

    CListThread();

    // Called by the owner; each file uses the options current when it starts.
    void SetOptions(const ListWorkerOptions& options);

    // The handler of a batch; `wparam` is a BatchParam.
    bool OnProcessMulti(uint64_t wparam, ListJobBatch jobs);
    // One file: its analysis. A file that yields none (no media type opens
    // it, or its scan fails) gets a result too, with its reason as the
    // refusal. `frames`: 0 for all.
    std::unique_ptr<ListResult> OnProcess(int frames, const ListJob& job, bool walk_frames);

    // The scan's progress sink: holds while the worker is paused, and stops
    // the scan once the worker is interrupted.
    class thread_helper : public sink {
    public:
        explicit thread_helper(CListThread& owner) : owner_(owner) {}
        bool Progress(const ScanRecord& record) override;

    private:
        CListThread& owner_;
    };

private:
    void PostStatus(std::string text);
    ListWorkerOptions Options() const;

    mutable std::mutex options_mutex_;
    ListWorkerOptions options_;  // guarded by options_mutex_
};

}  // namespace vandrel
