#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QString>

#include "tools/Export.h"
#include "ui/common/WorkerPump.h"

class QWidget;

namespace vandrel {

// One export at a time for the export dialog: runs the job on its own
// thread, tells the dialog how it goes, and opens the report once it is
// written. Deleting it stops a running export and waits for it. GUI thread
// only.
class CExportRunner : public QObject {
    Q_OBJECT
public:
    // The run's notices are shown over `notice_parent`, so that they stay
    // after the dialog has closed.
    explicit CExportRunner(QWidget* notice_parent);
    ~CExportRunner() override;

    // Starts `job`; ignored while a run is going.
    void Start(ExportJob job);
    // Asks the running export to stop; Ended follows once it has.
    void Cancel();
    bool working() const { return worker_ != nullptr; }
    // Where the report went, once it was written.
    const std::string& report_path() const { return report_path_; }
    // How a written report is shown; the default viewer unless set (tests).
    void SetReportOpener(std::function<void(const QString& path)> open) {
        open_report_ = std::move(open);
    }

signals:
    // The share of the export done, 0 to 100.
    void PercentChanged(int percent);
    // What the export is at, as the worker says it.
    void StatusChanged(const QString& text);
    // The run is over: written (and opened), stopped or failed.
    void Ended();

private:
    bool TakeWorkerMessage(Message& message);
    void Finish(WorkOutcome how);

    QWidget* notice_parent_;
    std::function<void(const QString& path)> open_report_;
    std::string pending_report_;  // where the running export writes
    std::string report_path_;
    WorkerPump pump_;
    std::unique_ptr<CExportThread> worker_;
};

}  // namespace vandrel
