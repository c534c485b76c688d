#include "ui/tools/ExportTree.h"

namespace vandrel {

namespace {

// Which column of the catalog an attribute item stands for.
constexpr int kColumnRole = Qt::UserRole;
// An item's check state before the click that changed it.
constexpr int kLastStateRole = Qt::UserRole + 1;

}  // namespace

CExportTree::CExportTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderLabels({tr("Categories")});
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemChanged, this, &CExportTree::ItemChanged);
}

void CExportTree::Fill(const std::vector<ExportColumn>& columns) {
    updating_ = true;
    clear();
    QTreeWidgetItem* group = nullptr;
    // The first column, the file name, is always in the report.
    for (size_t i = 1; i < columns.size(); ++i) {
        const ExportColumn& column = columns[i];
        const QString group_name = QString::fromStdString(column.group);
        if (group == nullptr || group->text(0) != group_name) {
            group = new QTreeWidgetItem(this, {group_name});
            group->setFlags(group->flags() | Qt::ItemIsUserCheckable);
        }
        auto* item = new QTreeWidgetItem(group, {QString::fromStdString(column.name)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setData(0, kColumnRole, static_cast<int>(i));
        const Qt::CheckState state = column.exported ? Qt::Checked : Qt::Unchecked;
        item->setCheckState(0, state);
        item->setData(0, kLastStateRole, static_cast<int>(state));
    }
    for (int i = 0; i < topLevelItemCount(); ++i) {
        GroupFromChildren(topLevelItem(i));
    }
    expandAll();
    updating_ = false;
}

std::vector<ExportColumn> CExportTree::Apply(std::vector<ExportColumn> columns) const {
    for (size_t i = 1; i < columns.size(); ++i) {
        columns[i].exported = false;
    }
    for (int g = 0; g < topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = topLevelItem(g);
        for (int c = 0; c < group->childCount(); ++c) {
            const QTreeWidgetItem* item = group->child(c);
            const auto index = static_cast<size_t>(item->data(0, kColumnRole).toInt());
            if (index < columns.size()) {
                columns[index].exported = item->checkState(0) == Qt::Checked;
            }
        }
    }
    return columns;
}

void CExportTree::GroupFromChildren(QTreeWidgetItem* group) {
    int ticked = 0;
    for (int c = 0; c < group->childCount(); ++c) {
        ticked += group->child(c)->checkState(0) == Qt::Checked ? 1 : 0;
    }
    const Qt::CheckState state = ticked == group->childCount() ? Qt::Checked
                                 : ticked == 0                 ? Qt::Unchecked
                                                               : Qt::PartiallyChecked;
    group->setCheckState(0, state);
    group->setData(0, kLastStateRole, static_cast<int>(state));
}

void CExportTree::ItemChanged(QTreeWidgetItem* item) {
    if (updating_) {
        return;
    }
    updating_ = true;
    if (item->parent() == nullptr) {
        // A click on a partly ticked group empties it, as on a ticked one.
        const auto before = static_cast<Qt::CheckState>(item->data(0, kLastStateRole).toInt());
        const Qt::CheckState state = before == Qt::Unchecked ? Qt::Checked : Qt::Unchecked;
        for (int c = 0; c < item->childCount(); ++c) {
            item->child(c)->setCheckState(0, state);
            item->child(c)->setData(0, kLastStateRole, static_cast<int>(state));
        }
        GroupFromChildren(item);
    } else {
        item->setData(0, kLastStateRole, static_cast<int>(item->checkState(0)));
        GroupFromChildren(item->parent());
    }
    updating_ = false;
}

}  // namespace vandrel
