#include "ui/details/InfoDlg.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/Findings.h"
#include "engine/verdicts/TextReports.h"
#include "store/Log.h"
#include "ui/common/QtMessageTarget.h"
#include "ui/details/DetailsPages.h"
#include "ui/details/TextInfoPage.h"

namespace vandrel {

namespace {

// The feature bit that gives a file kind a progress bar: its scan walks the
// frames, so it takes time worth showing.
constexpr int kFeatureProgress = 1;
// How often a closed dialog looks whether its worker has ended.
constexpr int kWorkerWatchMs = 10;
// Room between the progress bar and the buttons.
constexpr int kProgressGap = 20;
// Room around the tab area's pages, as in the dialog's margins.
constexpr int kPageMargin = 10;
constexpr QSize kDefaultSize(640, 480);
constexpr QSize kMinimumSize(420, 320);

}  // namespace

CInfoDlg::CInfoDlg(std::string path, int initial_tab, QSize size, QWidget* view)
    : QDialog(view), path_(std::move(path)), record_(ZeroRecord()), current_tab_(initial_tab),
      pump_([this](Message& message) { return TakeWorkerMessage(message); }) {
    // Records are snapshots of one growing scan: of several that came at once
    // only the newest needs showing.
    pump_.KeepNewestOnly(kMsgRecordCopy);
    setObjectName("Details Dialog");
    setModal(false);
    setSizeGripEnabled(true);
    setMinimumSize(kMinimumSize);

    pages_ = new CDetailsPages(this);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    go_to_folder_ = new QPushButton(tr("&Go To Folder"), this);
    refresh_ = new QPushButton(tr("&Refresh"), this);
    copy_ = new QPushButton(tr("Copy &Info"), this);
    close_ = new QPushButton(tr("Close"), this);
    for (QPushButton* button : {go_to_folder_, refresh_, copy_}) {
        button->setAutoDefault(false);
    }
    close_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(progress_, 1);
    buttons->addSpacing(kProgressGap);
    buttons->addStretch();
    buttons->addWidget(go_to_folder_);
    buttons->addWidget(refresh_);
    buttons->addWidget(copy_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    connect(close_, &QPushButton::clicked, this, &CInfoDlg::reject);
    connect(copy_, &QPushButton::clicked, this, &CInfoDlg::CopyInfo);
    connect(refresh_, &QPushButton::clicked, this, &CInfoDlg::Refresh);
    connect(go_to_folder_, &QPushButton::clicked, this, &CInfoDlg::GoToFolder);
    connect(pages_, &CDetailsPages::TabSelected, this, [this](int tab) {
        if (CMediaFileInterface* file = wrapper_.File()) {
            file->ShowPage(tab);
        }
    });
    connect(pages_, &CDetailsPages::PageAreaResized, this, [this](const PageRect& rect) {
        if (CMediaFileInterface* file = wrapper_.File()) {
            file->MovePages(rect);
        }
    });
    // Ctrl+Tab and Ctrl+PgDown step through the tabs, as in other tabbed windows.
    const auto step_tab = [this](int step) {
        const int count = pages_->TabBar()->count();
        if (count > 0) {
            pages_->SelectTab((pages_->TabBar()->currentIndex() + step + count) % count);
        }
    };
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [=] { step_tab(1); });
    }
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                     QKeySequence(Qt::CTRL | Qt::Key_PageUp)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [=] { step_tab(-1); });
    }
    connect(new QShortcut(QKeySequence::Refresh, this), &QShortcut::activated, this, [this] {
        if (refresh_->isEnabled()) {
            Refresh();
        }
    });

    resize(size.isValid() ? size.expandedTo(kMinimumSize) : kDefaultSize);
}

CInfoDlg::~CInfoDlg() {
    pump_.Detach();
    if (worker_) {
        worker_->cancel_event.Set();
        worker_.reset();  // waits for the thread
    }
    // The media file's pages are children of the page host, which outlives
    // the file: wrapper_ goes with the members, the widgets after them.
}

void CInfoDlg::Start() {
    Log("CInfoDlg::OnInitDialog ");
    setWindowTitle(QString::fromStdString(path_));
    if (QWidget* view = parentWidget()) {
        const QPoint centre = view->mapToGlobal(view->rect().center());
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(centre);
        // Keep the whole window on the screen the view is on.
        if (const QScreen* screen = view->screen()) {
            const QRect area = screen->availableGeometry();
            frame.moveLeft(std::clamp(frame.left(), area.left(),
                                      std::max(area.left(), area.right() + 1 - frame.width())));
            frame.moveTop(std::clamp(frame.top(), area.top(),
                                     std::max(area.top(), area.bottom() + 1 - frame.height())));
        }
        move(frame.topLeft());
    }
    show();
    Refresh();
}

void CInfoDlg::SetBusy(bool busy) {
    busy_ = busy;
    emit BusyChanged();
}

