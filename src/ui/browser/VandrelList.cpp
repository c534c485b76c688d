#include "ui/browser/VandrelList.h"

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <optional>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>

#include "engine/media/FileTypes.h"
#include "engine/media/MediaFileWrapper.h"
#include "store/Log.h"
#include "ui/browser/FolderEntries.h"

namespace vandrel {

namespace {

// Clipboard formats that tell file managers a cut from a copy.
const char* const kGnomeCopiedFiles = "x-special/gnome-copied-files";
const char* const kKdeCutSelection = "application/x-kde-cutselection";

// The feature bit of a media kind that the Details dialog needs.
constexpr int kFeatureDetails = 2;

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// A file of a folder: its name as the bytes the file system holds (which
// need not be UTF-8) and its size.
struct FolderFile {
    std::string name;
    uint64_t size;
};

// The folder's entries that are not folders (hidden ones, links to files and
// special files included), in byte order of their names; nothing when the
// folder cannot be read.
std::optional<std::vector<FolderFile>> ListFolderFiles(const std::string& folder) {
    std::vector<FolderFile> files;
    std::error_code stopped;
    const bool opened = ForEachFolderEntry(
        folder,
        [&](const std::filesystem::directory_entry& entry) {
            std::error_code type_ec;
            if (entry.is_directory(type_ec)) {
                return;
            }
            const uintmax_t size = entry.is_regular_file(type_ec) ? entry.file_size(type_ec) : 0;
            files.push_back({entry.path().filename().string(), type_ec ? 0 : size});
        },
        stopped);
    if (!opened) {
        return std::nullopt;
    }
    std::sort(files.begin(), files.end(),
              [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
    return files;
}

// Waits with the wait cursor while it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

CVandrelList::CVandrelList(ListListener& listener, QWidget* parent)
    : QTableView(parent), listener_(listener), model_(this),
      target_(std::make_shared<QtMessageTarget>(this)),
      notifier_(std::make_shared<QtUserNotifier>()), worker_(std::make_unique<CListThread>(*this)) {
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(false);
    setWordWrap(false);
    setAlternatingRowColors(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setStretchLastSection(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CVandrelList::OnHeaderClicked);
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        QMenu menu(this);
        QAction* customize = menu.addAction(tr("&Customize"));
        customize->setEnabled(false);  // the columns page arrives with the settings dialog
        if (menu.exec(horizontalHeader()->mapToGlobal(at)) == customize) {
            listener_.OpenSettings(2);
        }
    });
    model_.SetRenameFunction(
        [this](ListRow& row, const QString& name) { return RenameRow(row, name); });

    worker_->SetTarget(target_);
    worker_->SetNotifier(notifier_);
    worker_->Start();

    check_timer_.setInterval(kCheckInterval);
    connect(&check_timer_, &QTimer::timeout, this, &CVandrelList::CheckFolder);
    check_timer_.start();
    quick_check_timer_.setSingleShot(true);
    quick_check_timer_.setInterval(kQuickCheckDelay);
    connect(&quick_check_timer_, &QTimer::timeout, this, &CVandrelList::CheckFolder);

    ApplyColumns();
}

CVandrelList::~CVandrelList() {
    CloseWatch();
    target_->Detach();
    StopWorker();
}

void CVandrelList::StopWorker() {
    check_timer_.stop();
    quick_check_timer_.stop();
    try {
        worker_->Stop();
    } catch (const ThreadBlocked&) {
        QMessageBox::information(nullptr, QApplication::applicationDisplayName(),
                                 tr("List thread is blocked...\nThis is not normal behaviour! :("));
    }
}

// --- settings ---------------------------------------------------------------

void CVandrelList::LoadSettings(const SettingsStore& s) {
    constexpr std::string_view kList = "list_settings";
    settings_.frameres = s.GetInt(kList, "frameres", 1000);
    settings_.readallunknown = s.GetInt(kList, "readallunknown", 1) != 0;
    settings_.readallinitial = s.GetInt(kList, "readallinitial", 0) != 0;
    settings_.sortcolid = s.GetInt(kList, "sortcolid", 0);
    settings_.sort_reverse = s.GetInt(kList, "sort_reverse", 0) != 0;
    settings_.monoquality = s.GetInt(kList, "monoquality", 0) != 0;
    settings_.xml = s.GetInt(kList, "xml", 1) != 0;
    settings_.rescan = s.GetInt(kList, "rescan", 1) != 0;
    settings_.color_bad = s.GetInt(kList, "color_bad", 9869055);
    settings_.color_notbad = s.GetInt(kList, "color_notbad", 9895935);
    settings_.color_good = s.GetInt(kList, "color_good", 9895830);
    settings_.autosize = s.GetInt(kList, "autosize", 1) != 0;
    settings_.tooltips = s.GetInt(kList, "tooltips", 1) != 0;
    settings_.filetypes = s.GetString(kList, "filetypes", ".mp3;.mp2;.mp1;.mpc;.mp+;");

    constexpr std::string_view kExport = "export";
    settings_.export_recurse = s.GetInt(kExport, "recurse", 1) != 0;
    settings_.export_selected.clear();
    const int selected = s.GetInt(kExport, "selnum", 0);
    for (int i = 0; i < selected; ++i) {
        settings_.export_selected.emplace_back(s.GetString(kExport, "selected_gp", "", i),
                                               s.GetString(kExport, "selected_nm", "", i));
    }
    settings_.export_template = s.GetString(kExport, "template", "");

    std::vector<ListColumn> columns;
    const int count = s.GetInt(kList, "num_columns22_", 0);
    for (int i = 0; i < count; ++i) {
        const int32_t id = s.GetInt(kList, "colid2_", i, i);
        if (FindAttribute(id) != nullptr) {
            columns.push_back({id, s.GetInt(kList, "colwidth2_", 100, i)});
        }
    }
    if (columns.empty()) {
        for (int32_t id : DefaultColumnIds()) {
            columns.push_back({id, 0});
        }
    }
    if (FindAttribute(settings_.sortcolid) == nullptr) {
        settings_.sortcolid = 0;
    }
    model_.SetColumns(std::move(columns));
    extensions_ = SplitFileTypes(settings_.filetypes);
    read_all_unknown_ = settings_.readallunknown;
    mono_quality_ = settings_.monoquality;
    ApplyColumns();
}

void CVandrelList::SaveSettings(SettingsStore& s) {
    constexpr std::string_view kList = "list_settings";
    s.SetInt(kList, "frameres", settings_.frameres);
    s.SetInt(kList, "readallunknown", settings_.readallunknown ? 1 : 0);
    s.SetInt(kList, "readallinitial", settings_.readallinitial ? 1 : 0);
    s.SetInt(kList, "sortcolid", settings_.sortcolid);
    s.SetInt(kList, "sort_reverse", settings_.sort_reverse ? 1 : 0);
    s.SetInt(kList, "monoquality", settings_.monoquality ? 1 : 0);
    s.SetInt(kList, "xml", settings_.xml ? 1 : 0);
    s.SetInt(kList, "rescan", settings_.rescan ? 1 : 0);
    s.SetInt(kList, "color_good", settings_.color_good);
    s.SetInt(kList, "color_notbad", settings_.color_notbad);
    s.SetInt(kList, "color_bad", settings_.color_bad);

    constexpr std::string_view kExport = "export";
    s.SetInt(kExport, "recurse", settings_.export_recurse ? 1 : 0);
    s.SetInt(kExport, "selnum", static_cast<int>(settings_.export_selected.size()));
    for (size_t i = 0; i < settings_.export_selected.size(); ++i) {
        s.SetString(kExport, "selected_gp", settings_.export_selected[i].first,
                    static_cast<int>(i));
        s.SetString(kExport, "selected_nm", settings_.export_selected[i].second,
                    static_cast<int>(i));
    }
    s.SetString(kExport, "template", settings_.export_template);

    const auto& columns = model_.columns();
    s.SetInt(kList, "num_columns22_", static_cast<int>(columns.size()));
    s.SetInt(kList, "autosize", settings_.autosize ? 1 : 0);
    s.SetInt(kList, "tooltips", settings_.tooltips ? 1 : 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        const int index = static_cast<int>(i);
        s.SetInt(kList, "colid2_", columns[i].id, index);
        s.SetInt(kList, "colwidth2_", columnWidth(index), index);
    }
    s.SetString(kList, "filetypes", settings_.filetypes);
}

void CVandrelList::ApplyColumns() {
    model_.SetQualityColours({ColorFromSetting(settings_.color_bad),
                              ColorFromSetting(settings_.color_notbad),
                              ColorFromSetting(settings_.color_good)});
    model_.SetTooltips(settings_.tooltips);
    const auto& columns = model_.columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        const AttributeInfo* attribute = FindAttribute(columns[i].id);
        const int width = columns[i].width != 0 ? columns[i].width : attribute->width;
        setColumnWidth(static_cast<int>(i), width);
        if (columns[i].id == settings_.sortcolid) {
            horizontalHeader()->setSortIndicator(static_cast<int>(i), settings_.sort_reverse
                                                                          ? Qt::DescendingOrder
                                                                          : Qt::AscendingOrder);
        }
    }
}

bool CVandrelList::AnyShownColumnScanDependent() const {
    std::vector<int32_t> ids;
    for (const ListColumn& column : model_.columns()) {
        ids.push_back(column.id);
    }
    return AnyScanDependent(ids);
}

bool CVandrelList::AcceptsName(const std::string& name) const {
    return MatchesFileTypes(name, extensions_);
}

// --- filling ----------------------------------------------------------------

void CVandrelList::OnFill(const std::string& folder, bool clear, bool complete) {
    Log("CVandrelList::OnFill");
    Log([&] { return "Filling ListView with contents of folder : " + folder; });
    CloseWatch();
    worker_->Interrupt();
    Announce(kBusyIdle);
    WaitCursor wait;
    if (!QFileInfo(FromStd(folder)).isDir()) {
        Log("CVandrelList::OnFill Failed to obtain interface to selected folder...");
        return;
    }
    Log("CVandrelList::OnFill found selected folder interface");
    if (!FillListView(folder, clear, complete)) {
        return;
    }
    current_folder_ = folder;
    OpenWatch();
    snapshot_ = TakeSnapshot();
    SortItems();
}

bool CVandrelList::FillListView(const std::string& folder, bool clear, bool complete) {
    Log("CVandrelList::FillListView");
    const std::optional<std::vector<FolderFile>> files = ListFolderFiles(folder);
    if (!files) {
        Log("Failed to get IEnumIDList interface...");
        return false;
    }
    Log("CVandrelList::FillListView obtained IEnumIDList interface");
    complete_mode_ = false;
    ++batch_tag_;
    if (clear && model_.rowCount() > 0) {
        model_.Clear();
    }
    ItemBatch batch;
    for (const FolderFile& file : *files) {
        if (AddItemToList(folder, file.name)) {
            batch.push_back(model_.rows().back().item);
        }
    }
    if (!batch.empty()) {
        Announce(kBusyScanning);
    }
    SendBatch(std::move(batch), complete ? 0 : settings_.frameres, AnyShownColumnScanDependent());
    return true;
}

bool CVandrelList::AddItemToList(const std::string& folder, const std::string& name) {
    const bool valid = AcceptsName(name);
    Log([&] {
        return "CVandrelList::AddItemToList:\t" + name + (valid ? "\t valid" : "\t invalid");
    });
    if (!valid) {
        return false;
    }
    auto item = std::make_shared<_LVItemData>();
    item->display_name = name;
    item->path = (std::filesystem::path(folder) / name).string();
    model_.Append(std::move(item));
    return true;
}

void CVandrelList::SendBatch(ItemBatch batch, int frames, bool walk_frames) {
    ShowFramesStatus();
    worker_->Post(Message(kMsgProcessBatch,
                          CListThread::BatchParam(frames, batch_tag_, !walk_frames),
                          std::move(batch)));
}

void CVandrelList::FilesGiven(std::vector<std::string> paths) {
    CloseWatch();
    worker_->Interrupt();
    Announce(kBusyIdle);
    complete_mode_ = false;
    ++batch_tag_;
    model_.Clear();
    current_folder_.clear();
    ItemBatch batch;
    for (const std::string& path : paths) {
        auto item = std::make_shared<_LVItemData>();
        item->path = path;
        item->display_name = QFileInfo(FromStd(path)).fileName().toStdString();
        model_.Append(item);
        batch.push_back(std::move(item));
    }
    if (!batch.empty()) {
        Announce(kBusyScanning);
    }
    SendBatch(std::move(batch), settings_.frameres, AnyShownColumnScanDependent());
    SortItems();
}

void CVandrelList::RefreshRequest(bool complete) {
    if (!current_folder_.empty()) {
        OnFill(current_folder_, true, complete);
    }
}

// --- worker results ---------------------------------------------------------

bool CVandrelList::event(QEvent* event) {
    if (event->type() != WorkerEvent::EventType()) {
        return QTableView::event(event);
    }
    Message& message = static_cast<WorkerEvent*>(event)->message();
    switch (message.id) {
    case kMsgItemDone:
        if (const auto* item = std::get_if<ItemRef>(&message.payload)) {
            OnThreadDone(message.wparam, *item);
        }
        break;
    case kMsgBadFile:
        if (const auto* item = std::get_if<ItemRef>(&message.payload)) {
            OnBadFile(*item);
        }
        break;
    case kMsgStatusText:
        if (const auto* text = std::get_if<std::string>(&message.payload)) {
            listener_.StatusText(kPaneWorker, FromStd(*text));
        }
        break;
    default:
        break;
    }
    return true;
}

void CVandrelList::OnThreadDone(uint64_t wparam, const ItemRef& item) {
    if (((wparam >> 16) & 0xFFFF) != batch_tag_) {
        return;  // a result of a batch that has since been replaced
    }
    Log([&] { return "CVandrelList::OnThreadDone: inserting item  " + item->display_name; });
    model_.TakeResult(item);
    if ((wparam & 0xFFFF) == 1) {
        Announce(kBusyIdle);
    }
    const int done = model_.done_count();
    if (done == model_.rowCount()) {
        AllDone();
    } else {
        listener_.StatusText(kPaneMain,
                             tr("%1 read, %2 to go").arg(done).arg(model_.rowCount() - done));
    }
}

void CVandrelList::OnBadFile(const ItemRef& item) {
    Log("CVandrelList::OnBadFile");
    const int row = model_.RowOf(item);
    if (row < 0) {
        return;
    }
    model_.RemoveRow(row);
    if (model_.done_count() == model_.rowCount()) {
        AllDone();
    }
}

QString CVandrelList::SummaryText() const {
    double size = 0;
    double length = 0;
    double bits = 0;
    for (const ListRow& row : model_.rows()) {
        size += row.record.file_size;
        length += row.record.length_seconds;
        bits += static_cast<double>(row.record.average_bitrate) * row.record.length_seconds;
    }
    const double average = length != 0 ? bits / length : 0.0;
    double amount = size / 1048576.0;
    QString unit = QStringLiteral("MB");
    if (amount > 1024) {
        amount /= 1024;
        unit = QStringLiteral("GB");
    }
    const int count = model_.rowCount();
    const QString files = count == 1 ? tr("1 file") : tr("%1 files").arg(count);
    return QStringLiteral("%1, %2 %3, %4 kbps")
        .arg(files)
        .arg(amount, 0, 'f', 1)
        .arg(unit)
        .arg(average, 0, 'f', 1);
}

void CVandrelList::AllDone() {
    listener_.StatusText(kPaneMain, SummaryText());
    if (settings_.autosize && !complete_mode_) {
        StretchFirstColumn();
    }
    // A second pass that starts now announces its own end; until then the
    // list stays busy, so that no folder check refills it meanwhile.
    const bool second_pass = settings_.readallinitial && CompleteScan();
    if (!second_pass) {
        Announce(kBusyIdle);
    }
    emit allDone();
}

bool CVandrelList::CompleteScan() {
    if (complete_mode_) {
        return false;
    }
    complete_mode_ = true;
    std::vector<int> rows(static_cast<size_t>(model_.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    return ReadInFull(rows);
}

void CVandrelList::CompleteScanOfSelection() {
    ReadInFull(SelectedRows());
}

bool CVandrelList::ReadInFull(const std::vector<int>& rows) {
    ItemBatch batch;
    for (int row : rows) {
        const ListRow& entry = model_.rows()[static_cast<size_t>(row)];
        if (entry.record.whole_file_scanned == 0) {
            // Waiting for its new result again: "all done" comes after it.
            model_.MarkPending(row);
            batch.push_back(entry.item);
        }
    }
    if (batch.empty()) {
        return false;
    }
    ++batch_tag_;
    Announce(kBusyScanning);
    SendBatch(std::move(batch), 0, true);
    return true;
}

// --- busy state and the worker ----------------------------------------------

void CVandrelList::Announce(int state) {
    busy_ = state;
    if (state == kBusyPaused) {
        worker_->Pause();
    } else if (state == kBusyResumed) {
        worker_->Resume();
    }
    listener_.BusyState(state);
}

void CVandrelList::ShowFramesStatus() {
    listener_.StatusText(kPaneFrames,
                         settings_.frameres == 0
                             ? tr("Reading all frames")
                             : tr("Reading at most %1 frames").arg(settings_.frameres));
}

void CVandrelList::StopLoading() {
    if (busy_ == kBusyIdle) {
        return;
    }
    worker_->Interrupt();
    Announce(kBusyIdle);
    listener_.StatusText(kPaneMain, tr("Interrupted"));
}

void CVandrelList::PauseForDetails(bool pause) {
    if (busy_ == kBusyIdle) {
        // Nothing is being read: hold the worker for whatever comes, but stay
        // idle, so that the folder check keeps working.
        if (pause) {
            worker_->Pause();
        } else {
            worker_->Resume();
        }
        return;
    }
    Announce(pause ? kBusyPaused : kBusyResumed);
}

void CVandrelList::TogglePause() {
    Announce(busy_ == kBusyPaused ? kBusyResumed : kBusyPaused);
}

// --- columns and sorting ----------------------------------------------------

void CVandrelList::StretchFirstColumn() {
    if (model_.columnCount() == 0) {
        return;
    }
    int total = 0;
    for (int i = 0; i < model_.columnCount(); ++i) {
        total += columnWidth(i);
    }
    const int width = viewport()->width() - total + columnWidth(0);
    setColumnWidth(0, std::max(width, kMinFirstColumnWidth));
}

void CVandrelList::SortItems() {
    model_.Sort(settings_.sortcolid, settings_.sort_reverse);
    const auto& columns = model_.columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].id == settings_.sortcolid) {
            horizontalHeader()->setSortIndicator(static_cast<int>(i), settings_.sort_reverse
                                                                          ? Qt::DescendingOrder
                                                                          : Qt::AscendingOrder);
            return;
        }
    }
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

void CVandrelList::OnHeaderClicked(int section) {
    const int32_t id = model_.columns()[static_cast<size_t>(section)].id;
    if (id == settings_.sortcolid) {
        settings_.sort_reverse = !settings_.sort_reverse;
    } else {
        settings_.sortcolid = id;  // the direction stays
    }
    SortItems();
}

// --- user actions -----------------------------------------------------------

std::vector<int> CVandrelList::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CVandrelList::OpenDetailsOf(int row) {
    const std::string& path = model_.rows()[static_cast<size_t>(row)].item->path;
    CVandrelMediaFileWrapper file;
    if (!file.Attach(path) || (file.GetFeatureMask() & kFeatureDetails) == 0) {
        QMessageBox::warning(this, tr("Vandrel"),
                             tr("Details Dialog doesn't (yet) support the media type of the "
                                "file:\n\n\t%1")
                                 .arg(FromStd(path)));
        return;
    }
    listener_.OpenDetails(path);
}

void CVandrelList::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        return;
    }
    Log("CVandrelList::OnLVDblClk");
    OpenDetailsOf(index.row());
}

