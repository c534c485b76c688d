#pragma once

#include <array>
#include <functional>
#include <unordered_map>
#include <vector>

#include <QAbstractTableModel>
#include <QColor>

#include "store/AttributeCatalog.h"
#include "work/Messages.h"

namespace vandrel {

// One row of the file list: the item it shares with the worker, and the
// user-interface thread's own copy of its results, taken when the worker
// reported the item finished (so painting never reads what the worker writes).
struct ListRow {
    ItemRef item;
    ScanRecord record;  // quality_class -1 until a result came
    AttributeTexts texts;
    bool done = false;
};

// A shown column: an attribute and its width.
struct ListColumn {
    int32_t id;
    int width;  // 0: the attribute's own width
};

// The file list's rows as a table: each cell shows the row's text of the
// column's attribute. The view asks for every cell it paints.
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
    const std::vector<ListColumn>& columns() const { return columns_; }
    // Colours of the Quality cell by quality class (bad, not bad, good).
    void SetQualityColours(const std::array<QColor, 3>& colours);
    void SetTooltips(bool on) { tooltips_ = on; }

    void Clear();
    void Append(ItemRef item);
    // Takes the worker's result of the row's item; -1 when the item has no row.
    int TakeResult(const ItemRef& item);
    int RowOf(const ItemRef& item) const;
    // The row waits for a new result of its item.
    void MarkPending(int row);
    int done_count() const { return done_count_; }
    void RemoveRow(int row);
    void Sort(int32_t attribute_id, bool descending);
    void RowsChanged(int first, int last);

    const std::vector<ListRow>& rows() const { return rows_; }
    std::vector<ListRow>& rows() { return rows_; }
    // The worker may rename a file only through here.
    using RenameFunction = std::function<bool(ListRow&, const QString&)>;
    void SetRenameFunction(RenameFunction rename) { rename_ = std::move(rename); }

private:
    std::vector<ListRow> rows_;
    std::vector<ListColumn> columns_;
    std::array<QColor, 3> quality_colours_;
    bool tooltips_ = true;
    RenameFunction rename_;
    std::unordered_map<const _LVItemData*, int> row_of_;  // the row of each item
    int done_count_ = 0;

    void IndexRowsFrom(size_t first);
};

// The Quality attribute's id, whose cells are coloured.
constexpr int32_t kQualityAttribute = 7;

// A colour setting (red + 256 green + 65536 blue) as a QColor, and back.
QColor ColorFromSetting(int value);
int SettingFromColor(const QColor& color);

}  // namespace vandrel
