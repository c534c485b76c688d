#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QUrl>

#include "tools/TagEditing.h"

class QMimeData;

namespace vandrel {

class CVandrelList;

// What the user does with the files of the list: the context menus, the keys
// and the double click on rows, renaming, moving to the trash, the clipboard
// and dropped files. It watches the list's events; nothing here reads a file:
// what a file's kind offers comes with its scan result.
class ListFileActions : public QObject {
    Q_OBJECT
public:
    explicit ListFileActions(CVandrelList& list);

    void ShowContextMenu(const QPoint& global_position);
    // The header's menu: "&Customize" opens the columns page.
    void ShowHeaderMenu(const QPoint& global_position);
    // A Details dialog for the row's file, or why there is none.
    void OpenDetails(int row);
    // The ID3v1 editor on the selected files: one after another, or all at
    // once (`multiple`). Written files' rows show their new tag at once.
    void EditTags(bool multiple);
    // The tag viewer of the first selected file, when its record names a
    // Xing/Info or VBRI header.
    void OpenTagViewer();
    // Renames the row's file to `name` (in its folder); says why it could not.
    bool RenameRow(int row, const QString& name);
    // Asks, then moves the selected files to the trash.
    void MoveSelectedToTrash();
    // Puts the selected files on the clipboard, marked as cut or copied.
    void CopySelected(bool cut);
    // Copies (or moves, after a cut) the clipboard's audio files here.
    void Paste();
    // Copies or moves audio files into the list's folder; others are skipped.
    void CopyFilesHere(const QList<QUrl>& urls, bool move);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The feature bits of the row's file kind; an unscanned file is probed.
    int FeaturesOf(int row) const;
    // Writes the values into the file of the row with `key` and shows the
    // tag in its row; a failure is reported and the run goes on.
    void WriteTag(uint64_t key, const Id3v1Fields& values);
    bool AcceptsDrop(const QMimeData* mime) const;

    CVandrelList& list_;
};

}  // namespace vandrel