void CVandrelList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        DeleteRequest();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
        OpenDetailsOf(currentIndex().row());
        return;
    }
    QTableView::keyPressEvent(event);
}

void CVandrelList::contextMenuEvent(QContextMenuEvent* event) {
    const std::vector<int> selected = SelectedRows();
    if (selected.empty()) {
        return;
    }
    const ListRow& first = model_.rows()[static_cast<size_t>(selected.front())];
    QMenu menu(this);
    QAction* details = menu.addAction(tr("&Details"));
    menu.setDefaultAction(details);
    QAction* lame = menu.addAction(tr("&Lame Header"));
    QAction* complete = menu.addAction(tr("&Complete Scan"));
    QAction* rename = menu.addAction(tr("&Rename"));
    QAction* sync = menu.addAction(tr("&Sync Error Details"));
    QAction* append = menu.addAction(tr("&Append mp3"));
    QAction* tag =
        menu.addAction(selected.size() == 1 ? tr("Edit ID3v1 Tag") : tr("Edit Tag Sequentially"));
    QAction* tag_multiple = nullptr;
    if (selected.size() > 1) {
        tag_multiple = menu.addAction(tr("Edit Tag Multiple"));
        tag_multiple->setEnabled(false);
    }
    // The tools behind these entries are not part of this version yet.
    lame->setEnabled(false);
    sync->setEnabled(false);
    append->setEnabled(false);
    tag->setEnabled(false);
    rename->setEnabled(selected.size() == 1 && first.done);
    if (selected.size() == 1) {
        CVandrelMediaFileWrapper file;
        const int features = file.Attach(first.item->path) ? file.GetFeatureMask() : 0;
        details->setEnabled((features & kFeatureDetails) != 0);
    }
    menu.addSeparator();
    QAction* open = menu.addAction(tr("Open With Default Application"));
    QAction* show = menu.addAction(tr("Show in Folder"));

    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == details) {
        for (int row : selected) {
            Log([&] {
                return "Do details: " + model_.rows()[static_cast<size_t>(row)].item->path;
            });
            OpenDetailsOf(row);
        }
    } else if (chosen == complete) {
        CompleteScanOfSelection();
    } else if (chosen == rename) {
        RenameRequest();
    } else if (chosen == open || chosen == show) {
        for (int row : selected) {
            const QFileInfo info(FromStd(model_.rows()[static_cast<size_t>(row)].item->path));
            QDesktopServices::openUrl(
                QUrl::fromLocalFile(chosen == open ? info.filePath() : info.absolutePath()));
        }
        ArmQuickCheck();
    }
}

