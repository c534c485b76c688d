#include "ui/browser/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "engine/core/SettingsTable.h"
#include "store/DataPaths.h"
#include "store/Log.h"
#include "store/ProcessValues.h"
#include "ui/browser/ListFileActions.h"
#include "ui/browser/VandrelList.h"
#include "ui/browser/VandrelTree.h"
#include "ui/browser/VandrelView.h"
#include "ui/settings/OtherPages.h"
#include "ui/settings/SettingsSheet.h"

namespace vandrel {

namespace {

// "global": the logging switch.
struct GlobalSettings {
    bool logging = true;
};
constexpr auto kGlobalKeys = std::to_array<SettingKey<GlobalSettings>>({
    Key<&GlobalSettings::logging>("logging"),
});
// The first status pane is at least this wide, the second this wide.
constexpr int kPaneWidth = 200;

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// The tree gets Ctrl+X/C/V when the mouse is over it, else the list.
void Edit(CVandrelView& view, EditCommand command) {
    // The tree has nothing to cut, copy or paste.
    const QRect tree_area(view.tree().mapToGlobal(QPoint(0, 0)), view.tree().size());
    if (tree_area.contains(QCursor::pos())) {
        return;
    }
    ListFileActions& actions = view.list().actions();
    if (command == EditCommand::kPaste) {
        actions.Paste();
    } else {
        actions.CopySelected(command == EditCommand::kCut ? FileTransfer::kMove
                                                          : FileTransfer::kCopy);
    }
}

void ShowAbout(QWidget* parent) {
    const QString beta = FromStd(BetaText());
    QMessageBox::about(parent, CMainFrame::tr("About Vandrel"),
                       CMainFrame::tr("<h3>%1 %2</h3><p>An analyser for MPEG audio files: it "
                                      "walks every frame of MP3, MP2 and MP1 files and tells "
                                      "which encoder made them and how good they are likely to "
                                      "sound.</p>")
                           .arg(FromStd(VersionText()), beta));
}

// The guide that comes with the program: installed beside it, or the one of
// the build tree when it runs from there.
void OpenUserGuide(QWidget* parent) {
    const std::string guide = UserGuidePath();
    if (guide.empty()) {
        Log("CMainFrame: no user guide found");
        QMessageBox::information(parent, CMainFrame::tr("Vandrel"),
                                 CMainFrame::tr("The user guide is not installed."));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(guide.c_str())))) {
        Log([&] { return "CMainFrame: cannot open " + guide; });
        QMessageBox::information(parent, CMainFrame::tr("Vandrel"),
                                 CMainFrame::tr("The user guide could not be opened:\n\n%1")
                                     .arg(QFile::decodeName(guide.c_str())));
    }
}

