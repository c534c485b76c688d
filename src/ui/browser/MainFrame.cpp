#include "ui/browser/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/core/SettingsTable.h"
#include "store/DataPaths.h"
#include "store/Log.h"
#include "store/ProcessValues.h"
#include "ui/browser/ListFileActions.h"
#include "ui/browser/VandrelList.h"
#include "ui/browser/VandrelTree.h"
#include "ui/browser/VandrelView.h"
#include "ui/browser/WindowPlacement.h"
#include "ui/settings/OtherPages.h"
#include "ui/settings/SettingsSheet.h"

namespace vandrel {

struct CMainFrame::Actions {
    QAction* export_files;
    QAction* exit;
    QAction* cut;
    QAction* copy;
    QAction* paste;
    QAction* remove;
    QAction* rename;
    QAction* select_all;
    QAction* select_none;
    QAction* show_toolbar;
    QAction* show_animation;
    QAction* show_status_bar;
    QAction* refresh;
    QAction* complete_scan;
    QAction* problems_only;
    QAction* add_favourite;
    QAction* organize;
    QAction* settings;
    QAction* about;
    QAction* documentation;
    QAction* view_log;
    QAction* logging;
    QAction* view_cache;
    QAction* pause;
    QAction* stop;
};

namespace {

// The window's place as the settings keep it ("mainframe"): the last normal
// rectangle, its right and bottom edges outside it, and whether it was
// maximised. The first start opens 1180 x 680: the tree's 200 pixels and the
// default columns' 925 with the scroll bar and the frames, on a screen of
// 1366 x 768 with its panels (a smaller screen fits it to itself).
struct FramePlacement {
    int bottom = 730;
    int top = 50;
    int left = 10;
    int right = 1190;
    bool maximize = false;
};
constexpr auto kPlacementKeys = std::to_array<SettingKey<FramePlacement>>({
    Key<&FramePlacement::bottom>("bottom"),
    Key<&FramePlacement::top>("top"),
    Key<&FramePlacement::left>("left"),
    Key<&FramePlacement::right>("right"),
    Key<&FramePlacement::maximize>("maximize"),
});

// "global": the logging switch.
struct GlobalSettings {
    bool logging = true;
};
constexpr auto kGlobalKeys = std::to_array<SettingKey<GlobalSettings>>({
    Key<&GlobalSettings::logging>("logging"),
});
// The first status pane is at least this wide, the second this wide.
constexpr int kPaneWidth = 200;

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// Runs an action when its key is pressed in the watched widget.
class KeyFilter : public QObject {
public:
    KeyFilter(int key, std::function<void()> action) : key_(key), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key_) {
            action_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int key_;
    std::function<void()> action_;
};

}  // namespace

CMainFrame::CMainFrame() : actions_(std::make_unique<Actions>()) {
    setWindowTitle(QStringLiteral("Vandrel"));
    view_ = new CVandrelView(*this, this);
    setCentralWidget(view_);
    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    SetBusyState(ListBusy::kIdle);
}

CMainFrame::~CMainFrame() {
    // The list's worker scans with the cache: it ends with the view, before
    // the cache goes.
    delete view_;
    view_ = nullptr;
    cache_scope_.reset();
    cache_.reset();
}

// --- settings ---------------------------------------------------------------

void CMainFrame::LoadSettings(const SettingsStore& settings) {
    favourites_.Load(settings);
    view_->LoadSettings(settings);
    actions_->problems_only->setChecked(view_->list().settings().problems_only);
    FramePlacement placement;
    LoadSettingKeys(settings, "mainframe", kPlacementKeys, placement);
    normal_rect_ = RectFromEdges(placement.left, placement.top, placement.right, placement.bottom);
    if (!normal_rect_.isValid()) {
        const FramePlacement defaults;
        normal_rect_ = RectFromEdges(defaults.left, defaults.top, defaults.right, defaults.bottom);
    }
    maximized_ = placement.maximize;
    // Each run starts with a fresh log, which the stored switch lets the
    // lines into or not.
    StartLogFile(LogFilePath());
    GlobalSettings global;
    LoadSettingKeys(settings, "global", kGlobalKeys, global);
    logging_ = global.logging;
    SetLogging(logging_);
    actions_->logging->setChecked(logging_);

    cache_scope_.reset();
    cache_ = std::make_unique<CDataCache>(DefaultCacheFilePath());
    cache_scope_ = std::make_unique<AnalysisCacheScope>(cache_.get());
    cache_->LoadSettings(settings);
    cache_->Load();
    RebuildFavouritesMenu();
}

void CMainFrame::OpenSettings(int page) {
    CVandrelList& list = view_->list();
    CVandrelTree& tree = view_->tree();
    list.SettingsToPages();
    tree.SettingsToPages();
    cache_->SettingsToPages();
    SettingsSheet sheet(this);
    list.AddSettingsPages(sheet);
    tree.AddSettingsPages(sheet);
    // The cache knows nothing of widgets: its page is made here.
    sheet.AddPage(new CPropCache(cache_->Page()));
    sheet.OpenOn(page);
    if (sheet.exec() != QDialog::Accepted) {
        return;
    }
    tree.PagesToSettings();
    list.PagesToSettings();
    QtUserQuestion question;
    cache_->SetQuestion(&question);
    cache_->PagesToSettings();
    cache_->SetQuestion(nullptr);
}

void CMainFrame::SaveSettings(SettingsStore& settings) {
    favourites_.Save(settings);
    view_->SaveSettings(settings);
    const QRect rect = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    if (rect.isValid()) {
        normal_rect_ = rect;
    }
    const FramePlacement placement{normal_rect_.bottom() + 1, normal_rect_.top(),
                                   normal_rect_.left(), normal_rect_.right() + 1, isMaximized()};
    SaveSettingKeys(settings, "mainframe", kPlacementKeys, placement);
    SaveSettingKeys(settings, "global", kGlobalKeys, GlobalSettings{LoggingEnabled()});
    if (cache_) {
        cache_->SaveSettings(settings);
        std::string error;
        if (!cache_->Save(&error)) {
            Log([&] { return "CMainFrame::SaveSettings: cache not saved: " + error; });
        }
    }
}

void CMainFrame::Start(const std::vector<std::string>& arguments) {
    // A place saved on a screen that is gone, or larger than this one, is
    // brought onto the screen.
    const QScreen* screen = QGuiApplication::screenAt(normal_rect_.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        normal_rect_ = FitIntoArea(normal_rect_, screen->availableGeometry());
    }
    setGeometry(normal_rect_);
    if (maximized_) {
        showMaximized();
    } else {
        show();
    }
    view_->ViewStarted();
    view_->tree().StartUp(arguments);
}

void CMainFrame::PrepareShutdown() {
    if (shut_down_) {
        return;
    }
    shut_down_ = true;
    view_->list().loader().StopWorker();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    PrepareShutdown();
    event->accept();
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (!isMaximized() && !isMinimized()) {
        normal_rect_ = geometry();
    }
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!isMaximized() && !isMinimized()) {
        normal_rect_ = geometry();
    }
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        maximized_ = isMaximized();
    }
}

