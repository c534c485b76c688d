#include "ui/tools/RepairDlg.h"

#include <algorithm>
#include <filesystem>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/common/PathText.h"
#include "ui/common/UiThread.h"

namespace vandrel {

namespace {

constexpr int kPercentDone = 100;

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

TrashResult MoveToDesktopTrash(const std::string& path) {
    TrashResult result;
    // Qt makes the home trash only inside an existing data folder; without
    // one it would take the current folder for the trash.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) {
        result.error = "no folder for the trash";
        return result;
    }
    QFile file(PathText(path));
    if (!file.moveToTrash()) {
        result.error = file.errorString().toStdString();
        return result;
    }
    // The file object now names the file in the trash.
    result.trashed_path = PathBytes(file.fileName());
    if (!QFileInfo(file.fileName()).isAbsolute()) {
        RestoreFromTrash(result.trashed_path, path);
        result.error = "the trash is not where it should be";
        return result;
    }
    result.ok = true;
    return result;
}

QString FilesText(size_t count) {
    return count == 1 ? QCoreApplication::translate("CRepairDlg", "1 file")
                      : QCoreApplication::translate("CRepairDlg", "%1 files").arg(count);
}

int CountOf(const std::vector<RepairItem>& items, PlanStatus status) {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [&](const RepairItem& item) {
        return item.plan.status == status;
    }));
}

int RepairedCount(const std::vector<RepairItem>& items) {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](const RepairItem& item) {
        return item.status == RepairStatus::kRepaired;
    }));
}

}  // namespace

ReplaceSteps DesktopReplaceSteps() {
    return {.trash = MoveToDesktopTrash, .place = RenameNoReplace};
}

CRepairDlg::CRepairDlg(std::vector<RepairRequest> requests, QWidget* parent, ReplaceSteps steps)
    : QDialog(parent), items_(std::make_shared<std::vector<RepairItem>>()),
      steps_(std::move(steps)),
      pump_([this](Message& message) { return TakeWorkerMessage(message); }) {
    AssertUiThread();
    setWindowTitle(tr("Repair Files"));
    for (RepairRequest& request : requests) {
        RepairItem& item = items_->emplace_back();
        item.request = std::move(request);
    }
    summary_ = new QLabel(tr("Planning the repair of %1...").arg(FilesText(items_->size())), this);
    summary_->setWordWrap(true);
    files_ = new QTreeWidget(this);
    files_->setColumnCount(2);
    files_->setHeaderLabels({tr("File"), tr("Status")});
    files_->setRootIsDecorated(true);
    files_->setSelectionMode(QAbstractItemView::NoSelection);
    files_->header()->setStretchLastSection(true);
    status_ = new QLabel(this);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, kPercentDone);
    progress_->setValue(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(tr("&Repair"));
    ok_->setEnabled(false);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRepairDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRepairDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(files_, 1);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
    resize(900, 460);
    ShowItems();

    auto items = items_;
    StartWork([items](WorkChannel& channel) {
        return WorkResult{PlanRepairs(*items, channel), {}};
    });
}

CRepairDlg::~CRepairDlg() {
    pump_.Detach();
    StopWorker();
}

std::vector<std::string> CRepairDlg::RepairedPaths() const {
    std::vector<std::string> paths;
    if (worker_) {
        return paths;  // the items are the worker's until it is done
    }
    for (const RepairItem& item : *items_) {
        if (item.status == RepairStatus::kRepaired) {
            paths.push_back(item.request.path);
        }
    }
    return paths;
}

void CRepairDlg::StartWork(COneShotWorker::Work work) {
    worker_ = std::make_unique<COneShotWorker>();
    progress_->setValue(0);
    worker_->Start(pump_.target(), std::move(work));
}

void CRepairDlg::accept() {
    if (step_ == Step::kReported) {
        QDialog::accept();
        return;
    }
    if (step_ != Step::kPlanned || CountOf(*items_, PlanStatus::kRepairable) == 0) {
        return;
    }
    step_ = Step::kRepairing;
    ok_->setEnabled(false);
    summary_->setText(tr("Repairing..."));
    auto items = items_;
    StartWork([items, steps = steps_](WorkChannel& channel) {
        return WorkResult{RunRepairs(*items, channel, steps), {}};
    });
}

void CRepairDlg::reject() {
    if (step_ == Step::kRepairing) {
        // Files already replaced stay so; the report says which.
        StopWorker();
        WorkDone();
        return;
    }
    StopWorker();
    QDialog::reject();
}

void CRepairDlg::StopWorker() {
    if (worker_) {
        worker_->Stop();
        worker_.reset();
        pump_.Drop();
    }
}

bool CRepairDlg::TakeWorkerMessage(Message& message) {
    if (!worker_) {
        return false;  // a stopped step's last words
    }
    if (message.id == kMsgWorkDone) {
        StopWorker();
        WorkDone();
        return false;
    }
    if (message.id == kMsgProgress) {
        progress_->setValue(static_cast<int>(message.wparam));
    } else if (message.id == kMsgStatusText) {
        const auto* text = std::get_if<std::string>(&message.payload);
        status_->setText(text != nullptr ? PathText(*text) : QString());
    }
    return true;
}

void CRepairDlg::WorkDone() {
    status_->clear();
    progress_->setValue(kPercentDone);
    const std::vector<RepairItem>& items = *items_;
    if (step_ == Step::kPlanning) {
        step_ = Step::kPlanned;
        const int repairable = CountOf(items, PlanStatus::kRepairable);
        ok_->setEnabled(repairable > 0);
        summary_->setText(repairable > 0
                              ? tr("%1 of %2 can be repaired. Each original goes to the trash "
                                   "and a checked, repaired copy takes its place.")
                                    .arg(repairable)
                                    .arg(FilesText(items.size()))
                              : tr("None of the %1 can be repaired.").arg(FilesText(items.size())));
    } else {
        step_ = Step::kReported;
        ok_->setText(tr("&Close"));
        ok_->setEnabled(true);
        cancel_->hide();
        summary_->setText(
            tr("%1 of %2 repaired.").arg(RepairedCount(items)).arg(FilesText(items.size())));
    }
    ShowItems();
}

void CRepairDlg::ShowItems() {
    files_->clear();
    const bool planned = step_ != Step::kPlanning;
    for (const RepairItem& item : *items_) {
        auto* row = new QTreeWidgetItem(files_);
        row->setText(0, PathText(std::filesystem::path(item.request.path).filename().string()));
        row->setToolTip(0, PathText(item.request.path));
        row->setText(1, planned ? Utf8(ItemStatusText(item)) : tr("waiting"));
        row->setToolTip(1, row->text(1));
        if (!planned) {
            continue;
        }
        for (const std::string& line : ItemLines(item)) {
            auto* child = new QTreeWidgetItem(row);
            child->setText(1, Utf8(line));
            child->setToolTip(1, child->text(1));
        }
        row->setExpanded(true);
    }
    files_->resizeColumnToContents(0);
}

}  // namespace vandrel
