#include "ui/browser/VandrelList.h"

#include <algorithm>
#include <unordered_set>

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>

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
      loader_(model_, filter_, listener, settings_), columns_(*this, model_, settings_) {
    setModel(&filter_);
    actions_ = std::make_unique<ListFileActions>(
        *this, ListActionParts{model_, loader_.watch(), listener_,
                               [this] { return SelectedRows(); }, settings_, loader_.folder()});
    connect(actions_.get(), &ListFileActions::completeScanRequested, this,
            [this] { loader_.ReadInFull(SelectedRows()); });
    connect(actions_.get(), &ListFileActions::rowsRewritten, this,
            [this](const std::vector<int>& rows) { loader_.ReadAgain(rows); });
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
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
            [this](QPoint at) { actions_->ShowHeaderMenu(horizontalHeader()->mapToGlobal(at)); });
    model_.SetRenameFunction(
        [this](int row, const QString& name) { return actions_->RenameRow(row, name); });
    connect(&loader_, &ListLoader::allDone, this, [this](ReadPass pass) {
        // The second pass leaves the widths as the first one made them.
        if (settings_.autosize && pass == ReadPass::kFirst) {
            columns_.StretchFirst();
        }
        emit allDone();
    });
    connect(&loader_, &ListLoader::emptied, viewport(), qOverload<>(&QWidget::update));
    ListFileActions* actions = actions_.get();
    connect(&loader_.scanner(), &ListScanner::resultsHandled, actions,
            &ListFileActions::ShowSelectionStatus);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, actions,
            &ListFileActions::ShowSelectionStatus);
    connect(&filter_, &QAbstractItemModel::modelReset, actions,
            &ListFileActions::ShowSelectionStatus);
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
    columns_.KeepWidths();
    SaveListSettings(settings, settings_);
}

void CVandrelList::SettingsToPages() {
    columns_.KeepWidths();
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
        RefreshRequest(ListReadDepth::kFrameLimit);
    } else if (settings_.autosize) {
        columns_.StretchFirst();
    }
    viewport()->update();
    // A batch still being read keeps its own text.
    if (loader_.scanner().busy() == ListBusy::kIdle) {
        loader_.ShowFramesText(settings_.frame_limit);
    }
}

void CVandrelList::ApplySettings() {
    loader_.ApplySettings();
    model_.SetSortOrder(settings_.sort_column, settings_.sort_reverse ? SortDirection::kDescending
                                                                      : SortDirection::kAscending);
    filter_.SetFilter(settings_.problems_only ? RowFilter::kProblemsOnly : RowFilter::kAll);
    columns_.Apply();
}

// --- filling ----------------------------------------------------------------

void CVandrelList::OnFill(const std::string& folder, ListReadDepth depth) {
    std::unordered_set<std::string> selected;
    std::string current;
    const int scroll = verticalScrollBar()->value();
    const bool same_folder = folder == loader_.folder();
    if (same_folder) {
        for (int row : SelectedRows()) {
            selected.insert(model_.Row(row).path);
        }
        if (currentIndex().isValid()) {
            current = model_.Row(filter_.ModelRow(currentIndex())).path;
        }
    }
    WaitCursor wait;
    if (!loader_.Fill(folder, depth)) {
        return;
    }
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

void CVandrelList::RefreshRequest(ListReadDepth depth) {
    if (!loader_.folder().empty()) {
        OnFill(loader_.folder(), depth);
    }
}

void CVandrelList::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (model_.rowCount() == 0 && !loader_.empty_reason().isEmpty()) {
        QPainter(viewport()).drawText(viewport()->rect(), Qt::AlignCenter, loader_.empty_reason());
    }
}

void CVandrelList::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    if (settings_.autosize) {
        columns_.StretchFirst();
    }
}

void CVandrelList::SetProblemsOnly(bool on) {
    if (on == settings_.problems_only) {
        return;
    }
    // Rows read without a walk of their frames have no findings to go by.
    const BatchWalk walk = loader_.WalkFrames();
    settings_.problems_only = on;
    if (on) {
        columns_.ShowProblems();
    }
    filter_.SetFilter(on ? RowFilter::kProblemsOnly : RowFilter::kAll);
    if (walk == BatchWalk::kHeadersOnly) {
        RefreshRequest(ListReadDepth::kFrameLimit);
    } else if (loader_.scanner().busy() == ListBusy::kIdle &&
               model_.done_count() == model_.rowCount()) {
        listener_.StatusText(kPaneMain, SummaryText(TotalsOf(model_, filter_.filter())));
    }
}

void CVandrelList::ExportRequest() {
    if (loader_.folder().empty()) {
        QApplication::beep();  // files named on the command line have no folder to export
        return;
    }
    CExportDlg dialog(loader_.folder(), settings_, this);
    dialog.exec();
    settings_.export_choices = dialog.choices();
}

// --- rows -------------------------------------------------------------------

std::vector<int> CVandrelList::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(filter_.ModelRow(index));
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
    loader_.watch().ArmQuickCheck();
}

}  // namespace vandrel