void CVandrelList::RenameRequest() {
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        for (int column = 0; column < model_.columnCount(); ++column) {
            if (model_.columns()[static_cast<size_t>(column)].id == 0) {
                edit(model_.index(current.row(), column));
                return;
            }
        }
    }
}

bool CVandrelList::RenameRow(ListRow& row, const QString& name) {
    if (name.contains(QLatin1Char('/'))) {
        return false;
    }
    // Paths stay bytes: the old name need not be valid UTF-8.
    namespace fs = std::filesystem;
    const fs::path old_path(row.item->path);
    const fs::path new_path = old_path.parent_path() / name.toStdString();
    std::error_code ec;
    if (fs::exists(fs::symlink_status(new_path, ec))) {
        ec = std::make_error_code(std::errc::file_exists);
    } else {
        fs::rename(old_path, new_path, ec);
    }
    if (ec) {
        QMessageBox::warning(
            this, tr("Vandrel"),
            tr("Could not rename\n%1\nto %2:\n%3")
                .arg(FromStd(old_path.string()), name, QString::fromStdString(ec.message())));
        return false;
    }
    const std::string old_name = row.item->display_name;
    row.item->path = new_path.string();
    row.item->display_name = name.toStdString();
    row.texts[kSlotName] = row.item->display_name;
    // The renamed file alone must not look like a change of the folder.
    for (SnapshotEntry& entry : snapshot_) {
        if (entry.name == old_name) {
            entry.name = row.item->display_name;
        }
    }
    return true;
}

