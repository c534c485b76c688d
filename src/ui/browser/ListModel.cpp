#include "ui/browser/ListModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QCoreApplication>
#include <QMimeData>
#include <QUrl>

namespace vandrel {

namespace {

double FloatField(const PackedRecord& record, size_t offset) {
    const uint32_t bits = record.Field32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::Alignment AlignmentOf(const AttributeInfo& attribute) {
    return Qt::AlignVCenter |
           (attribute.alignment == Alignment::kRight ? Qt::AlignRight : Qt::AlignLeft);
}

}  // namespace

QColor ColorFromSetting(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int SettingFromColor(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

// --- the table ----------------------------------------------------------------

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
    const _LVItemData& row = Row(index.row());
    const AttributeInfo* attribute =
        FindAttribute(columns_[static_cast<size_t>(index.column())].id);
    if (attribute == nullptr) {
        return {};
    }
    // The cell's own background, when it has one: the Quality cell by its
    // class, the Problems cell by the worst finding.
    QColor cell_colour;
    if (attribute->id == kQualityAttribute && row.quality_class >= 0 && row.quality_class <= 2) {
        cell_colour = style_.quality_colours[static_cast<size_t>(row.quality_class)];
    } else if (attribute->id == kProblemsAttribute) {
        cell_colour = SeverityColour(row.severity);
    }
    switch (role) {
    case Qt::DisplayRole: {
        // A line break or other control character in a file name would break
        // the row's line; it shows as a space (editing keeps it).
        QString text = FromUtf8(row.texts[attribute->text_slot]);
        for (QChar& c : text) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
                c = u' ';
            }
        }
        return text;
    }
    case Qt::EditRole:
        return FromUtf8(row.texts[attribute->text_slot]);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(AlignmentOf(*attribute));
    case Qt::BackgroundRole:
        // The other cells take the shading of the row the view shows them in.
        return cell_colour.isValid() ? QVariant(cell_colour) : QVariant();
    case Qt::ForegroundRole:
        return cell_colour.isValid() ? QVariant(ReadableTextOn(cell_colour)) : QVariant();
    case Qt::ToolTipRole:
        // A file that could not be analysed says why wherever the mouse
        // rests on it: the Problems column may be hidden.
        if (row.refused) {
            return QCoreApplication::translate("CVandrelList", "%1\nCannot be analysed: %2")
                .arg(QString::fromStdString(row.path), FromUtf8(row.texts[kSlotProblems]));
        }
        return QString::fromStdString(row.path);
    default:
        return {};
    }
}

QColor ReadableTextOn(const QColor& background) {
    // Relative luminance of the sRGB colour, then whichever of black and white
    // gives the higher contrast ratio, (lighter + 0.05) / (darker + 0.05).
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const double luminance = 0.2126 * linear(background.redF()) +
                             0.7152 * linear(background.greenF()) +
                             0.0722 * linear(background.blueF());
    const double against_black = (luminance + 0.05) / 0.05;
    const double against_white = 1.05 / (luminance + 0.05);
    return against_black >= against_white ? QColor(Qt::black) : QColor(Qt::white);
}

QColor SeverityColour(Severity severity) {
    switch (severity) {
    case Severity::kDamage:
        return {255, 170, 170};  // a soft red
    case Severity::kWarning:
        return {255, 205, 120};  // amber
    case Severity::kNotice:
        return {190, 215, 255};  // a pale blue, bluer than the shaded rows
    case Severity::kNone:
        break;
    }
    return {};
}

bool Shows(RowFilter filter, const _LVItemData& row) {
    return filter == RowFilter::kAll || !row.known_clean();
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
        return FromUtf8(attribute->name);
    case Qt::ToolTipRole:
        return style_.tooltips ? QVariant(FromUtf8(attribute->description)) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(AlignmentOf(*attribute));
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
    if (columns_[static_cast<size_t>(index.column())].id == 0 && rename_ && Row(index.row()).done) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !rename_) {
        return false;
    }
    const QString name = value.toString();
    if (name.isEmpty() || name == FromUtf8(Row(index.row()).name())) {
        return false;
    }
    return rename_(index.row(), name);
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
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(Row(index.row()).path)));
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

