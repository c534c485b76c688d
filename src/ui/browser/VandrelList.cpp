#include "ui/browser/VandrelList.h"

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <unordered_set>

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>

#include "store/Log.h"
#include "ui/browser/ListFileActions.h"
#include "ui/tools/ExportDlg.h"

namespace vandrel {

namespace {

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
    : QTableView(parent), listener_(listener), model_(this), filter_(model_, this),
      scanner_(listener) {
    setModel(&filter_);
    actions_ = std::make_unique<ListFileActions>(
        *this, ListActionParts{model_, watch_, listener_, [this] { return SelectedRows(); },
                               settings_, current_folder_});
    connect(actions_.get(), &ListFileActions::completeScanRequested, this,
            [this] { ReadInFull(SelectedRows()); });
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(false);
    setWordWrap(false);
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
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
            [this](QPoint at) { actions_->ShowHeaderMenu(horizontalHeader()->mapToGlobal(at)); });
    model_.SetRenameFunction(
        [this](int row, const QString& name) { return actions_->RenameRow(row, name); });
    connect(&watch_, &FolderWatch::checkDue, this, &CVandrelList::CheckFolder);
    connect(&scanner_, &ListScanner::resultArrived, this,
            [this](ListResult& result, bool) { OnThreadDone(result); });
    connect(&scanner_, &ListScanner::statusText, this,
            [this](const QString& text) { listener_.StatusText(kPaneWorker, text); });
    // Rows whose results moved them go to their places once per wake, and
    // rows found clean leave the problems filter's view.
    connect(&scanner_, &ListScanner::resultsHandled, this, [this] {
        model_.RestoreOrder();
        filter_.Refilter();
        ShowSelectionStatus();
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CVandrelList::ShowSelectionStatus);
    connect(&filter_, &QAbstractItemModel::modelReset, this, &CVandrelList::ShowSelectionStatus);
    settings_.columns = DefaultListColumns();
    model_.SetColumns(settings_.columns);
    ApplySettings();
}

CVandrelList::~CVandrelList() = default;

// --- settings ---------------------------------------------------------------

void CVandrelList::LoadSettings(const SettingsStore& settings) {
    settings_ = LoadListSettings(settings);
    model_.SetColumns(settings_.columns);
    ApplySettings();
}

void CVandrelList::SaveSettings(SettingsStore& settings) {
    for (size_t i = 0; i < settings_.columns.size(); ++i) {
        settings_.columns[i].width = columnWidth(static_cast<int>(i));
    }
    SaveListSettings(settings, settings_);
}

void CVandrelList::SettingsToPages() {
    for (size_t i = 0; i < settings_.columns.size(); ++i) {
        settings_.columns[i].width = columnWidth(static_cast<int>(i));
    }
    page_data_ = {settings_, false};
}

void CVandrelList::AddSettingsPages(SettingsSheet& sheet) {
    sheet.AddPage(new CPropListGeneral(page_data_));
    sheet.AddPage(new CPropListQuality(page_data_));
    sheet.AddPage(new CPropListColumns(page_data_));
    sheet.AddPage(new CPropListFiletypes(page_data_));
}

void CVandrelList::PagesToSettings() {
    const bool columns_changed =
        page_data_.values.columns.size() != settings_.columns.size() ||
        !std::equal(page_data_.values.columns.begin(), page_data_.values.columns.end(),
                    settings_.columns.begin(),
                    [](const ListColumn& a, const ListColumn& b) { return a.id == b.id; });
    settings_ = page_data_.values;
    if (columns_changed) {
        model_.SetColumns(settings_.columns);
    }
    ApplySettings();
    if (page_data_.changed) {
        RefreshRequest(false);
    } else if (settings_.autosize) {
        StretchFirstColumn();
    }
    viewport()->update();
    // A batch still being read keeps its own text.
    if (scanner_.busy() == ListBusy::kIdle) {
        ShowFramesText(settings_.frame_limit);
    }
}

void CVandrelList::ShowFramesText(int frames) {
    listener_.StatusText(kPaneFrames, frames == 0 ? tr("Reading all frames")
                                                  : tr("Reading at most %1 frames").arg(frames));
}

void CVandrelList::ApplySettings() {
    extensions_ = SplitFileTypes(settings_.file_types);
    scanner_.SetOptions({settings_.read_all_unknown, settings_.mono_quality});
    model_.SetSortOrder(settings_.sort_column, settings_.sort_reverse);
    filter_.SetFilter(settings_.problems_only ? RowFilter::kProblemsOnly : RowFilter::kAll);
    ApplyColumns();
}

void CVandrelList::ApplyColumns() {
    model_.SetQualityColours({ColorFromSetting(settings_.color_bad),
                              ColorFromSetting(settings_.color_notbad),
                              ColorFromSetting(settings_.color_good)});
    model_.SetTooltips(settings_.tooltips);
    for (size_t i = 0; i < settings_.columns.size(); ++i) {
        const ListColumn& column = settings_.columns[i];
        setColumnWidth(static_cast<int>(i),
                       column.width != 0 ? column.width : FindAttribute(column.id)->width);
    }
    ShowSortIndicator();
}

void CVandrelList::ShowSelectionStatus() {
    const std::vector<int> rows = SelectedRows();
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

bool CVandrelList::AnyShownColumnScanDependent() const {
    std::vector<int32_t> ids;
    for (const ListColumn& column : settings_.columns) {
        ids.push_back(column.id);
    }
    return AnyScanDependent(ids);
}

bool CVandrelList::WalkFrames() const {
    return settings_.problems_only || AnyShownColumnScanDependent();
}

bool CVandrelList::AcceptsName(std::string_view name) const {
    return MatchesFileTypes(name, extensions_);
}

// --- filling ----------------------------------------------------------------

void CVandrelList::OnFill(const std::string& folder, bool clear, bool complete) {
    Log("CVandrelList::OnFill");
    Log([&] { return "Filling ListView with contents of folder : " + folder; });
    // A refill of the same folder keeps the selection, the current row and the scroll.
    std::unordered_set<std::string> selected;
    std::string current;
    const int scroll = verticalScrollBar()->value();
    const bool same_folder = folder == current_folder_;
    if (same_folder) {
        for (int row : SelectedRows()) {
            selected.insert(model_.Row(row).path);
        }
        if (currentIndex().isValid()) {
            current = model_.Row(ModelRow(currentIndex())).path;
        }
    }
    watch_.Close();
    scanner_.Interrupt();
    WaitCursor wait;
    std::error_code ec;
    const bool is_folder = std::filesystem::is_directory(folder, ec);
    const auto files = is_folder ? ListFolderFiles(folder) : std::nullopt;
    if (!files) {
        Log(is_folder ? "Failed to get IEnumIDList interface..."
                      : "CVandrelList::OnFill Failed to obtain interface to selected folder...");
        current_folder_ = folder;  // F5 looks again
        ClearFolder(is_folder ? tr("Folder cannot be read") : tr("Folder not found"));
        return;
    }
    Log("CVandrelList::OnFill found selected folder interface");
    Log("CVandrelList::FillListView");
    Log("CVandrelList::FillListView obtained IEnumIDList interface");
    empty_reason_.clear();
    complete_mode_ = false;
    if (clear) {
        model_.Clear();
    }
    std::vector<std::pair<std::string, std::string>> accepted;
    for (const FolderFile& file : *files) {
        const bool valid = AcceptsName(file.name);
        Log([&] {
            return "CVandrelList::AddItemToList:\t" + file.name +
                   (valid ? "\t valid" : "\t invalid");
        });
        if (valid) {
            accepted.emplace_back((std::filesystem::path(folder) / file.name).string(), file.name);
        }
    }
    model_.AddRows(accepted);
    current_folder_ = folder;
    watch_.Open(
        folder, [this](std::string_view name) { return AcceptsName(name); }, *files);
    std::vector<int> rows(static_cast<size_t>(model_.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    SendBatch(rows, complete ? 0 : settings_.frame_limit, WalkFrames());

    // A hidden row has no index to select; after a clear none is known clean yet.
    for (int row = 0; row < model_.rowCount() && !selected.empty(); ++row) {
        const QModelIndex shown = filter_.IndexOfModelRow(row, 0);
        if (selected.count(model_.Row(row).path) != 0) {
            selectionModel()->select(shown,
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        if (model_.Row(row).path == current) {
            selectionModel()->setCurrentIndex(shown, QItemSelectionModel::NoUpdate);
        }
    }
    if (same_folder) {
        verticalScrollBar()->setValue(scroll);
    }
}

void CVandrelList::FilesGiven(std::vector<std::string> paths) {
    watch_.Close();
    scanner_.Interrupt();
    complete_mode_ = false;
    model_.Clear();
    current_folder_.clear();
    empty_reason_.clear();
    std::vector<std::pair<std::string, std::string>> files;
    for (std::string& path : paths) {
        std::string name = std::filesystem::path(path).filename().string();
        files.emplace_back(std::move(path), std::move(name));
    }
    model_.AddRows(files);
    std::vector<int> rows(static_cast<size_t>(model_.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    SendBatch(rows, settings_.frame_limit, WalkFrames());
}

void CVandrelList::ClearFolder(const QString& why) {
    watch_.Close();
    scanner_.Forget();
    model_.Clear();
    listener_.StatusText(kPaneMain, why);
    listener_.StatusText(kPaneWorker, {});
    // The status pane is narrow: the empty list says it whole.
    empty_reason_ = why + QStringLiteral(":\n") + QFile::decodeName(current_folder_.c_str());
    viewport()->update();
}

void CVandrelList::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (model_.rowCount() == 0 && !empty_reason_.isEmpty()) {
        QPainter(viewport()).drawText(viewport()->rect(), Qt::AlignCenter, empty_reason_);
    }
}

void CVandrelList::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    if (settings_.autosize) {
        StretchFirstColumn();
    }
}

void CVandrelList::SendBatch(const std::vector<int>& rows, int frames, bool walk_frames) {
    ListJobBatch jobs;
    jobs.reserve(rows.size());
    for (int row : rows) {
        jobs.push_back(model_.JobOf(row));
    }
    ShowFramesText(frames);
    const int done = model_.done_count();
    listener_.StatusText(kPaneMain, jobs.empty() && done == model_.rowCount()
                                        ? SummaryText()
                                        : tr("%1 read, %2 to go").arg(done).arg(jobs.size()));
    scanner_.Send(std::move(jobs), frames, walk_frames);
}

// --- worker results ---------------------------------------------------------

void CVandrelList::OnThreadDone(ListResult& result) {
    AssertUiThread();
    const int row = model_.TakeResult(result);
    if (row >= 0) {
        Log([&] {
            return "CVandrelList::OnThreadDone: inserting item  " +
                   std::string(model_.Row(row).name());
        });
    }
    const int done_count = model_.done_count();
    if (done_count == model_.rowCount()) {
        AllDone();
    } else {
        listener_.StatusText(
            kPaneMain, tr("%1 read, %2 to go").arg(done_count).arg(model_.rowCount() - done_count));
    }
}

void CVandrelList::AllDone() {
    model_.RestoreOrder();
    filter_.Refilter();
    listener_.StatusText(kPaneMain, SummaryText());
    if (settings_.autosize && !complete_mode_) {
        StretchFirstColumn();
    }
    // A second pass that starts now announces its own end; until then the
    // list stays busy, so that no folder check changes it meanwhile.
    bool second_pass = false;
    if (settings_.read_all_initial && !complete_mode_) {
        complete_mode_ = true;
        std::vector<int> rows(static_cast<size_t>(model_.rowCount()));
        std::iota(rows.begin(), rows.end(), 0);
        second_pass = ReadInFull(rows);
    }
    if (!second_pass) {
        scanner_.SetIdle();
    }
    emit allDone();
}

bool CVandrelList::ReadInFull(const std::vector<int>& rows) {
    std::vector<int> partial;
    for (int row : rows) {
        // A refused file has nothing more to read.
        if (!model_.Row(row).whole_file_scanned && !model_.Row(row).refused) {
            // Waiting for its new result again: "all done" comes after it.
            model_.MarkPending(row);
            partial.push_back(row);
        }
    }
    if (partial.empty()) {
        return false;
    }
    SendBatch(partial, 0, true);
    return true;
}

// --- folder changes -----------------------------------------------------------

void CVandrelList::CheckFolder() {
    // Changes wait while the worker is busy or held; they are not lost.
    if (scanner_.busy() != ListBusy::kIdle || !watch_.is_open() || scanner_.held()) {
        return;
    }
    const FolderChanges changes = watch_.Check();

    if (changes.gone) {
        ClearFolder(tr("The folder is no longer there"));
        return;
    }
    if (!settings_.rescan || changes.empty()) {
        return;
    }
    const std::vector<int> rows = model_.TakeFolderChanges(current_folder_, changes);
    if (rows.empty()) {
        listener_.StatusText(kPaneMain, SummaryText());
        return;
    }
    complete_mode_ = false;
    SendBatch(rows, settings_.frame_limit, WalkFrames());
}

void CVandrelList::SetProblemsOnly(bool on) {
    if (on == settings_.problems_only) {
        return;
    }
    // Rows read without a walk of their frames have no findings to go by.
    const bool walked = WalkFrames();
    settings_.problems_only = on;
    if (on && model_.ColumnOf(kProblemsAttribute) < 0) {
        // The rows left say what is wrong with them, right after the name.
        for (size_t i = 0; i < settings_.columns.size(); ++i) {
            settings_.columns[i].width = columnWidth(static_cast<int>(i));
        }
        const auto place = settings_.columns.begin() + (settings_.columns.empty() ? 0 : 1);
        settings_.columns.insert(place, {kProblemsAttribute, 0});
        model_.SetColumns(settings_.columns);
        ApplyColumns();
    }
    filter_.SetFilter(on ? RowFilter::kProblemsOnly : RowFilter::kAll);
    if (!walked) {
        RefreshRequest(false);
    } else if (scanner_.busy() == ListBusy::kIdle && model_.done_count() == model_.rowCount()) {
        listener_.StatusText(kPaneMain, SummaryText());
    }
}

void CVandrelList::ExportRequest() {
    if (current_folder_.empty()) {
        QApplication::beep();  // files named on the command line have no folder to export
        return;
    }
    CExportDlg dialog(current_folder_, settings_, this);
    dialog.exec();
    settings_.export_choices = dialog.choices();
}

void CVandrelList::StopLoading() {
    if (scanner_.StopLoading()) {
        listener_.StatusText(kPaneMain, tr("Interrupted"));
    }
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

void CVandrelList::ShowSortIndicator() {
    horizontalHeader()->setSortIndicator(model_.ColumnOf(settings_.sort_column),
                                         settings_.sort_reverse ? Qt::DescendingOrder
                                                                : Qt::AscendingOrder);
}

void CVandrelList::OnHeaderClicked(int section) {
    const int32_t id = settings_.columns[static_cast<size_t>(section)].id;
    if (id == settings_.sort_column) {
        settings_.sort_reverse = !settings_.sort_reverse;
    } else {
        settings_.sort_column = id;  // the direction stays
    }
    model_.SetSortOrder(settings_.sort_column, settings_.sort_reverse);
    ShowSortIndicator();
}

// --- rows -------------------------------------------------------------------

std::vector<int> CVandrelList::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(ModelRow(index));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QModelIndex CVandrelList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const int rows = model()->rowCount();
    if ((action == MoveHome || action == MoveEnd) && rows > 0) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        return model()->index(action == MoveHome ? 0 : rows - 1, column);
    }
    return QTableView::moveCursor(action, modifiers);
}

void CVandrelList::startDrag(Qt::DropActions actions) {
    QTableView::startDrag(actions);
    watch_.ArmQuickCheck();
}

}  // namespace vandrel
