#include "ui/browser/ListModel.h"

#include <algorithm>

#include <QMimeData>
#include <QUrl>

namespace vandrel {

QColor ColorFromSetting(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int SettingFromColor(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const ListRow& row = rows_[static_cast<size_t>(index.row())];
    const AttributeInfo* attribute =
        FindAttribute(columns_[static_cast<size_t>(index.column())].id);
    if (attribute == nullptr) {
        return {};
    }
    const bool quality_cell = attribute->id == kQualityAttribute && row.record.quality_class >= 0 &&
                              row.record.quality_class <= 2;
    switch (role) {
    case Qt::DisplayRole: {
        // A line break or other control character in a file name would break
        // the row's line; it shows as a space (editing keeps it).
        QString text = QString::fromStdString(row.texts[attribute->text_slot]);
        for (QChar& c : text) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
                c = u' ';
            }
        }
        return text;
    }
    case Qt::EditRole:
        return QString::fromStdString(row.texts[attribute->text_slot]);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::AlignVCenter |
            (attribute->alignment == Alignment::kRight ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::BackgroundRole:
        if (quality_cell) {
            return quality_colours_[static_cast<size_t>(row.record.quality_class)];
        }
        // Every other row on a light blue, the rest on the window colour.
        return index.row() % 2 == 0 ? QVariant(QColor(235, 235, 255)) : QVariant();
    case Qt::ForegroundRole:
        return quality_cell ? QVariant(QColor(Qt::white)) : QVariant();
    case Qt::ToolTipRole:
        return QString::fromStdString(row.item->path);
    default:
        return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return {};
    }
    const AttributeInfo* attribute = FindAttribute(columns_[static_cast<size_t>(section)].id);
    if (attribute == nullptr) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf8(attribute->name.data(),
                                 static_cast<qsizetype>(attribute->name.size()));
    case Qt::ToolTipRole:
        return tooltips_ ? QVariant(QString::fromUtf8(
                               attribute->description.data(),
                               static_cast<qsizetype>(attribute->description.size())))
                         : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::AlignVCenter |
            (attribute->alignment == Alignment::kRight ? Qt::AlignRight : Qt::AlignLeft));
    default:
        return {};
    }
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid()) {
        return flags | Qt::ItemIsDropEnabled;
    }
    flags |= Qt::ItemIsDragEnabled;
    // Only the name can be edited (which renames the file), and only of a
    // file the worker is done with.
    if (columns_[static_cast<size_t>(index.column())].id == 0 && rename_ &&
        rows_[static_cast<size_t>(index.row())].done) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !rename_) {
        return false;
    }
    ListRow& row = rows_[static_cast<size_t>(index.row())];
    const QString name = value.toString();
    if (name.isEmpty() || name == QString::fromStdString(row.texts[kSlotName]) ||
        !rename_(row, name)) {
        return false;
    }
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
}

QStringList ListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* ListModel::mimeData(const QModelIndexList& indexes) const {
    QList<QUrl> urls;
    std::vector<int> seen;
    for (const QModelIndex& index : indexes) {
        if (std::find(seen.begin(), seen.end(), index.row()) != seen.end()) {
            continue;
        }
        seen.push_back(index.row());
        urls.push_back(QUrl::fromLocalFile(
            QString::fromStdString(rows_[static_cast<size_t>(index.row())].item->path)));
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

Qt::DropActions ListModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

Qt::DropActions ListModel::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

void ListModel::SetColumns(std::vector<ListColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

void ListModel::SetQualityColours(const std::array<QColor, 3>& colours) {
    quality_colours_ = colours;
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void ListModel::Clear() {
    beginResetModel();
    rows_.clear();
    row_of_.clear();
    done_count_ = 0;
    endResetModel();
}

void ListModel::IndexRowsFrom(size_t first) {
    for (size_t row = first; row < rows_.size(); ++row) {
        row_of_[rows_[row].item.get()] = static_cast<int>(row);
    }
}

void ListModel::Append(ItemRef item) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    ListRow entry;
    entry.item = std::move(item);
    entry.record = ZeroRecord();
    entry.record.quality_class = -1;
    entry.texts[kSlotName] = entry.item->display_name;
    row_of_[entry.item.get()] = row;
    rows_.push_back(std::move(entry));
    endInsertRows();
}

int ListModel::RowOf(const ItemRef& item) const {
    const auto it = row_of_.find(item.get());
    return it == row_of_.end() ? -1 : it->second;
}

void ListModel::MarkPending(int row) {
    ListRow& entry = rows_[static_cast<size_t>(row)];
    if (entry.done) {
        entry.done = false;
        --done_count_;
    }
}

int ListModel::TakeResult(const ItemRef& item) {
    const int row = RowOf(item);
    if (row < 0) {
        return -1;
    }
    ListRow& entry = rows_[static_cast<size_t>(row)];
    entry.record = item->record;
    entry.texts = item->texts;
    if (!entry.done) {
        entry.done = true;
        ++done_count_;
    }
    item->done = true;
    RowsChanged(row, row);
    return row;
}

void ListModel::RemoveRow(int row) {
    beginRemoveRows({}, row, row);
    ListRow& entry = rows_[static_cast<size_t>(row)];
    done_count_ -= entry.done ? 1 : 0;
    row_of_.erase(entry.item.get());
    rows_.erase(rows_.begin() + row);
    IndexRowsFrom(static_cast<size_t>(row));
    endRemoveRows();
}

void ListModel::RowsChanged(int first, int last) {
    if (columnCount() > 0) {
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    }
}

void ListModel::Sort(int32_t attribute_id, bool descending) {
    const AttributeInfo* attribute = FindAttribute(attribute_id);
    if (attribute == nullptr) {
        return;
    }
    emit layoutAboutToBeChanged();
    std::vector<ItemRef> before;
    for (const ListRow& row : rows_) {
        before.push_back(row.item);
    }
    std::stable_sort(rows_.begin(), rows_.end(), [&](const ListRow& a, const ListRow& b) {
        return CompareForSort(*attribute, a.record, a.texts, b.record, b.texts, descending) < 0;
    });
    IndexRowsFrom(0);
    // Selection and current row follow their files.
    const QModelIndexList old_indexes = persistentIndexList();
    QModelIndexList new_indexes;
    for (const QModelIndex& old_index : old_indexes) {
        new_indexes.push_back(
            index(RowOf(before[static_cast<size_t>(old_index.row())]), old_index.column()));
    }
    changePersistentIndexList(old_indexes, new_indexes);
    emit layoutChanged();
}

}  // namespace vandrel
