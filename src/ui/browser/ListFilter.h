#pragma once

#include <QColor>
#include <QSortFilterProxyModel>

#include "ui/browser/ListModel.h"

namespace vandrel {

// What the file list's view shows of its model: every row, or with "Problem
// files only" all but the rows known clean, so that files appear as their
// analysis finds something wrong and those still waiting stay in sight. The
// model keeps the order; this only leaves rows out, and shades every other
// row it shows, whatever lies hidden between them.
//
// Rows are not hidden one by one as their results come: each hidden row
// would split the selection around it, which grows costly over thousands of
// selected rows. Results only mark the rows stale; Refilter, once for all the
// results of a wake, hides and shows rows in one change of the layout, as
// the model's own reordering does (which settles them too).
class ListFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // The shading of every other row, from the first.
    static constexpr QRgb kShadedRow = qRgb(235, 235, 255);

    explicit ListFilter(ListModel& model, QObject* parent = nullptr);

    void SetFilter(RowFilter filter);
    RowFilter filter() const { return filter_; }
    // Hides and shows the rows whose results changed since the layout last did.
    void Refilter();

    QVariant data(const QModelIndex& index, int role) const override;
    // The model's row of a shown index; -1 for an invalid one.
    int ModelRow(const QModelIndex& index) const { return mapToSource(index).row(); }
    // The shown index of a model row's cell; invalid while the row is hidden.
    QModelIndex IndexOfModelRow(int row, int column) const;

protected:
    bool filterAcceptsRow(int source_row, const QModelIndex& source_parent) const override;

private:
    ListModel& model_;
    RowFilter filter_ = RowFilter::kAll;
    bool stale_ = false;  // a row changed since the rows shown were last chosen
};

}  // namespace vandrel
