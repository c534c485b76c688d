#pragma once

#include <memory>
#include <string>

#include <QDialog>
#include <QRect>

#include "engine/core/ScanRecord.h"
#include "ui/details/DetailsButtons.h"
#include "ui/details/DetailsScan.h"

namespace vandrel {

class CDetailsPages;

// The "Details Dialog": one audio file in depth. It hosts the pages that the
// file's media object creates (histograms, text page), scans the whole file on
// a details worker and feeds each record the worker sends to the pages, so
// they grow while the scan runs. Deleting it cancels a running scan and waits
// for the worker. Modeless; the view keeps every open dialog and deletes one
// after it has emitted Closed. GUI thread only.
class CInfoDlg : public QDialog {
    Q_OBJECT
public:
    // `initial_tab` is the tab to open with; `size` the size to open at (an
    // invalid size keeps the dialog's own). The dialog is centred on `view`.
    CInfoDlg(std::string path, int initial_tab, QSize size, QWidget* view);

    // Shows the dialog, centred on its parent, and starts the first scan.
    void Start();
    // Scans the file again from the start, with new pages. Ignored while a
    // scan runs; a decode for the spectrum after it is cancelled.
    void Refresh();
    // Puts the file's report on the clipboard.
    void CopyInfo();
    void GoToFolder();

    bool busy() const { return busy_; }
    const std::string& path() const { return scan_.path(); }
    const ScanRecord& record() const { return scan_.record(); }
    // The window's rectangle and tab when it was closed; an invalid rectangle
    // when it never was shown.
    const QRect& last_rect() const { return last_rect_; }
    int current_tab() const { return current_tab_; }

    CDetailsPages& pages() const { return *pages_; }
    const CDetailsButtons& buttons() const { return *buttons_; }
    // The media object of the file shown, nullptr before a scan started or
    // after it failed.
    CMediaFileInterface* media_file() { return scan_.file(); }

    // The folder of a path as the tree takes it: the part before the last
    // "/", "/" for a file in the root; empty when the path has no folder part.
    static std::string FolderOf(const std::string& path);

signals:
    // The dialog started or finished a scan.
    void BusyChanged();
    // The window is gone and its worker has ended: the dialog may be deleted.
    void Closed(vandrel::CInfoDlg* dialog);
    // "Go To Folder": the tree should select this folder.
    void FolderRequested(const std::string& folder);

public slots:
    // "Close", Esc and the window's close box.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetBusy(bool busy);
    // Ends the dialog after a failed refresh: no worker runs.
    void EndAfterFailure();
    void Finished();

    bool busy_ = false;
    QRect last_rect_;
    int current_tab_ = 0;

    // Made in the constructor's body, in the order the widgets are created.
    CDetailsPages* pages_ = nullptr;
    std::unique_ptr<CDetailsButtons> buttons_;
    // The media file's pages are children of the page host, which outlives
    // the file: the scan goes with the members, the widgets after them.
    CDetailsScan scan_;
};

}  // namespace vandrel
