#include "work/DetailsThread.h"

#include <exception>

#include "engine/checks/IntegrityChecks.h"
#include "engine/core/ScanError.h"
#include "engine/verdicts/SpectrogramMarks.h"

namespace vandrel {

CDetailsThread::~CDetailsThread() {
    if (thread_.joinable()) {
        done_event.Wait();
        thread_.join();
    }
}

void CDetailsThread::Start(std::shared_ptr<MessageTarget> target, CMediaFileWrapper* file,
                           std::shared_ptr<UserNotifier> notifier,
                           std::optional<SpectrumJob> spectrum) {
    target_ = std::move(target);
    file_ = file;
    notifier_ = std::move(notifier);
    spectrum_ = std::move(spectrum);
    thread_ = std::thread(&CDetailsThread::ThreadMain, this);
}

bool CDetailsThread::thread_helper::Progress(const ScanRecord& record) {
    if (owner_.cancel_event.IsSet()) {
        return false;
    }
    owner_.target_->Post(Message(kMsgRecordCopy, 0, std::make_unique<ScanRecord>(record)));
    return true;
}

void CDetailsThread::ThreadMain() {
    if (ScanFile() && spectrum_ && !cancel_event.IsSet()) {
        MakeSpectrum(*spectrum_);
    }
    done_event.Set();
}

bool CDetailsThread::ScanFile() {
    ScanRecord record = ZeroRecord();
    auto series = std::make_unique<FrameSeries>();
    series->Reserve(kSeriesReserve);
    thread_helper helper(*this);
    IntegrityChecks checks(checks_);
    try {
        // The series must be collected, so no cached record may answer.
        if (file_->Scan(record, {.series = series.get(),
                                 .checks = &checks,
                                 .cache = CacheLookup::kSkip,
                                 .progress = &helper}) == 0) {
            throw ScanError(kDetailsScanFailedMessage);
        }
        marks_ = SpectrogramMarks(record, checks_);
        target_->Post(Message(kMsgRecordCopy, 0, std::make_unique<ScanRecord>(record)));
        target_->Post(Message(kMsgProgress, 0, std::move(series)));
    } catch (const std::exception& e) {
        file_->Close();
        if (notifier_) {
            notifier_->ShowMessage(e.what(), "");
        }
        target_->Post(Message(kMsgCloseRequest));
        return false;
    }
    return true;
}

void CDetailsThread::MakeSpectrum(const SpectrumJob& job) {
    auto result = std::make_unique<DetailsSpectrum>();
    result->marks = marks_;
    int posted = -1;
    SpectrumRequest request{.format = job.format, .shape = {}, .progress = {}};
    request.progress = [this, &posted](int percent) {
        if (cancel_event.IsSet()) {
            return false;
        }
        if (percent != posted) {
            posted = percent;
            target_->Post(Message(kMsgSpectrumProgress, static_cast<uint64_t>(percent)));
        }
        return true;
    };
    try {
        result->spectrogram = AnalyseSpectrum(job.path, request);
        if (!result->spectrogram) {
            return;  // cancelled: the dialog is gone or scans anew
        }
    } catch (const std::exception& e) {
        // ScanError, or memory for the spectrogram: the page says why.
        result->failure = e.what();
    }
    target_->Post(Message(kMsgSpectrum, 0, std::move(result)));
}

}  // namespace vandrel
