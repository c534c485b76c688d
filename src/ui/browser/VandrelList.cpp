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
      loader_(model_, filter_, listener, settings_) {
    setModel(&filter_);
    actions_ = std::make_unique<ListFileActions>(
        *this, ListActionParts{model_, loader_.watch(), listener_,
                               [this] { return SelectedRows(); }, settings_, loader_.folder()});
    connect(actions_.get(), &ListFileActions::completeScanRequested, this,
            [this] { loader_.ReadInFull(SelectedRows()); });
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
    connect(&loader_, &ListLoader::allDone, this, [this](ReadPass pass) {
        // The second pass leaves the widths as the first one made them.
        if (settings_.autosize && pass == ReadPass::kFirst) {
            StretchFirstColumn();
        }
        emit allDone();
    });
    connect(&loader_, &ListLoader::emptied, viewport(), qOverload<>(&QWidget::update));
    connect(&loader_.scanner(), &ListScanner::resultsHandled, this,
            &CVandrelList::ShowSelectionStatus);
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
        RefreshRequest(ReadDepth::kFrameLimit);
    } else if (settings_.autosize) {
        StretchFirstColumn();
    }
    viewport()->update();
    // A batch still being read keeps its own text.
    if (loader_.scanner().busy() == ListBusy::kIdle) {
        loader_.ShowFramesText(settings_.frame_limit);
    }
}

void CVandrelList::ApplySettings() {
    loader_.ApplySettings();
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

// --- filling ----------------------------------------------------------------

void CVandrelList::OnFill(const std::string& folder, ReadDepth depth) {
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

void CVandrelList::RefreshRequest(ReadDepth depth) {
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
        StretchFirstColumn();
    }
}

void CVandrelList::SetProblemsOnly(bool on) {
    if (on == settings_.problems_only) {
        return;
    }
    // Rows read without a walk of their frames have no findings to go by.
    const FrameWalk walk = loader_.WalkFrames();
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
    if (walk == FrameWalk::kHeadersOnly) {
        RefreshRequest(ReadDepth::kFrameLimit);
    } else if (loader_.scanner().busy() == ListBusy::kIdle &&
               model_.done_count() == model_.rowCount()) {
        listener_.StatusText(kPaneMain, SummaryText(model_.Totals(filter_.filter())));
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
