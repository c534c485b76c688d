#include "work/DetailsThread.h"

#include <exception>

#include "engine/checks/IntegrityChecks.h"
#include "engine/core/ScanError.h"

namespace vandrel {

CDetailsThread::~CDetailsThread() {
    if (thread_.joinable()) {
        done_event.Wait();
        thread_.join();
    }
}

void CDetailsThread::Start(std::shared_ptr<MessageTarget> target, CMediaFileWrapper* file,
                           std::shared_ptr<UserNotifier> notifier) {
    target_ = std::move(target);
    file_ = file;
    notifier_ = std::move(notifier);
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
        target_->Post(Message(kMsgRecordCopy, 0, std::make_unique<ScanRecord>(record)));
        target_->Post(Message(kMsgProgress, 0, std::move(series)));
    } catch (const std::exception& e) {
        file_->Close();
        if (notifier_) {
            notifier_->ShowMessage(e.what(), "");
        }
        target_->Post(Message(kMsgCloseRequest));
    }
    done_event.Set();
}

}  // namespace vandrel
