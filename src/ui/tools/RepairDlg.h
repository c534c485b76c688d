#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "tools/RepairRun.h"
#include "ui/common/WorkerPump.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace vandrel {

// The repair's file steps on this desktop: the original goes to the trash
// with QFile::moveToTrash (safe on the worker's thread: it is plain file work).
ReplaceSteps DesktopReplaceSteps();

// "Repair Files": plans the repair of the list's selected files on a worker
// thread and lists what it would do to each, and which files it refuses and
// why; OK repairs the repairable ones (each original to the trash, the
// checked copy in its place) and the list becomes the report. Cancel stops
// the work in either step. Modal; GUI thread only.
class CRepairDlg : public QDialog {
    Q_OBJECT
public:
    // Starts planning at once. `steps` is how a repaired copy takes the
    // original's place.
    CRepairDlg(std::vector<RepairRequest> requests, QWidget* parent = nullptr,
               ReplaceSteps steps = DesktopReplaceSteps());
    // Stops a running step and waits for it.
    ~CRepairDlg() override;

    // The paths of the files that were replaced by their repaired copies.
    std::vector<std::string> RepairedPaths() const;

    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QTreeWidget* Files() const { return files_; }
    QProgressBar* ProgressBar() const { return progress_; }
    bool working() const { return worker_ != nullptr; }
    // The files as the last step left them; not while working().
    const std::vector<RepairItem>& Items() const { return *items_; }

public slots:
    // OK: repairs the files the plan found repairable.
    void accept() override;
    // Cancel: stops the planning (and closes) or the repair (and reports).
    void reject() override;

private:
    enum class Step { kPlanning, kPlanned, kRepairing, kReported };

    void StartWork(COneShotWorker::Work work);
    bool TakeWorkerMessage(Message& message);
    void WorkDone();
    void ShowItems();
    void StopWorker();

    std::shared_ptr<std::vector<RepairItem>> items_;
    ReplaceSteps steps_;
    Step step_ = Step::kPlanning;
    WorkerPump pump_;
    std::unique_ptr<COneShotWorker> worker_;

    QLabel* summary_ = nullptr;
    QTreeWidget* files_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace vandrel