void CVandrelList::SelectRequest(bool all) {
    if (all) {
        selectAll();
    } else {
        clearSelection();
    }
}

void CVandrelList::DeleteRequest() {
    const std::vector<int> selected = SelectedRows();
    if (selected.empty()) {
        return;
    }
    const QString question =
        selected.size() == 1
            ? tr("Move \"%1\" to the trash?")
                  .arg(FromStd(model_.rows()[static_cast<size_t>(selected[0])].item->display_name))
            : tr("Move these %1 files to the trash?").arg(selected.size());
    if (QMessageBox::question(this, tr("Delete"), question) != QMessageBox::Yes) {
        return;
    }
    QStringList failed;
    for (int row : selected) {
        const QString path = FromStd(model_.rows()[static_cast<size_t>(row)].item->path);
        if (!QFile::moveToTrash(path)) {
            failed.push_back(path);
        }
    }
    if (!failed.isEmpty()) {
        QMessageBox::warning(this, tr("Delete"),
                             tr("Could not move to the trash:\n%1").arg(failed.join('\n')));
    }
    ArmQuickCheck();
}

void CVandrelList::EditRequest(EditCommand command) {
    if (command == EditCommand::kPaste) {
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        if (mime == nullptr || !mime->hasUrls()) {
            return;
        }
        const QByteArray gnome = mime->data(kGnomeCopiedFiles);
        const bool move = gnome.startsWith("cut") || mime->data(kKdeCutSelection).startsWith('1');
        CopyFilesHere(mime->urls(), move);
        return;
    }
    const std::vector<int> selected = SelectedRows();
    if (selected.empty()) {
        return;
    }
    QList<QUrl> urls;
    QByteArray gnome = command == EditCommand::kCut ? "cut" : "copy";
    for (int row : selected) {
        const QUrl url =
            QUrl::fromLocalFile(FromStd(model_.rows()[static_cast<size_t>(row)].item->path));
        urls.push_back(url);
        gnome += '\n' + url.toEncoded();
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    mime->setData(kGnomeCopiedFiles, gnome);
    if (command == EditCommand::kCut) {
        mime->setData(kKdeCutSelection, "1");
    }
    QApplication::clipboard()->setMimeData(mime);
}

void CVandrelList::CopyFilesHere(const QList<QUrl>& urls, bool move) {
    if (current_folder_.empty()) {
        return;
    }
    const QDir target(FromStd(current_folder_));
    QStringList failed;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const QFileInfo source(url.toLocalFile());
        if (!source.isFile() || !AcceptsName(source.fileName().toStdString()) ||
            source.absoluteDir() == target) {
            continue;
        }
        const QString destination = target.filePath(source.fileName());
        if (QFileInfo::exists(destination)) {
            failed.push_back(source.fileName() + tr(" (already there)"));
            continue;
        }
        const bool ok = move ? QFile::rename(source.filePath(), destination) ||
                                   (QFile::copy(source.filePath(), destination) &&
                                    QFile::remove(source.filePath()))
                             : QFile::copy(source.filePath(), destination);
        if (!ok) {
            failed.push_back(source.fileName());
        }
    }
    if (!failed.isEmpty()) {
        QMessageBox::warning(this, tr("Paste"),
                             tr("These files were not copied:\n%1").arg(failed.join('\n')));
    }
    ArmQuickCheck();
}

