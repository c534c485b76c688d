#include "ui/browser/ListFileActions.h"

#include <algorithm>
#include <filesystem>

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>

#include "engine/media/FileTypes.h"
#include "engine/media/MediaFileInterface.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/verdicts/FileAnalysis.h"
#include "store/Log.h"
#include "ui/common/PathText.h"
#include "ui/tools/AppendDlg.h"
#include "ui/tools/ID3v1Dlg.h"
#include "ui/tools/RepairDlg.h"
#include "ui/tools/SyncDlg.h"
#include "ui/tools/TagDlg.h"

namespace vandrel {

namespace {

// Clipboard formats that tell file managers a cut from a copy.
const char* const kGnomeCopiedFiles = "x-special/gnome-copied-files";
const char* const kKdeCutSelection = "application/x-kde-cutselection";

// The columns page of the settings sheet.
constexpr int kColumnsPage = 2;

// The record's kind of an MPEG audio file.
constexpr uint32_t kMpegAudioKind = 1;

// The model row of an index of the view, which shows the rows through a filter.
int ModelRowOf(const QModelIndex& index) {
    const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model());
    return proxy != nullptr ? proxy->mapToSource(index).row() : index.row();
}

}  // namespace

ListFileActions::ListFileActions(QAbstractItemView& view, ListActionParts parts)
    : QObject(&view), view_(view), model_(parts.model), watch_(parts.watch),
      listener_(parts.listener), selected_rows_(std::move(parts.selected_rows)),
      settings_(parts.settings), folder_(parts.folder) {
    view.installEventFilter(this);
    view.viewport()->installEventFilter(this);
}

bool ListFileActions::Editing() const {
    // Only the name can be edited, and the view holds the editor of its cell
    // while it is open.
    const QModelIndex current = view_.currentIndex();
    return current.isValid() &&
           view_.indexWidget(current.siblingAtColumn(model_.ColumnOf(0))) != nullptr;
}