void CInfoDlg::Refresh() {
    if (closing_ || (worker_ && !worker_->done_event.IsSet())) {
        return;
    }
    SetBusy(true);
    if (pages_->TabBar()->currentIndex() >= 0) {
        current_tab_ = pages_->TabBar()->currentIndex();
    }
    wrapper_.ReleaseFrameData();
    worker_.reset();
    wrapper_.Drop();
    pages_->RemoveTabs();
    record_ = ZeroRecord();

    if (!wrapper_.Attach(path_)) {
        QMessageBox::information(
            QApplication::activeWindow(), QApplication::applicationDisplayName(),
            MessageText("File not found or unrecognized filetype:\r\n" + path_));
        EndAfterFailure();
        return;
    }
    CMediaFileInterface* file = wrapper_.File();
    if (file == nullptr || !file->CreatePages(font().family().toStdString(), *pages_, 0)) {
        QMessageBox::critical(QApplication::activeWindow(), tr("Error"),
                              tr("Failed to initialize data windows..."));
        EndAfterFailure();
        return;
    }
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setVisible((wrapper_.GetFeatureMask() & kFeatureProgress) != 0);
    file->MovePages(pages_->PageAreaRect());
    Log("CInfoDlg::OnRefresh beginning thread");
    refresh_->setEnabled(false);
    copy_->setEnabled(false);
    worker_ = std::make_unique<CDetailsThread>();
    worker_->Start(pump_.target(), &wrapper_, std::make_shared<QtUserNotifier>());
    if (current_tab_ < 0 || current_tab_ >= pages_->TabBar()->count()) {
        current_tab_ = 0;
    }
    pages_->SelectTab(current_tab_);
}

void CInfoDlg::EndAfterFailure() {
    wrapper_.Drop();
    closing_ = true;
    hide();
    // Closed is emitted from the event loop, so that the view never deletes
    // the dialog inside one of its own calls.
    QMetaObject::invokeMethod(
        this, [this] { emit Closed(this); }, Qt::QueuedConnection);
}

bool CInfoDlg::TakeWorkerMessage(Message& message) {
    if (closing_) {
        return false;  // the window is gone; what the messages carry is freed
    }
    if (message.id == kMsgRecordCopy) {
        if (auto* record = std::get_if<std::unique_ptr<ScanRecord>>(&message.payload)) {
            RecordProgress(**record);
        }
    } else if (message.id == kMsgProgress) {
        if (auto* series = std::get_if<std::unique_ptr<FrameSeries>>(&message.payload)) {
            Finished(std::move(*series));
        }
    } else if (message.id == kMsgCloseRequest) {
        reject();
        return false;
    }
    return true;
}

int CInfoDlg::ProgressPercent(const ScanRecord& record) {
    if (!(record.length_seconds > 0) || record.sample_rate <= 0) {
        return 0;
    }
    // Samples per frame: 1152 for MPEG-1, 576 for MPEG-2 and 2.5.
    const double samples =
        static_cast<double>(record.frames) * 576.0 * (record.is_mpeg1 != 0 ? 2.0 : 1.0);
    const double percent =
        samples / record.sample_rate * 100.0 / static_cast<double>(record.length_seconds);
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

void CInfoDlg::RecordProgress(const ScanRecord& record) {
    record_ = record;
    AttributeTexts texts;
    record_.quality_class = BuildAttributeTexts(texts, record_, false);
    progress_->setValue(ProgressPercent(record_));
    if (CMediaFileInterface* file = wrapper_.File()) {
        file->SetScanResult(record_);
    }
}

void CInfoDlg::Finished(std::unique_ptr<FrameSeries> series) {
    if (CMediaFileInterface* file = wrapper_.File()) {
        file->UpdatePages(record_, series.get());
    }
    series.reset();
    // The worker has filled the checks by the time it sends the series.
    const QString findings = QString::fromStdString(
        FindingsReport(CollectFindings(record_, worker_ ? worker_->checks() : FileChecks{})));
    for (CTextInfoDlg* page : pages_->findChildren<CTextInfoDlg*>()) {
        page->SetFindings(findings);
    }
    progress_->setValue(0);
    progress_->hide();
    refresh_->setEnabled(true);
    copy_->setEnabled(true);
    SetBusy(false);
}

void CInfoDlg::CopyInfo() {
    AttributeTexts texts;
    BuildAttributeTexts(texts, record_, false);
    texts[kSlotName] = path_;
    QApplication::clipboard()->setText(QString::fromStdString(BuildInfoReport(texts, record_)));
}

std::string CInfoDlg::FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

void CInfoDlg::GoToFolder() {
    const std::string folder = FolderOf(path_);
    if (folder.empty()) {
        QMessageBox::warning(this, tr("Vandrel"), tr("Unable to obtain file directory."));
        return;
    }
    emit FolderRequested(folder);
}

void CInfoDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

void CInfoDlg::reject() {
    if (closing_) {
        return;
    }
    closing_ = true;
    if (CMediaFileInterface* file = wrapper_.File()) {
        file->StorePageState();
    }
    last_rect_ = geometry();
    current_tab_ = pages_->TabBar()->currentIndex();
    hide();
    if (worker_) {
        worker_->cancel_event.Set();
    }
    AwaitWorker();
}

void CInfoDlg::AwaitWorker() {
    // The worker ends at its next progress call; the window is gone already,
    // so the wait costs the user nothing and the event loop keeps running.
    if (!worker_ || worker_->done_event.IsSet()) {
        QMetaObject::invokeMethod(
            this, [this] { emit Closed(this); }, Qt::QueuedConnection);
        return;
    }
    worker_watch_ = new QTimer(this);
    connect(worker_watch_, &QTimer::timeout, this, [this] {
        if (worker_->done_event.IsSet()) {
            worker_watch_->stop();
            emit Closed(this);
        }
    });
    worker_watch_->start(kWorkerWatchMs);
}

}  // namespace vandrel
