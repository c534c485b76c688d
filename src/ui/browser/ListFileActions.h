#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QList>
#include <QObject>
#include <QPoint>
#include <QUrl>

#include "tools/TagEditing.h"
#include "ui/browser/BrowserTypes.h"
#include "ui/browser/FolderWatch.h"
#include "ui/browser/ListModel.h"
#include "ui/common/ListSettings.h"

class QAbstractItemView;
class QMimeData;

namespace vandrel {

// What the file actions work on besides the view that shows the rows.
struct ListActionParts {
    ListModel& model;
    // The watch on the list's folder: a change made here asks it for a check soon.
    FolderWatch& watch;
    // Where the Details dialog and the settings are asked for, and status texts go.
    ListListener& listener;
    // The model rows of the selected rows, in order.
    std::function<std::vector<int>()> selected_rows;
    // The list's settings as they change: the file types pasted files must
    // have, the mono rule of a row's texts.
    const ListSettings& settings;
    // The folder the list shows, as it changes; empty for files given by name.
    const std::string& folder;
};

// How the ID3v1 editor takes several files: one after another, or all at
// once with the fields they share.
enum class TagEditMode { kOneByOne, kAllAtOnce };

// Whether files put on the clipboard or dropped are copied, or moved (a cut).
enum class FileTransfer { kCopy, kMove };

// What the user does with the files of the list: the context menus, the keys
// and the double click on rows, renaming, moving to the trash, the clipboard
// and dropped files, and what the status bar says of a selected file. It watches the view's events;
// nothing here reads a file: what a file's kind offers comes with its scan result.
class ListFileActions : public QObject {
    Q_OBJECT
public:
    ListFileActions(QAbstractItemView& view, ListActionParts parts);

    void ShowContextMenu(const QPoint& global_position);
    // The Menu key and Shift+F10: the menu under the current row.
    void ShowMenuAtCurrentRow();
    // The header's menu: "&Customize" opens the columns page.
    void ShowHeaderMenu(const QPoint& global_position);
    // A Details dialog for the row's file, or why there is none.
    void OpenDetails(int row);
    // The ID3v1 editor on the selected files. Written files' rows show their
    // new tag at once.
    void EditTags(TagEditMode mode);
    // The tag viewer of the first selected file, when its record names a
    // Xing/Info or VBRI header.
    void OpenTagViewer();
    // Renames the row's file to `name` (in its folder); says why it could not.
    bool RenameRow(int row, const QString& name);
    // F2: edits the current row's name.
    void RenameRequest();
    // The repair dialog on the selected MPEG audio files; the rows of the
    // files it replaced are read again.
    void RepairSelected();
    // Asks, then moves the selected files to the trash.
    void MoveSelectedToTrash();
    // Puts the selected files on the clipboard, marked as cut or copied.
    void CopySelected(FileTransfer transfer);
    // Copies (or moves, after a cut) the clipboard's audio files here.
    void Paste();
    // Copies or moves audio files into the list's folder; others are skipped.
    void CopyFilesHere(const QList<QUrl>& urls, FileTransfer transfer);
    // A single selected row whose file could not be analysed says why in the
    // worker's status pane; the text goes when the selection moves on.
    void ShowSelectionStatus();

signals:
    // "Complete Scan" of the selected files.
    void completeScanRequested();
    // The files of these rows were rewritten: their rows want a new scan.
    void rowsRewritten(const std::vector<int>& rows);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The feature bits of the row's file kind; an unscanned file is probed.
    int FeaturesOf(int row) const;
    // Whether the row holds a scanned MPEG audio file, which a repair takes.
    bool Repairable(int row) const;
    // Writes the values into the file of the row with `key` and shows the
    // tag in its row; a failure is reported and the run goes on.
    void WriteTag(uint64_t key, const Id3v1Fields& values);
    bool AcceptsDrop(const QMimeData* mime) const;
    // Whether the current row's name is being edited.
    bool Editing() const;

    QAbstractItemView& view_;
    ListModel& model_;
    FolderWatch& watch_;
    ListListener& listener_;
    std::function<std::vector<int>()> selected_rows_;
    const ListSettings& settings_;
    const std::string& folder_;
    bool showing_refusal_ = false;  // the worker's pane shows a selected row's reason
};

}  // namespace vandrel
