#include "ui/tools/ExportRunner.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#include "ui/common/PathText.h"

namespace vandrel {

CExportRunner::CExportRunner(QWidget* notice_parent)
    : notice_parent_(notice_parent),
      pump_([this](Message& message) { return TakeWorkerMessage(message); }) {}

CExportRunner::~CExportRunner() {
    pump_.Detach();
    if (worker_) {
        worker_->Stop();
    }
}

void CExportRunner::Start(ExportJob job) {
    if (worker_) {
        return;
    }
    report_path_.clear();
    const std::string report = job.report_path;
    worker_ = std::make_unique<CExportThread>();
    worker_->Start(pump_.target(), std::move(job));
    pending_report_ = report;
}

void CExportRunner::Cancel() {
    if (worker_) {
        worker_->Cancel();
    }
}

bool CExportRunner::TakeWorkerMessage(Message& message) {
    if (message.id == kMsgWorkDone) {
        Finish(OutcomeOf(message));
        return false;
    }
    if (message.id == kMsgProgress) {
        emit PercentChanged(static_cast<int>(message.wparam));
    } else if (message.id == kMsgStatusText) {
        if (const auto* text = std::get_if<std::string>(&message.payload)) {
            emit StatusChanged(QString::fromStdString(*text));
        }
    } else if (message.id == kMsgNotice) {
        if (const auto* text = std::get_if<std::string>(&message.payload)) {
            ShowWorkerNotice(static_cast<NoticeKind>(message.wparam), QString::fromStdString(*text),
                             notice_parent_);
        }
    }
    return true;
}

void CExportRunner::Finish(WorkOutcome how) {
    if (!worker_) {
        return;
    }
    worker_->Stop();
    worker_.reset();
    if (how == WorkOutcome::kDone) {
        report_path_ = pending_report_;
        if (open_report_) {
            open_report_(PathText(report_path_));
        } else {
            QDesktopServices::openUrl(QUrl::fromLocalFile(PathText(report_path_)));
        }
    }
    emit Ended();
}

}  // namespace vandrel
