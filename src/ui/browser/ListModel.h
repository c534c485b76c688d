#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QAbstractTableModel>
#include <QColor>

#include "store/AttributeCatalog.h"
#include "ui/browser/ListRow.h"
#include "ui/browser/ListRows.h"
#include "ui/common/ListSettings.h"
#include "work/Messages.h"

namespace vandrel {

// Black or white, whichever is easier to read on `background`.
QColor ReadableTextOn(const QColor& background);

// The Problems cell's background for a file's worst finding; invalid for
// kNone, whose cell keeps the row's colour.
QColor SeverityColour(Severity severity);

// Which rows the list shows.
enum class RowFilter {
    kAll,
    kProblemsOnly,  // all but the rows known clean
};
bool Shows(RowFilter filter, const _LVItemData& row);

// Sums over the rows a filter shows, for the status bar's summary.
struct ListTotals {
    int files = 0;
    double bytes = 0;
    double seconds = 0;
    double average_kbps = 0;  // weighted by length; 0 when there is no length
    // With a filter: the rows there are, shown or not; else -1.
    int all_files = -1;
};

// How the list's cells look: the Quality cell's colours by quality class
// (bad, not bad, good), and whether the headers have tooltips.
struct CellStyle {
    std::array<QColor, 3> quality_colours;
    bool tooltips = true;
};

// The file list's rows as a table: each cell shows the row's text of the
// column's attribute. The rows are always in the order of the sort column;
// a result that changes a row's place is moved there by RestoreOrder.
class ListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;

    void SetColumns(std::vector<ListColumn> columns);
    // The column of an attribute, or -1.
    int ColumnOf(int32_t attribute_id) const;
    void SetCellStyle(const CellStyle& style);

    const _LVItemData& Row(int row) const { return rows_.Row(row); }
    // The row of a key; -1 when it is gone.
    int RowOf(uint64_t key) const { return rows_.RowOf(key); }
    int done_count() const { return rows_.done_count(); }
    void Clear();
    // Adds rows for the files (path, shown name), each where the sort puts it.
    // Returns their keys, in the order given.
    std::vector<uint64_t> AddRows(const std::vector<std::pair<std::string, std::string>>& files);
    // Takes a result into its row; -1 when the row is gone. The row stays
    // where it is until RestoreOrder.
    int TakeResult(ListResult& result);
    // The row waits for a new result.
    void MarkPending(int row) { rows_.MarkPending(row); }
    void RemoveRow(int row);
    // The file of the row was renamed.
    void Rename(int row, std::string path, std::string_view name);

    // Sorts the rows by the attribute and keeps them so.
    void SetSortOrder(int32_t attribute_id, SortDirection direction);
    // Moves every row to its sorted place, when a result left one out of it;
    // selections follow their rows.
    void RestoreOrder();

    // How an edited name renames the file: true when it did.
    using RenameFunction = std::function<bool(int row, const QString& name)>;
    void SetRenameFunction(RenameFunction rename) { rename_ = std::move(rename); }

private:
    void RowChanged(int row);

    ListRows rows_;
    std::vector<ListColumn> columns_;
    CellStyle style_;
    RenameFunction rename_;
};

// Sums over the rows a filter shows, for the status bar's summary.
ListTotals TotalsOf(const ListModel& model, RowFilter filter);

// The Quality and Problems attributes' ids, whose cells are coloured.
constexpr int32_t kQualityAttribute = 7;
constexpr int32_t kProblemsAttribute = 300;

// The status bar's summary: "%i files, %.1f %s, %.1f kbps" (MB, or GB past
// 1024 MB), "1 file, ..." for one; under a filter "%i of %i files, ...",
// the figures those of the files shown.
QString SummaryText(const ListTotals& totals);

// A colour setting (red + 256 green + 65536 blue) as a QColor, and back.
QColor ColorFromSetting(int value);
int SettingFromColor(const QColor& color);

}  // namespace vandrel
