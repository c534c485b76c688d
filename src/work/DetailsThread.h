#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/audio/SpectrumAnalysis.h"
#include "engine/core/FileChecks.h"
#include "engine/core/Sink.h"
#include "engine/media/MediaFileWrapper.h"
#include "work/Event.h"
#include "work/Messages.h"

namespace vandrel {

inline constexpr const char* kDetailsScanFailedMessage = "Error processing file....";

// A file whose spectrogram the Details worker makes after its scan.
struct SpectrumJob {
    std::string path;
    AudioFormat format = AudioFormat::kMpeg;
};

// The one-shot worker of a Details dialog: scans the dialog's file in full,
// collecting the per-frame series, and posts the record as it grows. Given a
// spectrum job, it then decodes the file and posts its spectrogram: the
// decode's percent as kMsgSpectrumProgress (the word), then kMsgSpectrum. A
// cancel stops the decode within one piece of the file (kSpectrumReadBytes)
// and posts no spectrogram; neither comes after a failed or cancelled scan.
class CDetailsThread {
public:
    static constexpr size_t kSeriesReserve = 20000;

    CDetailsThread() = default;
    // Waits, without limit, until the thread has ended.
    ~CDetailsThread();
    CDetailsThread(const CDetailsThread&) = delete;
    CDetailsThread& operator=(const CDetailsThread&) = delete;

    // `file` holds the open file and must outlive this object; messages go to
    // `target`, failures are shown through `notifier`.
    void Start(std::shared_ptr<MessageTarget> target, CMediaFileWrapper* file,
               std::shared_ptr<UserNotifier> notifier,
               std::optional<SpectrumJob> spectrum = std::nullopt);

    // The integrity checks of the scan. The worker fills them before it posts
    // the series (kMsgProgress); the owner reads them once that has come.
    const FileChecks& checks() const { return checks_; }

    ManualResetEvent done_event{false};
    ManualResetEvent cancel_event{false};

    // Posts a copy of the record every 2000 frames, until cancelled.
    class thread_helper : public sink {
    public:
        explicit thread_helper(CDetailsThread& owner) : owner_(owner) {}
        bool Progress(const ScanRecord& record) override;

    private:
        CDetailsThread& owner_;
    };

private:
    void ThreadMain();
    // Scans the file and posts the record and the series; false when the scan
    // failed (and the dialog was asked to close).
    bool ScanFile();
    void MakeSpectrum(const SpectrumJob& job);

    std::shared_ptr<MessageTarget> target_;
    CMediaFileWrapper* file_ = nullptr;
    std::shared_ptr<UserNotifier> notifier_;
    std::optional<SpectrumJob> spectrum_;
    FileChecks checks_;    // written by the worker until it posts the series
    SpectrumMarks marks_;  // the worker's own, from its scan
    std::thread thread_;
};

}  // namespace vandrel