// --- menus, toolbar, status bar ---------------------------------------------

void CMainFrame::CreateActions() {
    Actions& a = *actions_;
    auto make = [this](const QString& text, const QString& tip = {}) {
        auto* action = new QAction(text, this);
        action->setStatusTip(tip);
        return action;
    };
    a.export_files = make(tr("&Export..."), tr("Export current information as a text file"));
    a.export_files->setIcon(ThemeIcon("document-save-as", QStyle::SP_DialogSaveButton));
    connect(a.export_files, &QAction::triggered, this, [this] { view_->list().ExportRequest(); });
    a.exit = make(tr("E&xit"), tr("Quit Vandrel"));
    a.exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(a.exit, &QAction::triggered, this, &QWidget::close);

    a.cut = make(tr("Cu&t"));
    a.cut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    a.cut->setIcon(QIcon::fromTheme(QStringLiteral("edit-cut")));
    connect(a.cut, &QAction::triggered, this, [this] { Edit(EditCommand::kCut); });
    a.copy = make(tr("&Copy"));
    a.copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    a.copy->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy")));
    connect(a.copy, &QAction::triggered, this, [this] { Edit(EditCommand::kCopy); });
    a.paste = make(tr("&Paste"));
    a.paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    a.paste->setIcon(QIcon::fromTheme(QStringLiteral("edit-paste")));
    connect(a.paste, &QAction::triggered, this, [this] { Edit(EditCommand::kPaste); });
    a.remove = make(tr("&Delete"), tr("Delete the currently selected item"));
    a.remove->setShortcut(QKeySequence(Qt::Key_Delete));
    a.remove->setShortcutContext(Qt::WidgetShortcut);  // the list handles its own Del key
    connect(a.remove, &QAction::triggered, this,
            [this] { view_->list().actions().MoveSelectedToTrash(); });
    a.rename = make(tr("&Rename"), tr("Rename the currently selected item"));
    a.rename->setShortcut(QKeySequence(Qt::Key_F2));
    connect(a.rename, &QAction::triggered, this,
            [this] { view_->list().actions().RenameRequest(); });
    a.select_all = make(tr("&Select All"), tr("Select all items on list"));
    a.select_all->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    connect(a.select_all, &QAction::triggered, this, [this] { view_->list().selectAll(); });
    a.select_none = make(tr("Select &None"), tr("Select no items on list"));
    a.select_none->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(a.select_none, &QAction::triggered, this, [this] { view_->list().clearSelection(); });

    a.show_toolbar = make(tr("&Toolbar"));
    a.show_animation = make(tr("&Animation"), tr("Show or hide the animation"));
    a.show_status_bar = make(tr("&Status Bar"));
    for (QAction* toggle : {a.show_toolbar, a.show_animation, a.show_status_bar}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    a.refresh = make(tr("&Refresh"), tr("Refresh list"));
    a.refresh->setShortcut(QKeySequence(Qt::Key_F5));
    a.refresh->setIcon(ThemeIcon("view-refresh", QStyle::SP_BrowserReload));
    connect(a.refresh, &QAction::triggered, this,
            [this] { view_->RefreshRequest(ReadDepth::kFrameLimit); });
    a.complete_scan = make(tr("&Complete Scan"), tr("Scan all frames of all files in this folder"));
    a.complete_scan->setShortcut(QKeySequence(Qt::Key_F6));
    a.complete_scan->setIcon(ThemeIcon("media-seek-forward", QStyle::SP_MediaSeekForward));
    connect(a.complete_scan, &QAction::triggered, this,
            [this] { view_->RefreshRequest(ReadDepth::kEveryFrame); });
    a.problems_only =
        make(tr("Problem files only"), tr("List only the files whose analysis found a problem"));
    a.problems_only->setToolTip(
        tr("List only the files whose analysis found a problem; files not analysed yet stay "
           "listed until they are found clean"));
    a.problems_only->setIcon(ThemeIcon("dialog-warning", QStyle::SP_MessageBoxWarning));
    a.problems_only->setCheckable(true);
    connect(a.problems_only, &QAction::toggled, this,
            [this](bool on) { view_->list().SetProblemsOnly(on); });

    a.add_favourite = make(tr("&Add Current"), tr("Add current folder as a favourite"));
    a.add_favourite->setIcon(ThemeIcon("bookmark-new", QStyle::SP_DirLinkIcon));
    connect(a.add_favourite, &QAction::triggered, this, &CMainFrame::AddCurrentFavourite);
    a.organize = make(tr("&Organize..."));
    connect(a.organize, &QAction::triggered, this, &CMainFrame::OrganizeFavourites);

    a.settings = make(tr("&Settings..."), tr("Display program settings"));
    a.settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    a.settings->setIcon(ThemeIcon("preferences-system", QStyle::SP_FileDialogDetailedView));
    connect(a.settings, &QAction::triggered, this, [this] { OpenSettings(0); });
    a.about = make(tr("&About Vandrel..."));
    a.about->setIcon(ThemeIcon("help-about", QStyle::SP_MessageBoxInformation));
    connect(a.about, &QAction::triggered, this, &CMainFrame::ShowAbout);
    a.documentation = make(tr("Online Do&cumentation"));
    connect(a.documentation, &QAction::triggered, this, [this] {
        // The guide that comes with the program: installed beside it, or the
        // one of the build tree when it runs from there.
        const std::string guide = UserGuidePath();
        if (guide.empty()) {
            Log("CMainFrame: no user guide found");
            QMessageBox::information(this, tr("Vandrel"), tr("The user guide is not installed."));
            return;
        }
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(guide.c_str())))) {
            Log([&] { return "CMainFrame: cannot open " + guide; });
            QMessageBox::information(this, tr("Vandrel"),
                                     tr("The user guide could not be opened:\n\n%1")
                                         .arg(QFile::decodeName(guide.c_str())));
        }
    });

    a.view_log = make(tr("&View LOG File"));
    connect(a.view_log, &QAction::triggered, this, &CMainFrame::ViewLogFile);
    a.logging = make(tr("&Logging"), tr("Control logging of various actions..."));
    a.logging->setCheckable(true);
    a.logging->setChecked(true);
    connect(a.logging, &QAction::toggled, this, &CMainFrame::ToggleLogging);
    a.view_cache = make(tr("&View Cache"));

    a.pause = make(tr("Pause"), tr("Pause or resume loading the list"));
    connect(a.pause, &QAction::triggered, this,
            [this] { view_->list().loader().scanner().TogglePause(); });
    a.stop = make(tr("Stop"), tr("Stop loading list"));
    a.stop->setIcon(ThemeIcon("process-stop", QStyle::SP_BrowserStop));
    a.stop->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(a.stop, &QAction::triggered, this,
            [this] { view_->list().loader().scanner().StopLoading(); });
    pause_action_ = a.pause;

    // Keys without a menu entry.
    auto* focus_next = new QShortcut(QKeySequence(Qt::Key_Tab), this);
    connect(focus_next, &QShortcut::activated, this, [this] { view_->FocusSwitch(); });
    auto* focus_previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Backtab), this);
    connect(focus_previous, &QShortcut::activated, this, [this] { view_->FocusSwitch(); });
    addAction(a.stop);
}