void ViewLogFile(QWidget* parent) {
    const QString path = FromStd(LogFilePath());
    if (!QFile::exists(path)) {
        QMessageBox::information(
            parent, CMainFrame::tr("Vandrel"),
            LoggingEnabled() ? CMainFrame::tr("There is no log file yet:\n%1").arg(path)
                             : CMainFrame::tr("Logging is off (Debug, Logging), so there is no "
                                              "log file:\n%1")
                                   .arg(path));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace

CMainFrame::CMainFrame()
    : view_(new CVandrelView(*this, this)), actions_(*this),
      favourites_(*this, *view_, actions_[FrameCommand::kAddFavourite],
                  actions_[FrameCommand::kOrganize]),
      placement_(*this) {
    setWindowTitle(QStringLiteral("Vandrel"));
    setCentralWidget(view_);
    ConnectCommands();
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
    favourites_.favourites().Load(settings);
    view_->LoadSettings(settings);
    actions_[FrameCommand::kProblemsOnly]->setChecked(view_->list().settings().problems_only);
    placement_.Load(settings);
    // Each run starts with a fresh log, which the stored switch lets the
    // lines into or not.
    StartLogFile(LogFilePath());
    GlobalSettings global;
    LoadSettingKeys(settings, "global", kGlobalKeys, global);
    SetLogging(global.logging);
    actions_[FrameCommand::kLogging]->setChecked(global.logging);

    cache_scope_.reset();
    cache_ = std::make_unique<CDataCache>(DefaultCacheFilePath());
    cache_scope_ = std::make_unique<AnalysisCacheScope>(cache_.get());
    cache_->LoadSettings(settings);
    cache_->Load();
    favourites_.Rebuild();
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
    favourites_.favourites().Save(settings);
    view_->SaveSettings(settings);
    placement_.Save(settings);
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
    placement_.Show();
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

// --- commands -----------------------------------------------------------------

void CMainFrame::ConnectCommands() {
    for (const CommandLook& look : CommandTable()) {
        QAction* action = actions_[look.command];
        const FrameCommand command = look.command;
        // A switch also runs when it is set from the settings.
        if (look.toggle != CommandToggle::kNone) {
            connect(action, &QAction::toggled, this,
                    [this, command](bool checked) { Run(command, checked); });
        } else {
            connect(action, &QAction::triggered, this,
                    [this, command](bool checked) { Run(command, checked); });
        }
    }
    // Keys without a menu entry.
    auto* focus_next = new QShortcut(QKeySequence(Qt::Key_Tab), this);
    connect(focus_next, &QShortcut::activated, this, [this] { view_->FocusSwitch(); });
    auto* focus_previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Backtab), this);
    connect(focus_previous, &QShortcut::activated, this, [this] { view_->FocusSwitch(); });
    addAction(actions_[FrameCommand::kStop]);
}

void CMainFrame::Run(FrameCommand command, bool checked) {
    CVandrelList& list = view_->list();
    switch (command) {
    case FrameCommand::kExport:
        return list.ExportRequest();
    case FrameCommand::kExit:
        close();
        return;
    case FrameCommand::kCut:
        return Edit(*view_, EditCommand::kCut);
    case FrameCommand::kCopy:
        return Edit(*view_, EditCommand::kCopy);
    case FrameCommand::kPaste:
        return Edit(*view_, EditCommand::kPaste);
    case FrameCommand::kDelete:
        return list.actions().MoveSelectedToTrash();
    case FrameCommand::kRename:
        return list.actions().RenameRequest();
    case FrameCommand::kSelectAll:
        return list.selectAll();
    case FrameCommand::kSelectNone:
        return list.clearSelection();
    case FrameCommand::kShowToolbar:
    case FrameCommand::kShowAnimation:
    case FrameCommand::kShowStatusBar:
        return;  // each bar follows its switch itself
    case FrameCommand::kRefresh:
        return view_->RefreshRequest(ListReadDepth::kFrameLimit);
    case FrameCommand::kCompleteScan:
        return view_->RefreshRequest(ListReadDepth::kEveryFrame);
    case FrameCommand::kProblemsOnly:
        return list.SetProblemsOnly(checked);
    case FrameCommand::kAddFavourite:
        return favourites_.AddCurrent();
    case FrameCommand::kOrganize:
        return favourites_.Organize();
    case FrameCommand::kSettings:
        return OpenSettings(0);
    case FrameCommand::kAbout:
        return ShowAbout(this);
    case FrameCommand::kDocumentation:
        return OpenUserGuide(this);
    case FrameCommand::kViewLog:
        return ViewLogFile(this);
    case FrameCommand::kLogging:
        return SetLogging(checked);
    case FrameCommand::kViewCache:
        return;  // nothing to show yet
    case FrameCommand::kPause:
        return list.loader().scanner().TogglePause();
    case FrameCommand::kStop:
        return list.loader().scanner().StopLoading();
    }
}

// --- menus, toolbar, status bar ---------------------------------------------

void CMainFrame::CreateMenus() {
    const auto add = [this](QMenu* menu, std::initializer_list<FrameCommand> commands) {
        for (FrameCommand command : commands) {
            menu->addAction(actions_[command]);
        }
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    add(file, {FrameCommand::kExport});
    file->addSeparator();
    add(file, {FrameCommand::kExit});

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    add(edit, {FrameCommand::kCut, FrameCommand::kCopy, FrameCommand::kPaste});
    edit->addSeparator();
    add(edit, {FrameCommand::kDelete, FrameCommand::kRename});
    edit->addSeparator();
    add(edit, {FrameCommand::kSelectAll, FrameCommand::kSelectNone});

    QMenu* view = menuBar()->addMenu(tr("&View"));
    add(view,
        {FrameCommand::kShowToolbar, FrameCommand::kShowAnimation, FrameCommand::kShowStatusBar});
    view->addSeparator();
    add(view, {FrameCommand::kRefresh, FrameCommand::kCompleteScan});
    view->addSeparator();
    add(view, {FrameCommand::kProblemsOnly});

    menuBar()->addMenu(favourites_.menu());
    favourites_.Rebuild();

    add(menuBar()->addMenu(tr("&Options")), {FrameCommand::kSettings});
    add(menuBar()->addMenu(tr("&Help")), {FrameCommand::kAbout, FrameCommand::kDocumentation});
    add(menuBar()->addMenu(tr("&Debug")),
        {FrameCommand::kViewLog, FrameCommand::kLogging, FrameCommand::kViewCache});
}

void CMainFrame::CreateToolBars() {
    QToolBar* tool_bar = addToolBar(tr("Toolbar"));
    tool_bar->setObjectName(QStringLiteral("toolbar"));
    tool_bar->setMovable(false);
    tool_bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const auto add = [&](std::initializer_list<FrameCommand> commands) {
        for (FrameCommand command : commands) {
            tool_bar->addAction(actions_[command]);
        }
        tool_bar->addSeparator();
    };
    add({FrameCommand::kExport});
    add({FrameCommand::kCut, FrameCommand::kCopy, FrameCommand::kPaste});
    add({FrameCommand::kRefresh, FrameCommand::kCompleteScan, FrameCommand::kPause,
         FrameCommand::kStop});
    add({FrameCommand::kProblemsOnly});
    // The favourite button's arrow opens the favourites, right below it.
    auto* favourite_button = new QToolButton(tool_bar);
    favourite_button->setDefaultAction(actions_[FrameCommand::kAddFavourite]);
    favourite_button->setText(tr("Add Favourite"));
    favourite_button->setMenu(favourites_.menu());
    favourite_button->setPopupMode(QToolButton::MenuButtonPopup);
    favourite_button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tool_bar->addWidget(favourite_button);
    add({FrameCommand::kSettings});
    tool_bar->addAction(actions_[FrameCommand::kAbout]);

    QToolBar* animation_bar = addToolBar(tr("Animation"));
    animation_bar->setObjectName(QStringLiteral("animation"));
    animation_bar->setMovable(false);
    busy_indicator_ = new BusyIndicator(animation_bar);
    animation_bar->addWidget(busy_indicator_);

    connect(actions_[FrameCommand::kShowToolbar], &QAction::toggled, tool_bar,
            &QWidget::setVisible);
    connect(actions_[FrameCommand::kShowAnimation], &QAction::toggled, animation_bar,
            &QWidget::setVisible);
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
    connect(actions_[FrameCommand::kShowStatusBar], &QAction::toggled, statusBar(),
            &QWidget::setVisible);
}

void CMainFrame::SetStatusText(int pane, const QString& text) {
    if (pane >= 0 && static_cast<size_t>(pane) < panes_.size()) {
        panes_[static_cast<size_t>(pane)]->setText(text);
    }
}

void CMainFrame::SetBusyState(ListBusy state) {
    busy_indicator_->SetRunning(state == ListBusy::kScanning || state == ListBusy::kResumed);
    QAction* pause = actions_[FrameCommand::kPause];
    pause->setEnabled(state != ListBusy::kIdle);
    const bool paused = state == ListBusy::kPaused;
    pause->setText(paused ? tr("Resume") : tr("Pause"));
    pause->setIcon(paused ? ThemeIcon("media-playback-start", QStyle::SP_MediaPlay)
                          : ThemeIcon("media-playback-pause", QStyle::SP_MediaPause));
}

}  // namespace vandrel