void CVandrelList::startDrag(Qt::DropActions actions) {
    QTableView::startDrag(actions);
    ArmQuickCheck();
}

void CVandrelList::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() != this && event->mimeData()->hasUrls() && !current_folder_.empty()) {
        event->acceptProposedAction();
    }
}

void CVandrelList::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() != this && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CVandrelList::dropEvent(QDropEvent* event) {
    if (event->source() == this || !event->mimeData()->hasUrls()) {
        return;
    }
    CopyFilesHere(event->mimeData()->urls(), event->dropAction() == Qt::MoveAction);
    event->acceptProposedAction();
}

// --- folder watch -----------------------------------------------------------

void CVandrelList::OpenWatch() {
    watch_ = std::make_unique<QFileSystemWatcher>(QStringList{FromStd(current_folder_)});
    watch_fired_ = false;
    connect(watch_.get(), &QFileSystemWatcher::directoryChanged, this, [this] {
        watch_fired_ = true;
        emit folderChanged();
    });
}

void CVandrelList::CloseWatch() {
    watch_.reset();
}

void CVandrelList::ArmQuickCheck() {
    quick_check_timer_.start();
}

std::vector<SnapshotEntry> CVandrelList::TakeSnapshot() const {
    const std::vector<FolderFile> files =
        ListFolderFiles(current_folder_).value_or(std::vector<FolderFile>{});
    // Extension by extension, as "*.mp3", "*.mp2", ... would list them.
    std::vector<SnapshotEntry> snapshot;
    for (const std::string& extension : extensions_) {
        for (const FolderFile& file : files) {
            if (AsciiLower(file.name).ends_with(extension)) {
                snapshot.push_back({file.name, static_cast<uint32_t>(file.size) -
                                                   static_cast<uint32_t>(file.size >> 32)});
            }
        }
    }
    return snapshot;
}

void CVandrelList::CheckFolder() {
    if (busy_ != kBusyIdle || current_folder_.empty() || !watch_ || !watch_fired_) {
        return;
    }
    watch_fired_ = false;
    std::vector<SnapshotEntry> fresh = TakeSnapshot();
    const bool changed = fresh != snapshot_;
    snapshot_ = std::move(fresh);
    if (settings_.rescan && !worker_->suspended() && changed) {
        OnFill(current_folder_, true, false);
    }
}

}  // namespace vandrel