bool ListFileActions::eventFilter(QObject* watched, QEvent* event) {
    const bool on_rows = watched == view_.viewport();
    switch (event->type()) {
    case QEvent::ContextMenu:
        if (on_rows) {
            ShowContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        // The Menu key comes to the view, which has the focus.
        if (watched == &view_ && !Editing() &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            ShowMenuAtCurrentRow();
            return true;
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (on_rows) {
            // A double click beside the rows does nothing.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QModelIndex index = view_.indexAt(mouse->position().toPoint());
            if (index.isValid()) {
                Log("CVandrelList::OnLVDblClk");
                OpenDetails(ModelRowOf(index));
            }
            return true;
        }
        break;
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (watched == &view_ && enter && key->modifiers() == Qt::ControlModifier && !Editing()) {
            OpenTagViewer();
            return true;
        }
        if (watched == &view_ && key->key() == Qt::Key_F10 &&
            key->modifiers() == Qt::ShiftModifier && !Editing()) {
            ShowMenuAtCurrentRow();
            return true;
        }
        if (watched != &view_ || key->modifiers() != Qt::NoModifier) {
            break;
        }
        if (key->key() == Qt::Key_Delete && !Editing()) {
            MoveSelectedToTrash();
            return true;
        }
        if (enter && Editing()) {
            return true;  // the Return that confirms a rename comes up from the editor
        }
        if (enter && view_.currentIndex().isValid()) {
            OpenDetails(ModelRowOf(view_.currentIndex()));
            return true;
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (on_rows) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->source() != &view_ && AcceptsDrop(drop->mimeData())) {
                if (event->type() == QEvent::Drop) {
                    CopyFilesHere(drop->mimeData()->urls(), drop->dropAction() == Qt::MoveAction
                                                                ? FileTransfer::kMove
                                                                : FileTransfer::kCopy);
                }
                drop->acceptProposedAction();
            }
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ListFileActions::ShowSelectionStatus() {
    const std::vector<int> rows = selected_rows_();
    QString text;
    if (rows.size() == 1 && model_.Row(rows.front()).refused) {
        const std::string_view reason = model_.Row(rows.front()).texts[kSlotProblems];
        text = tr("This file cannot be analysed: %1")
                   .arg(QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size())));
    }
    // The worker's own texts are left alone.
    if (!text.isEmpty() || showing_refusal_) {
        listener_.StatusText(kPaneWorker, text);
    }
    showing_refusal_ = !text.isEmpty();
}

void ListFileActions::ShowContextMenu(const QPoint& global_position) {
    const std::vector<int> selected = selected_rows_();
    if (selected.empty()) {
        return;
    }
    const _LVItemData& first = model_.Row(selected.front());
    const uint64_t first_key = first.key;
    QMenu menu(&view_);
    QAction* details = menu.addAction(tr("&Details"));
    menu.setDefaultAction(details);
    QAction* lame = menu.addAction(tr("&Lame Header"));
    QAction* complete = menu.addAction(tr("&Complete Scan"));
    QAction* rename = menu.addAction(tr("&Rename"));
    QAction* sync = menu.addAction(tr("&Sync Error Details"));
    QAction* append = menu.addAction(tr("&Append mp3"));
    QAction* tag =
        menu.addAction(selected.size() == 1 ? tr("Edit ID3v1 Tag") : tr("Edit Tag Sequentially"));
    QAction* tag_multiple = selected.size() > 1 ? menu.addAction(tr("Edit Tag Multiple")) : nullptr;
    QAction* repair = menu.addAction(tr("Re&pair..."));
    repair->setEnabled(
        std::any_of(selected.begin(), selected.end(), [this](int row) { return Repairable(row); }));
    // The sync error list and joining need the first file's scan result,
    // and a kind of file that offers them.
    const int first_features = FeaturesOf(selected.front());
    sync->setEnabled(first.done && (first_features & kFeatureSyncErrors) != 0);
    append->setEnabled(first.done && (first_features & kFeatureAppend) != 0);
    // A VBRI header has a page of the viewer too, though it is no Xing header.
    const ScanRecord first_record = first.record.Unpack();
    lame->setEnabled(first.done && (first_record.has_xing != 0 || first_record.has_vbri != 0));
    rename->setEnabled(selected.size() == 1 && first.done);
    if (selected.size() == 1 && first_features != kFeaturesUnknown) {
        details->setEnabled((first_features & kFeatureDetails) != 0);
        tag->setEnabled((first_features & kFeatureTagEditing) != 0);
    }
    menu.addSeparator();
    QAction* open = menu.addAction(tr("Open With Default Application"));
    QAction* show = menu.addAction(tr("Show in Folder"));

    QAction* chosen = menu.exec(global_position);
    // Results that came in while the menu was open may have moved rows or
    // removed them; the selection follows its rows.
    const std::vector<int> chosen_rows = selected_rows_();
    if (chosen == details) {
        for (int row : chosen_rows) {
            Log([&] { return "Do details: " + model_.Row(row).path; });
            OpenDetails(row);
        }
    } else if (chosen == lame) {
        OpenTagViewer();
    } else if (chosen == append || chosen == sync) {
        // Rows may have moved or gone while the menu was open.
        const int row = model_.RowOf(first_key);
        if (row < 0) {
            return;
        }
        const _LVItemData& entry = model_.Row(row);
        if (chosen == sync) {
            CSyncDlg dialog(entry.path, entry.record.Unpack(), &view_);
            dialog.exec();
        } else {
            CAppendDlg dialog(entry.path, std::string(entry.name()), entry.record.Unpack(), &view_);
            dialog.exec();
        }
    } else if (chosen == tag || (chosen != nullptr && chosen == tag_multiple)) {
        EditTags(chosen == tag_multiple ? TagEditMode::kAllAtOnce : TagEditMode::kOneByOne);
    } else if (chosen == repair) {
        RepairSelected();
    } else if (chosen == complete) {
        emit completeScanRequested();
    } else if (chosen == rename) {
        RenameRequest();
    } else if (chosen == open || chosen == show) {
        for (int row : chosen_rows) {
            const QFileInfo info(PathText(model_.Row(row).path));
            QDesktopServices::openUrl(
                QUrl::fromLocalFile(chosen == open ? info.filePath() : info.absolutePath()));
        }
        watch_.ArmQuickCheck();
    }
}

void ListFileActions::ShowMenuAtCurrentRow() {
    const QRect cell = view_.visualRect(view_.currentIndex());
    const QPoint at = cell.isValid() ? cell.bottomLeft() : QPoint(0, 0);
    ShowContextMenu(view_.viewport()->mapToGlobal(at));
}

void ListFileActions::ShowHeaderMenu(const QPoint& global_position) {
    QMenu menu(&view_);
    QAction* customize = menu.addAction(tr("&Customize"));
    if (menu.exec(global_position) == customize) {
        listener_.OpenSettings(kColumnsPage);
    }
}

int ListFileActions::FeaturesOf(int row) const {
    const _LVItemData& entry = model_.Row(row);
    // A refused file offers nothing: no tool has a record to start from.
    if (entry.refused) {
        return 0;
    }
    if (entry.feature_mask != kFeaturesUnknown) {
        return entry.feature_mask;
    }
    // Not scanned yet: its kind tells.
    CMediaFileWrapper probe;
    return probe.Attach(entry.path) ? probe.GetFeatureMask() : kFeaturesUnknown;
}

void ListFileActions::OpenDetails(int row) {
    const _LVItemData& entry = model_.Row(row);
    if (entry.refused) {
        const QString reason = QString::fromStdString(std::string(entry.texts[kSlotProblems]));
        QMessageBox::warning(
            &view_, tr("Vandrel"),
            tr("This file cannot be analysed:\n\n\t%1\n\n%2").arg(PathText(entry.path), reason));
        return;
    }
    // A file no kind takes goes on to the dialog, which says why it cannot be shown.
    const int features = FeaturesOf(row);
    if (features != kFeaturesUnknown && (features & kFeatureDetails) == 0) {
        QMessageBox::warning(&view_, tr("Vandrel"),
                             tr("Details Dialog doesn't (yet) support the media type of the "
                                "file:\n\n\t%1")
                                 .arg(PathText(entry.path)));
        return;
    }
    listener_.OpenDetails(entry.path);
}

void ListFileActions::OpenTagViewer() {
    const std::vector<int> selected = selected_rows_();
    if (selected.empty()) {
        return;
    }
    const _LVItemData& entry = model_.Row(selected.front());
    const ScanRecord record = entry.record.Unpack();
    if (!entry.done || TagPagesOf(record).empty()) {
        QApplication::beep();  // nothing to show, as the greyed menu entry says
        return;
    }
    auto* viewer = new CTagDlg(entry.path, record, &view_);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
}

void ListFileActions::EditTags(TagEditMode mode) {
    // Keys, not rows: results that come in during the dialogs move rows.
    std::vector<uint64_t> keys;
    for (int row : selected_rows_()) {
        if ((FeaturesOf(row) & kFeatureTagEditing) != 0) {
            keys.push_back(model_.Row(row).key);
        } else {
            Log([&] { return "No ID3v1 tag for this kind of file: " + model_.Row(row).path; });
        }
    }
    if (keys.empty()) {
        QMessageBox::information(&view_, tr("Vandrel"),
                                 tr("None of the selected files can have an ID3v1 tag."));
        return;
    }
    const auto fields_of = [&](uint64_t key) {
        const int row = model_.RowOf(key);
        return row < 0 ? Id3v1Fields{} : FieldsOfRecord(model_.Row(row).record.Unpack());
    };

    CID3v1Dlg dialog(&view_);
    if (mode == TagEditMode::kAllAtOnce) {
        std::vector<Id3v1Fields> files;
        files.reserve(keys.size());
        for (uint64_t key : keys) {
            files.push_back(fields_of(key));
        }
        const CommonFields common = FindCommonFields(files);
        Id3v1PartSet mixed{};
        for (size_t i = 0; i < mixed.size(); ++i) {
            mixed[i] = !common.common[i];
        }
        dialog.SetValues(common.values, tr("%1 files").arg(keys.size()), mixed);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        const Id3v1Fields edited = dialog.Values();
        const Id3v1PartSet changed = ChangedFields(common.values, edited);
        for (size_t i = 0; i < keys.size(); ++i) {
            WriteTag(keys[i], MergeFields(files[i], edited, changed));
        }
    } else {
        for (uint64_t key : keys) {
            const int row = model_.RowOf(key);
            if (row < 0) {
                continue;  // the file went while an earlier one was edited
            }
            dialog.SetValues(fields_of(key), PathText(model_.Row(row).path));
            if (dialog.exec() != QDialog::Accepted) {
                break;  // Cancel ends the whole run
            }
            WriteTag(key, dialog.Values());
        }
    }
    // A new title or artist may move rows of a list sorted by it.
    model_.RestoreOrder();
    view_.viewport()->update();
}

void ListFileActions::WriteTag(uint64_t key, const Id3v1Fields& values) {
    ListModel& model = model_;
    int row = model.RowOf(key);
    if (row < 0) {
        return;
    }
    const std::string path = model.Row(row).path;
    // Merged values of several files may not fit one of them (a long comment
    // and the file's own track): that file is left as it is.
    if (const auto problem = CheckId3v1Fields(values)) {
        QMessageBox::warning(&view_, tr("Error"),
                             tr("The tag of this file was not written:\n%1\n\n%2")
                                 .arg(PathText(path), QString::fromStdString(*problem)));
        return;
    }
    const TagWriteResult written = WriteId3v1File(path, values);
    if (!written.ok) {
        QMessageBox::critical(&view_, tr("Error"), QString::fromStdString(written.message));
        return;
    }
    row = model.RowOf(key);
    if (row < 0 || !model.Row(row).done) {
        return;  // a scan still to come reads the new tag
    }
    const _LVItemData& entry = model.Row(row);
    ListResult result;
    result.key = key;
    result.record = entry.record.Unpack();
    result.record.id3v1_present = written.id3v1_present;
    result.record.id3v1 = written.id3v1;
    result.record.file_size = SaturatedSize(written.file_size);
    DescribeRecord(result.record, result.texts, settings_.mono_quality);
    // The checks' texts come from the scan, not the record: they stay as the
    // last scan found them until the next one.
    for (int slot : kCheckSlots) {
        result.texts[slot] = std::string(entry.texts[slot]);
    }
    result.severity = entry.severity;
    result.feature_mask = entry.feature_mask;
    model.TakeResult(result);
}

void ListFileActions::RenameRequest() {
    const int column = model_.ColumnOf(0);
    if (view_.currentIndex().isValid() && column >= 0) {
        view_.edit(view_.currentIndex().siblingAtColumn(column));
    }
}

bool ListFileActions::RenameRow(int row, const QString& name) {
    if (name.contains(QLatin1Char('/'))) {
        return false;
    }
    // Paths stay bytes: the old name need not be valid UTF-8.
    namespace fs = std::filesystem;
    const _LVItemData& entry = model_.Row(row);
    const fs::path old_path(entry.path);
    const std::string new_name = name.toStdString();
    const fs::path new_path = old_path.parent_path() / new_name;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(new_path, ec))) {
        ec = std::make_error_code(std::errc::file_exists);
    } else {
        fs::rename(old_path, new_path, ec);
    }
    if (ec) {
        QMessageBox::warning(
            &view_, tr("Vandrel"),
            tr("Could not rename\n%1\nto %2:\n%3")
                .arg(PathText(old_path.string()), name, QString::fromStdString(ec.message())));
        return false;
    }
    // The renamed file alone must not look like a change of the folder.
    watch_.Renamed(old_path.filename().string(), new_name);
    model_.Rename(row, new_path.string(), new_name);
    return true;
}

