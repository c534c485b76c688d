#include "ui/browser/VandrelView.h"

#include <algorithm>
#include <cstdint>

#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "engine/core/SettingsTable.h"
#include "store/Log.h"
#include "ui/browser/MainFrame.h"
#include "ui/browser/VandrelTree.h"
#include "ui/browser/WindowPlacement.h"
#include "ui/details/InfoDlg.h"

namespace vandrel {

namespace {

// Where the last Details dialog was ("details_rect"), right and bottom
// outside it.
struct DetailsPlacement {
    int left = 0;
    int right = 640;
    int top = 0;
    int bottom = 480;
};
constexpr auto kDetailsPlacementKeys = std::to_array<SettingKey<DetailsPlacement>>({
    Key<&DetailsPlacement::left>("left"),
    Key<&DetailsPlacement::right>("right"),
    Key<&DetailsPlacement::top>("top"),
    Key<&DetailsPlacement::bottom>("bottom"),
});

struct ViewSettings {
    int initial_tab = 0;          // "details"/"inittab": the tab a Details dialog opens on
    int splitter_position = 200;  // "view_settings"/"splitter_pos": the tree's width
};
constexpr auto kDetailsKeys = std::to_array<SettingKey<ViewSettings>>({
    Key<&ViewSettings::initial_tab>("inittab"),
});
constexpr auto kViewKeys = std::to_array<SettingKey<ViewSettings>>({
    Key<&ViewSettings::splitter_position>("splitter_pos"),
});

}  // namespace

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
    DetailsPlacement placement;
    LoadSettingKeys(settings, "details_rect", kDetailsPlacementKeys, placement);
    details_rect_ = RectFromEdges(placement.left, placement.top, placement.right, placement.bottom);
    // A rectangle beyond the desktop's work area is forgotten, and so is one
    // that encloses nothing or more than a window can be.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
    if (!details_rect_.isValid() ||
        (area.isValid() &&
         (int64_t{details_rect_.right()} > area.right() ||
          int64_t{details_rect_.bottom()} > area.bottom() || details_rect_.width() > area.width() ||
          details_rect_.height() > area.height()))) {
        details_rect_ = QRect(0, 0, 640, 480);
    }
    ViewSettings view;
    LoadSettingKeys(settings, "details", kDetailsKeys, view);
    LoadSettingKeys(settings, "view_settings", kViewKeys, view);
    initial_tab_ = view.initial_tab;
    splitter_position_ = view.splitter_position;
}

void CVandrelView::SaveSettings(SettingsStore& settings) {
    list_->SaveSettings(settings);
    tree_->SaveSettings(settings);
    const DetailsPlacement placement{details_rect_.left(), details_rect_.right() + 1,
                                     details_rect_.top(), details_rect_.bottom() + 1};
    SaveSettingKeys(settings, "details_rect", kDetailsPlacementKeys, placement);
    const ViewSettings view{initial_tab_, sizes().isEmpty() ? splitter_position_ : sizes().front()};
    SaveSettingKeys(settings, "details", kDetailsKeys, view);
    SaveSettingKeys(settings, "view_settings", kViewKeys, view);
}

void CVandrelView::FolderSelected(const FolderRef& folder) {
    list_->OnFill(folder.path, ListReadDepth::kFrameLimit);
}

void CVandrelView::PostFilesGiven(std::vector<std::string> paths) {
    QTimer::singleShot(0, list_, [list = list_, paths = std::move(paths)]() mutable {
        list->loader().FilesGiven(std::move(paths));
    });
}

void CVandrelView::RefreshRequest(ListReadDepth depth) {
    const QRect tree_area(tree_->mapToGlobal(QPoint(0, 0)), tree_->size());
    if (depth == ListReadDepth::kFrameLimit && tree_area.contains(QCursor::pos())) {
        tree_->Refresh();
    } else {
        list_->RefreshRequest(depth);
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
    list_->loader().scanner().PauseForDetails(true);
    Log("CVandrelView::OnDetails:  ");
    // A new dialog opens at the size of the last one closed, centred on the view.
    auto* dialog = new CInfoDlg(path, initial_tab_, details_rect_.size(), this);
    connect(dialog, &CInfoDlg::BusyChanged, this, &CVandrelView::DetailsBusyChanged);
    connect(dialog, &CInfoDlg::Closed, this, &CVandrelView::DetailsClosed);
    connect(dialog, &CInfoDlg::FolderRequested, this,
            [this](const std::string& folder) { GoToFavourite(folder, ""); });
    details_.push_back(dialog);
    dialog->Start();
}

void CVandrelView::DetailsClosed(CInfoDlg* dialog) {
    const auto found = std::find(details_.begin(), details_.end(), dialog);
    if (found == details_.end()) {
        return;
    }
    // A dialog that ended before it was shown has no place to remember.
    if (dialog->last_rect().isValid()) {
        details_rect_ = dialog->last_rect();
        initial_tab_ = std::max(0, dialog->current_tab());
    }
    details_.erase(found);
    dialog->deleteLater();
    DetailsBusyChanged();
}

void CVandrelView::DetailsBusyChanged() {
    list_->loader().scanner().PauseForDetails(std::any_of(
        details_.begin(), details_.end(), [](const CInfoDlg* dialog) { return dialog->busy(); }));
}

void CVandrelView::OpenSettings(int page) {
    frame_.OpenSettings(page);
}

void CVandrelView::GoToFavourite(const std::string& label, const std::string& encoded) {
    tree_->BeginExpand(label, encoded);
}

void CVandrelView::ViewStarted() {
    const int total = std::max(0, width() - handleWidth());
    // A negative position centres the splitter; none goes past the view.
    const int left = splitter_position_ < 0 ? total / 2 : std::min(splitter_position_, total);
    setSizes({left, std::max(0, total - left)});
}

}  // namespace vandrel