int ListModel::ColumnOf(int32_t attribute_id) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].id == attribute_id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ListModel::SetCellStyle(const CellStyle& style) {
    style_ = style;
    if (rows_.size() != 0 && !columns_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

// --- rows -----------------------------------------------------------------------

void ListModel::Clear() {
    beginResetModel();
    rows_.Clear();
    endResetModel();
}

std::vector<uint64_t>
ListModel::AddRows(const std::vector<std::pair<std::string, std::string>>& files) {
    if (files.empty()) {
        return {};
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(files.size()) - 1);
    std::vector<uint64_t> keys = rows_.Append(files);
    endInsertRows();
    RestoreOrder();
    return keys;
}

int ListModel::TakeResult(ListResult& result) {
    const int row = rows_.Take(result);
    if (row >= 0) {
        RowChanged(row);
    }
    return row;
}

void ListModel::RemoveRow(int row) {
    beginRemoveRows({}, row, row);
    rows_.Remove(row);
    endRemoveRows();
}

void ListModel::Rename(int row, std::string path, std::string_view name) {
    rows_.Rename(row, std::move(path), name);
    RowChanged(row);
    RestoreOrder();
}

ListTotals TotalsOf(const ListModel& model, RowFilter filter) {
    ListTotals totals;
    double bits = 0;
    for (int i = 0; i < model.rowCount(); ++i) {
        const _LVItemData& row = model.Row(i);
        if (!Shows(filter, row)) {
            continue;
        }
        ++totals.files;
        // A refused file's record is all zero: it counts as a file, with
        // no size and no length.
        const PackedRecord& record = row.record;
        const double seconds = FloatField(record, offsetof(ScanRecord, length_seconds));
        totals.bytes += record.Field32(offsetof(ScanRecord, file_size));
        totals.seconds += seconds;
        bits +=
            static_cast<int32_t>(record.Field32(offsetof(ScanRecord, average_bitrate))) * seconds;
    }
    if (filter != RowFilter::kAll) {
        totals.all_files = model.rowCount();
    }
    totals.average_kbps = totals.seconds != 0 ? bits / totals.seconds : 0.0;
    return totals;
}

QString SummaryText(const ListTotals& totals) {
    double amount = totals.bytes / 1048576.0;
    QString unit = QStringLiteral("MB");
    if (amount > 1024) {
        amount /= 1024;
        unit = QStringLiteral("GB");
    }
    QString files;
    if (totals.all_files >= 0) {
        files = QCoreApplication::translate("CVandrelList", "%1 of %2 files")
                    .arg(totals.files)
                    .arg(totals.all_files);
    } else if (totals.files == 1) {
        files = QCoreApplication::translate("CVandrelList", "1 file");
    } else {
        files = QCoreApplication::translate("CVandrelList", "%1 files").arg(totals.files);
    }
    return QStringLiteral("%1, %2 %3, %4 kbps")
        .arg(files)
        .arg(amount, 0, 'f', 1)
        .arg(unit)
        .arg(totals.average_kbps, 0, 'f', 1);
}

void ListModel::RowChanged(int row) {
    if (columnCount() > 0) {
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
}

// --- order ----------------------------------------------------------------------

void ListModel::SetSortOrder(int32_t attribute_id, SortDirection direction) {
    rows_.SetOrder(attribute_id, direction);
    RestoreOrder();
}

void ListModel::RestoreOrder() {
    if (!rows_.order_broken()) {
        return;
    }
    emit layoutAboutToBeChanged();
    // Selections and the current row follow their files.
    const QModelIndexList old_indexes = persistentIndexList();
    std::vector<uint64_t> old_keys;
    for (const QModelIndex& old_index : old_indexes) {
        old_keys.push_back(Row(old_index.row()).key);
    }
    rows_.Sort();
    QModelIndexList new_indexes;
    for (qsizetype i = 0; i < old_indexes.size(); ++i) {
        new_indexes.push_back(
            index(RowOf(old_keys[static_cast<size_t>(i)]), old_indexes[i].column()));
    }
    changePersistentIndexList(old_indexes, new_indexes);
    emit layoutChanged();
}

}  // namespace vandrel
