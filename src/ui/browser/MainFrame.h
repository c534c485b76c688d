#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <QLabel>
#include <QMainWindow>

#include "store/DataCache.h"
#include "store/WindowWithSettings.h"
#include "ui/browser/BrowserTypes.h"
#include "ui/browser/BusyIndicator.h"
#include "ui/browser/FavouritesMenu.h"
#include "ui/browser/FrameCommands.h"
#include "ui/browser/WindowPlacement.h"

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
    FavouritesMenu& favourites_menu() { return favourites_; }
    // Stops the list's worker before the settings and the cache are saved.
    void PrepareShutdown();
    // The "Settings" sheet, opened on page `page`; after OK the tree, the
    // list and the cache take their pages in that order.
    void OpenSettings(int page);
    CDataCache* cache() { return cache_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Every command runs Run; the keys without a menu entry are made here.
    void ConnectCommands();
    // What a command does; `checked` is a switch's new state.
    void Run(FrameCommand command, bool checked);
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();

    CVandrelView* view_ = nullptr;
    FrameActions actions_;
    FavouritesMenu favourites_;
    FramePlacement placement_;
    std::unique_ptr<CDataCache> cache_;
    std::unique_ptr<AnalysisCacheScope> cache_scope_;
    bool shut_down_ = false;
    std::array<QLabel*, 3> panes_{};
    BusyIndicator* busy_indicator_ = nullptr;
};

}  // namespace vandrel
