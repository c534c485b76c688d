#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QLabel>
#include <QMainWindow>

#include "store/DataCache.h"
#include "store/WindowWithSettings.h"
#include "ui/browser/BrowserTypes.h"
#include "ui/browser/BusyIndicator.h"
#include "ui/browser/Favourites.h"

class QAction;
class QMenu;
class QToolBar;

namespace vandrel {

class CVandrelView;

// The main window: menus, toolbar, busy animation, status bar, and the view
// with the folder tree and the file list. It owns the favourites, the
// window's placement and the analysis cache for the whole run.
class CMainFrame : public QMainWindow, public CWindowWithSettings {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // Before the window shows: favourites, the view (list, tree), the
    // window's placement, logging; then the cache is made and loaded.
    void LoadSettings(const SettingsStore& settings) override;
    // At exit, in the same order; the cache is saved and destroyed.
    void SaveSettings(SettingsStore& settings) override;

    // Shows the window where it was and opens the start folder, or what the
    // command line names.
    void Start(const std::vector<std::string>& arguments);

    void SetStatusText(int pane, const QString& text);
    void SetBusyState(ListBusy state);

    CVandrelView& view() { return *view_; }
    Favourites& favourites() { return favourites_; }
    QMenu* favourites_menu() { return favourites_menu_; }
    QString StatusPaneText(int pane) const;
    BusyIndicator& busy_indicator() { return *busy_indicator_; }
    bool pause_enabled() const;

    // Adds the tree's current folder to the favourites and says so.
    void AddCurrentFavourite();
    // The "Favourites" dialog for removing some.
    void OrganizeFavourites();
    void RebuildFavouritesMenu();
    // Stops the list's worker before the settings and the cache are saved.
    void PrepareShutdown();
    // The "Settings" sheet, opened on page `page`; after OK the tree, the
    // list and the cache take their pages in that order.
    void OpenSettings(int page);
    CDataCache* cache() { return cache_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void ShowAbout();
    void ViewLogFile();
    void ToggleLogging(bool on);
    // The tree gets Ctrl+X/C/V when the mouse is over it, else the list.
    void Edit(EditCommand command);

    CVandrelView* view_ = nullptr;
    Favourites favourites_;
    std::unique_ptr<CDataCache> cache_;
    std::unique_ptr<AnalysisCacheScope> cache_scope_;
    QRect normal_rect_{10, 50, 1180, 680};
    bool maximized_ = false;
    bool logging_ = true;
    bool shut_down_ = false;

    std::array<QLabel*, 3> panes_{};
    BusyIndicator* busy_indicator_ = nullptr;
    QToolBar* tool_bar_ = nullptr;
    QToolBar* animation_bar_ = nullptr;
    QMenu* favourites_menu_ = nullptr;
    QAction* pause_action_ = nullptr;
    struct Actions;
    std::unique_ptr<Actions> actions_;
};

}  // namespace vandrel