void CMainFrame::CreateMenus() {
    Actions& a = *actions_;
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(a.export_files);
    file->addSeparator();
    file->addAction(a.exit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addActions({a.cut, a.copy, a.paste});
    edit->addSeparator();
    edit->addActions({a.remove, a.rename});
    edit->addSeparator();
    edit->addActions({a.select_all, a.select_none});

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addActions({a.show_toolbar, a.show_animation, a.show_status_bar});
    view->addSeparator();
    view->addActions({a.refresh, a.complete_scan});
    view->addSeparator();
    view->addAction(a.problems_only);

    favourites_menu_ = menuBar()->addMenu(tr("&Favourites"));
    RebuildFavouritesMenu();

    QMenu* options = menuBar()->addMenu(tr("&Options"));
    options->addAction(a.settings);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(a.about);
    help->addAction(a.documentation);

    QMenu* debug = menuBar()->addMenu(tr("&Debug"));
    debug->addActions({a.view_log, a.logging, a.view_cache});
}

void CMainFrame::CreateToolBars() {
    Actions& a = *actions_;
    tool_bar_ = addToolBar(tr("Toolbar"));
    tool_bar_->setObjectName(QStringLiteral("toolbar"));
    tool_bar_->setMovable(false);
    tool_bar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tool_bar_->addAction(a.export_files);
    tool_bar_->addSeparator();
    tool_bar_->addActions({a.cut, a.copy, a.paste});
    tool_bar_->addSeparator();
    tool_bar_->addActions({a.refresh, a.complete_scan, a.pause, a.stop});
    tool_bar_->addSeparator();
    tool_bar_->addAction(a.problems_only);
    tool_bar_->addSeparator();
    // The favourite button's arrow opens the favourites, right below it.
    auto* favourite_button = new QToolButton(tool_bar_);
    favourite_button->setDefaultAction(a.add_favourite);
    favourite_button->setText(tr("Add Favourite"));
    favourite_button->setMenu(favourites_menu_);
    favourite_button->setPopupMode(QToolButton::MenuButtonPopup);
    favourite_button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tool_bar_->addWidget(favourite_button);
    tool_bar_->addAction(a.settings);
    tool_bar_->addSeparator();
    tool_bar_->addAction(a.about);

    animation_bar_ = addToolBar(tr("Animation"));
    animation_bar_->setObjectName(QStringLiteral("animation"));
    animation_bar_->setMovable(false);
    busy_indicator_ = new BusyIndicator(animation_bar_);
    animation_bar_->addWidget(busy_indicator_);

    connect(a.show_toolbar, &QAction::toggled, tool_bar_, &QWidget::setVisible);
    connect(a.show_animation, &QAction::toggled, animation_bar_, &QWidget::setVisible);
}

void CMainFrame::CreateStatusBar() {
    for (size_t i = 0; i < panes_.size(); ++i) {
        panes_[i] = new QLabel(this);
        panes_[i]->setTextInteractionFlags(Qt::NoTextInteraction);
        if (i == static_cast<size_t>(kPaneMain)) {
            // A summary under the problems filter is longer: the pane grows.
            panes_[i]->setMinimumWidth(kPaneWidth);
            statusBar()->addWidget(panes_[i]);
        } else if (i + 1 < panes_.size()) {
            panes_[i]->setFixedWidth(kPaneWidth);
            statusBar()->addWidget(panes_[i]);
        } else {
            statusBar()->addWidget(panes_[i], 1);
        }
    }
    panes_[0]->setText(tr("Ready"));
    connect(actions_->show_status_bar, &QAction::toggled, statusBar(), &QWidget::setVisible);
}

void CMainFrame::SetStatusText(int pane, const QString& text) {
    if (pane >= 0 && static_cast<size_t>(pane) < panes_.size()) {
        panes_[static_cast<size_t>(pane)]->setText(text);
    }
}

QString CMainFrame::StatusPaneText(int pane) const {
    return pane >= 0 && static_cast<size_t>(pane) < panes_.size()
               ? panes_[static_cast<size_t>(pane)]->text()
               : QString();
}

void CMainFrame::SetBusyState(ListBusy state) {
    busy_indicator_->SetRunning(state == ListBusy::kScanning || state == ListBusy::kResumed);
    pause_action_->setEnabled(state != ListBusy::kIdle);
    const bool paused = state == ListBusy::kPaused;
    pause_action_->setText(paused ? tr("Resume") : tr("Pause"));
    pause_action_->setIcon(paused ? ThemeIcon("media-playback-start", QStyle::SP_MediaPlay)
                                  : ThemeIcon("media-playback-pause", QStyle::SP_MediaPause));
}

bool CMainFrame::pause_enabled() const {
    return pause_action_->isEnabled();
}

// --- favourites -------------------------------------------------------------

void CMainFrame::RebuildFavouritesMenu() {
    if (favourites_menu_ == nullptr) {
        return;
    }
    favourites_menu_->clear();
    favourites_menu_->addAction(actions_->add_favourite);
    favourites_menu_->addAction(actions_->organize);
    favourites_menu_->addSeparator();
    const auto& entries = favourites_.entries();
    if (entries.empty()) {
        favourites_menu_->addAction(tr("Empty"))->setEnabled(false);
        return;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        QAction* go = favourites_menu_->addAction(FromStd(entries[i].label));
        const int command = Favourites::kFirstCommand + static_cast<int>(i);
        go->setData(command);
        connect(go, &QAction::triggered, this, [this, command] {
            if (const Favourites::Entry* entry = favourites_.FromCommand(command)) {
                const Favourites::Entry copy = *entry;
                view_->GoToFavourite(copy.label, copy.encoded);
            }
        });
    }
}

void CMainFrame::AddCurrentFavourite() {
    const std::optional<FolderRef> folder = view_->tree().CurrentFolder();
    if (!folder) {
        return;
    }
    const QString label = FromStd(folder->path);
    if (favourites_.Add(*folder) == Favourites::AddResult::kAlreadyThere) {
        QMessageBox::information(this, tr("Info"),
                                 tr("Folder is already a favourite:\n\n%1").arg(label));
        return;
    }
    RebuildFavouritesMenu();
    QMessageBox::information(this, tr("Info"), tr("Added favourite:\n\n%1").arg(label));
}

void CMainFrame::OrganizeFavourites() {
    std::vector<Favourites::Entry> working = favourites_.entries();
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Favourites"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(
        tr("Select the favourites to be removed, then press the 'Delete' key"), &dialog));
    auto* list = new QListWidget(&dialog);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const auto& entry : working) {
        list->addItem(FromStd(entry.label));
    }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    KeyFilter remove(Qt::Key_Delete, [&] {
        // From the last row to the first, so the indexes stay valid.
        for (int row = list->count() - 1; row >= 0; --row) {
            if (list->item(row)->isSelected()) {
                delete list->takeItem(row);
                working.erase(working.begin() + static_cast<std::ptrdiff_t>(row));
            }
        }
    });
    list->installEventFilter(&remove);
    dialog.resize(480, 320);
    if (dialog.exec() == QDialog::Accepted) {
        favourites_.Replace(std::move(working));
        RebuildFavouritesMenu();
    }
}

