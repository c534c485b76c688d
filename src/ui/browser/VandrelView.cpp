#include "ui/browser/VandrelView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "store/Log.h"
#include "ui/browser/MainFrame.h"
#include "ui/browser/VandrelTree.h"

namespace vandrel {

CVandrelView::CVandrelView(CMainFrame& frame, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), frame_(frame) {
    // The list first, then the tree, which then goes to the left.
    list_ = new CVandrelList(*this, this);
    tree_ = new CVandrelTree(*this, this);
    insertWidget(0, tree_);
    setChildrenCollapsible(false);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
}

CVandrelView::~CVandrelView() = default;

void CVandrelView::LoadSettings(const SettingsStore& settings) {
    list_->LoadSettings(settings);
    tree_->LoadSettings(settings);
    details_rect_ = QRect(QPoint(settings.GetInt("details_rect", "left", 0),
                                 settings.GetInt("details_rect", "top", 0)),
                          QPoint(settings.GetInt("details_rect", "right", 640) - 1,
                                 settings.GetInt("details_rect", "bottom", 480) - 1));
    // A rectangle beyond the desktop's work area is forgotten.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        if (details_rect_.right() + 1 > area.right() + 1 ||
            details_rect_.bottom() + 1 > area.bottom() + 1) {
            details_rect_ = QRect(0, 0, 640, 480);
        }
    }
    initial_tab_ = settings.GetInt("details", "inittab", 0);
    splitter_position_ = settings.GetInt("view_settings", "splitter_pos", 200);
}

void CVandrelView::SaveSettings(SettingsStore& settings) {
    list_->SaveSettings(settings);
    tree_->SaveSettings(settings);
    settings.SetInt("details_rect", "left", details_rect_.left());
    settings.SetInt("details_rect", "right", details_rect_.right() + 1);
    settings.SetInt("details_rect", "top", details_rect_.top());
    settings.SetInt("details_rect", "bottom", details_rect_.bottom() + 1);
    settings.SetInt("details", "inittab", initial_tab_);
    settings.SetInt("view_settings", "splitter_pos",
                    sizes().isEmpty() ? splitter_position_ : sizes().front());
}

void CVandrelView::FolderSelected(const FolderRef& folder) {
    list_->OnFill(folder.path, true, false);
}

void CVandrelView::PostFilesGiven(std::vector<std::string> paths) {
    QTimer::singleShot(0, list_, [list = list_, paths = std::move(paths)]() mutable {
        list->FilesGiven(std::move(paths));
    });
}

void CVandrelView::RefreshRequest(bool complete) {
    const QRect tree_area(tree_->mapToGlobal(QPoint(0, 0)), tree_->size());
    if (!complete && tree_area.contains(QCursor::pos())) {
        tree_->Refresh();
    } else {
        list_->RefreshRequest(complete);
    }
}

void CVandrelView::FocusSwitch() {
    if (tree_->hasFocus()) {
        list_->setFocus();
    } else {
        tree_->setFocus();
    }
}

void CVandrelView::StatusText(int pane, const QString& text) {
    frame_.SetStatusText(pane, text);
}

void CVandrelView::BusyState(ListBusy state) {
    frame_.SetBusyState(state);
}

void CVandrelView::OpenDetails(const std::string& path) {
    list_->PauseForDetails(true);
    Log("CVandrelView::OnDetails:  ");
    QMessageBox::information(this, tr("Vandrel"),
                             tr("The Details dialog is not available in this version yet.\n\n%1")
                                 .arg(QString::fromStdString(path)));
    // No dialog stays open, so nothing keeps the list paused.
    list_->PauseForDetails(false);
}

void CVandrelView::OpenSettings(int /*page*/) {
    QMessageBox::information(this, tr("Vandrel"),
                             tr("The settings dialog is not available in this version yet."));
}

void CVandrelView::GoToFavourite(const std::string& label, const std::string& encoded) {
    tree_->GoToFavourite(label, encoded);
}

void CVandrelView::ViewStarted() {
    const int total = width() - handleWidth();
    const int left = splitter_position_ < 0 ? total / 2 : splitter_position_;
    setSizes({left, std::max(0, total - left)});
}

}  // namespace vandrel
