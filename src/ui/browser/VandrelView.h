#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QPointer>
#include <QRect>
#include <QSplitter>

#include "store/WindowWithSettings.h"
#include "ui/browser/BrowserTypes.h"
#include "ui/browser/VandrelList.h"

namespace vandrel {

class CInfoDlg;
class CMainFrame;
class CVandrelList;
class CVandrelTree;

// The main window's client: a splitter with the folder tree on the left and
// the file list on the right, and the hub through which frame, tree, list
// and Details dialogs talk to each other.
class CVandrelView : public QSplitter,
                     public CWindowWithSettings,
                     public TreeListener,
                     public ListListener {
    Q_OBJECT
public:
    explicit CVandrelView(CMainFrame& frame, QWidget* parent = nullptr);
    ~CVandrelView() override;

    CVandrelTree& tree() { return *tree_; }
    CVandrelList& list() { return *list_; }

    // CWindowWithSettings: the list's keys, then the tree's, then the view's.
    void SaveSettings(SettingsStore& settings) override;
    void LoadSettings(const SettingsStore& settings) override;

    // Requests between tree, list and frame.
    // TreeListener: tree -> list.
    void FolderSelected(const FolderRef& folder) override;
    void PostFilesGiven(std::vector<std::string> paths) override;
    // Frame: F5 (the frame limit) or F6 (all frames); for F5 the cursor's
    // position decides whether the tree or the list is refreshed.
    void RefreshRequest(ListReadDepth depth);
    // Frame: Tab / Shift+Tab move the focus between tree and list.
    void FocusSwitch();
    // ListListener: list -> frame, and the dialogs the list asks for.
    void StatusText(int pane, const QString& text) override;
    void BusyState(ListBusy state) override;
    void OpenDetails(const std::string& path) override;
    void OpenSettings(int page) override;
    // Frame -> tree: navigate to a favourite (label as path, encoded id list).
    void GoToFavourite(const std::string& label, const std::string& encoded);
    // Frame, once the window is shown: the splitter goes to its saved place.
    void ViewStarted();

    int splitter_position() const { return splitter_position_; }
    const QRect& details_rect() const { return details_rect_; }
    int initial_tab() const { return initial_tab_; }
    // The Details dialogs open now, oldest first.
    const std::vector<CInfoDlg*>& details_dialogs() const { return details_; }

private:
    // A Details dialog's window and worker are gone: remember where it was.
    void DetailsClosed(CInfoDlg* dialog);
    // The list scans only while no Details dialog does.
    void DetailsBusyChanged();

    CMainFrame& frame_;
    CVandrelList* list_ = nullptr;
    CVandrelTree* tree_ = nullptr;
    int splitter_position_ = 200;
    QRect details_rect_{0, 0, 640, 480};
    int initial_tab_ = 0;
    std::vector<CInfoDlg*> details_;  // children of this view
};

}  // namespace vandrel