bool ListFileActions::Repairable(int row) const {
    const _LVItemData& entry = model_.Row(row);
    return entry.done && !entry.refused && entry.record.Field32(0) == kMpegAudioKind;
}

void ListFileActions::RepairSelected() {
    std::vector<RepairRequest> requests;
    for (int row : selected_rows_()) {
        if (!Repairable(row)) {
            continue;
        }
        const _LVItemData& entry = model_.Row(row);
        const ScanRecord record = entry.record.Unpack();
        requests.push_back({.path = entry.path,
                            .scanned_size = RecordFileSize(record),
                            .scanned_mtime = record.status.modification_time});
    }
    if (requests.empty()) {
        QApplication::beep();  // as the greyed menu entry says
        return;
    }
    CRepairDlg dialog(std::move(requests), &view_);
    dialog.exec();
    // Rows may have moved while the dialog was open: the paths find them.
    std::vector<int> rows;
    for (const std::string& path : dialog.RepairedPaths()) {
        for (int row = 0; row < model_.rowCount(); ++row) {
            if (model_.Row(row).path == path) {
                rows.push_back(row);
            }
        }
    }
    std::sort(rows.begin(), rows.end());
    if (!rows.empty()) {
        emit rowsRewritten(rows);
    }
    watch_.ArmQuickCheck();
}

