#include "ui/details/FieldList.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>

namespace vandrel {

FieldList::FieldList(const QString& field_title, const QString& value_title, QWidget* parent)
    : QTreeWidget(parent) {
    setColumnCount(2);
    setHeaderLabels({field_title, value_title});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsMovable(false);

    auto* copy = new QAction(tr("&Copy"), this);
    connect(copy, &QAction::triggered, this, &FieldList::CopySelection);
    addAction(copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString FieldList::SelectedRowsText() const {
    QString text;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = topLevelItem(i);
        if (row->isSelected()) {
            text += row->text(0) + u'\t' + row->text(1) + u'\n';
        }
    }
    return text;
}

void FieldList::CopySelection() const {
    const QString text = SelectedRowsText();
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

bool FieldList::event(QEvent* event) {
    // The tree's own Ctrl+C copies only the current cell; here it copies
    // whole rows. Claiming the shortcut keeps a window-wide Copy from taking
    // the key while the list has the focus.
    const bool copy_key =
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy);
    if (copy_key) {
        if (event->type() == QEvent::KeyPress) {
            CopySelection();
        }
        event->accept();
        return true;
    }
    return QTreeWidget::event(event);
}

}  // namespace vandrel
