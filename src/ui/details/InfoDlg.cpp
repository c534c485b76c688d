#include "ui/details/InfoDlg.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QVBoxLayout>

#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/TextReports.h"
#include "store/Log.h"
#include "ui/common/QtMessageTarget.h"
#include "ui/details/DetailsPages.h"

namespace vandrel {

namespace {

// Room around the tab area's pages, as in the dialog's margins.
constexpr int kPageMargin = 10;
constexpr QSize kDefaultSize(640, 480);
constexpr QSize kMinimumSize(420, 320);

}  // namespace

CInfoDlg::CInfoDlg(std::string path, int initial_tab, QSize size, QWidget* view)
    : QDialog(view), current_tab_(initial_tab),
      scan_(std::move(path),
            {.progressed = [this](int percent) { buttons_->progress_bar().setValue(percent); },
             .finished = [this] { Finished(); },
             .close_requested = [this] { reject(); }}) {
    setObjectName("Details Dialog");
    setModal(false);
    setSizeGripEnabled(true);
    setMinimumSize(kMinimumSize);

    pages_ = new CDetailsPages(this);
    buttons_ = std::make_unique<CDetailsButtons>(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons_->layout());

    connect(&buttons_->close_button(), &QPushButton::clicked, this, &CInfoDlg::reject);
    connect(&buttons_->copy_button(), &QPushButton::clicked, this, &CInfoDlg::CopyInfo);
    connect(&buttons_->refresh_button(), &QPushButton::clicked, this, &CInfoDlg::Refresh);
    connect(&buttons_->go_to_folder_button(), &QPushButton::clicked, this, &CInfoDlg::GoToFolder);
    connect(pages_, &CDetailsPages::TabSelected, this, [this](int tab) {
        if (CMediaFileInterface* file = scan_.file()) {
            file->ShowPage(tab);
        }
    });
    connect(pages_, &CDetailsPages::PageAreaResized, this, [this](const PageRect& rect) {
        if (CMediaFileInterface* file = scan_.file()) {
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
        if (buttons_->refresh_button().isEnabled()) {
            Refresh();
        }
    });

    resize(size.isValid() ? size.expandedTo(kMinimumSize) : kDefaultSize);
}

void CInfoDlg::Start() {
    Log("CInfoDlg::OnInitDialog ");
    setWindowTitle(QString::fromStdString(scan_.path()));
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
    // A decode for the spectrum after the scan is cancelled by the new scan.
    if (scan_.closed() || scan_.scanning()) {
        return;
    }
    SetBusy(true);
    if (pages_->TabBar()->currentIndex() >= 0) {
        current_tab_ = pages_->TabBar()->currentIndex();
    }
    switch (scan_.Open(*pages_, font().family().toStdString())) {
    case DetailsOpen::kOpened:
        break;
    case DetailsOpen::kNoFile:
        QMessageBox::information(
            QApplication::activeWindow(), QApplication::applicationDisplayName(),
            MessageText("File not found or unrecognized filetype:\r\n" + scan_.path()));
        EndAfterFailure();
        return;
    case DetailsOpen::kNoPages:
        QMessageBox::critical(QApplication::activeWindow(), tr("Error"),
                              tr("Failed to initialize data windows..."));
        EndAfterFailure();
        return;
    }
    buttons_->ShowScanning(scan_.shows_progress());
    scan_.Run();
    if (current_tab_ < 0 || current_tab_ >= pages_->TabBar()->count()) {
        current_tab_ = 0;
    }
    pages_->SelectTab(current_tab_);
}

void CInfoDlg::EndAfterFailure() {
    scan_.DropFile();
    scan_.Close();
    hide();
    // Closed is emitted from the event loop, so that the view never deletes
    // the dialog inside one of its own calls.
    QMetaObject::invokeMethod(
        this, [this] { emit Closed(this); }, Qt::QueuedConnection);
}

void CInfoDlg::Finished() {
    buttons_->ShowFinished();
    SetBusy(false);
}

void CInfoDlg::CopyInfo() {
    AttributeTexts texts;
    BuildAttributeTexts(texts, scan_.record(), false);
    texts[kSlotName] = scan_.path();
    QApplication::clipboard()->setText(
        QString::fromStdString(BuildInfoReport(texts, scan_.record())));
}

std::string CInfoDlg::FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

void CInfoDlg::GoToFolder() {
    const std::string folder = FolderOf(scan_.path());
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
    if (scan_.closed()) {
        return;
    }
    scan_.Close();
    if (CMediaFileInterface* file = scan_.file()) {
        file->StorePageState();
    }
    last_rect_ = geometry();
    current_tab_ = pages_->TabBar()->currentIndex();
    hide();
    scan_.WhenEnded(this, [this] { emit Closed(this); });
}

}  // namespace vandrel