void ListFileActions::MoveSelectedToTrash() {
    const std::vector<int> selected = selected_rows_();
    if (selected.empty()) {
        return;
    }
    const QString question = selected.size() == 1
                                 ? tr("Move \"%1\" to the trash?")
                                       .arg(PathText(std::string(model_.Row(selected[0]).name())))
                                 : tr("Move these %1 files to the trash?").arg(selected.size());
    if (QMessageBox::question(&view_, tr("Delete"), question) != QMessageBox::Yes) {
        return;
    }
    QStringList failed;
    for (int row : selected) {
        const QString path = PathText(model_.Row(row).path);
        if (!QFile::moveToTrash(path)) {
            failed.push_back(path);
        }
    }
    if (!failed.isEmpty()) {
        QMessageBox::warning(&view_, tr("Delete"),
                             tr("Could not move to the trash:\n%1").arg(failed.join('\n')));
    }
    watch_.ArmQuickCheck();
}

void ListFileActions::CopySelected(FileTransfer transfer) {
    const std::vector<int> selected = selected_rows_();
    if (selected.empty()) {
        return;
    }
    const bool cut = transfer == FileTransfer::kMove;
    QList<QUrl> urls;
    QByteArray gnome = cut ? "cut" : "copy";
    for (int row : selected) {
        const QUrl url = QUrl::fromLocalFile(PathText(model_.Row(row).path));
        urls.push_back(url);
        gnome += '\n' + url.toEncoded();
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    mime->setData(kGnomeCopiedFiles, gnome);
    if (cut) {
        mime->setData(kKdeCutSelection, "1");
    }
    QApplication::clipboard()->setMimeData(mime);
}

void ListFileActions::Paste() {
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (mime == nullptr || !mime->hasUrls()) {
        return;
    }
    const bool move = mime->data(kGnomeCopiedFiles).startsWith("cut") ||
                      mime->data(kKdeCutSelection).startsWith('1');
    CopyFilesHere(mime->urls(), move ? FileTransfer::kMove : FileTransfer::kCopy);
}

bool ListFileActions::AcceptsDrop(const QMimeData* mime) const {
    return mime->hasUrls() && !folder_.empty();
}

void ListFileActions::CopyFilesHere(const QList<QUrl>& urls, FileTransfer transfer) {
    if (folder_.empty()) {
        return;
    }
    const QDir target(PathText(folder_));
    const std::vector<std::string> file_types = SplitFileTypes(settings_.file_types);
    QStringList failed;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const QFileInfo source(url.toLocalFile());
        if (!source.isFile() ||
            !MatchesFileTypes(QFile::encodeName(source.fileName()).toStdString(), file_types) ||
            source.absoluteDir() == target) {
            continue;
        }
        const QString destination = target.filePath(source.fileName());
        if (QFileInfo::exists(destination)) {
            failed.push_back(source.fileName() + tr(" (already there)"));
            continue;
        }
        const bool ok = transfer == FileTransfer::kMove
                            ? QFile::rename(source.filePath(), destination) ||
                                  (QFile::copy(source.filePath(), destination) &&
                                   QFile::remove(source.filePath()))
                            : QFile::copy(source.filePath(), destination);
        if (!ok) {
            failed.push_back(source.fileName());
        }
    }
    if (!failed.isEmpty()) {
        QMessageBox::warning(&view_, tr("Paste"),
                             tr("These files were not copied:\n%1").arg(failed.join('\n')));
    }
    watch_.ArmQuickCheck();
}

}  // namespace vandrel