// --- other commands ---------------------------------------------------------

void CMainFrame::Edit(EditCommand command) {
    // The tree has nothing to cut, copy or paste.
    const QRect tree_area(view_->tree().mapToGlobal(QPoint(0, 0)), view_->tree().size());
    if (tree_area.contains(QCursor::pos())) {
        return;
    }
    ListFileActions& actions = view_->list().actions();
    if (command == EditCommand::kPaste) {
        actions.Paste();
    } else {
        actions.CopySelected(command == EditCommand::kCut ? FileTransfer::kMove
                                                          : FileTransfer::kCopy);
    }
}

void CMainFrame::ShowAbout() {
    const QString beta = FromStd(BetaText());
    QMessageBox::about(this, tr("About Vandrel"),
                       tr("<h3>%1 %2</h3><p>An analyser for MPEG audio files: it walks every "
                          "frame of MP3, MP2 and MP1 files and tells which encoder made them and "
                          "how good they are likely to sound.</p>")
                           .arg(FromStd(VersionText()), beta));
}

void CMainFrame::ViewLogFile() {
    const QString path = FromStd(LogFilePath());
    if (!QFile::exists(path)) {
        QMessageBox::information(this, tr("Vandrel"),
                                 LoggingEnabled()
                                     ? tr("There is no log file yet:\n%1").arg(path)
                                     : tr("Logging is off (Debug, Logging), so there is no log "
                                          "file:\n%1")
                                           .arg(path));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CMainFrame::ToggleLogging(bool on) {
    logging_ = on;
    SetLogging(on);
}

}  // namespace vandrel
