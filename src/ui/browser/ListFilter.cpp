#include "ui/browser/ListFilter.h"

namespace vandrel {

ListFilter::ListFilter(ListModel& model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model) {
    setDynamicSortFilter(false);
    setSourceModel(&model);
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this] { stale_ = filter_ != RowFilter::kAll; });
    // A new layout or a reset of the model maps every row afresh.
    connect(&model, &QAbstractItemModel::layoutChanged, this, [this] { stale_ = false; });
    connect(&model, &QAbstractItemModel::modelReset, this, [this] { stale_ = false; });
}

void ListFilter::SetFilter(RowFilter filter) {
    if (filter == filter_) {
        return;
    }
    filter_ = filter;
    stale_ = false;
    invalidate();
}

void ListFilter::Refilter() {
    if (stale_) {
        stale_ = false;
        invalidate();
    }
}

QVariant ListFilter::data(const QModelIndex& index, int role) const {
    QVariant value = QSortFilterProxyModel::data(index, role);
    if (role == Qt::BackgroundRole && !value.isValid() && index.row() % 2 == 0) {
        return QColor::fromRgb(kShadedRow);
    }
    return value;
}

QModelIndex ListFilter::IndexOfModelRow(int row, int column) const {
    return mapFromSource(model_.index(row, column));
}

bool ListFilter::filterAcceptsRow(int source_row, const QModelIndex& source_parent) const {
    return !source_parent.isValid() && source_row < model_.rowCount() &&
           Shows(filter_, model_.Row(source_row));
}

}  // namespace vandrel
