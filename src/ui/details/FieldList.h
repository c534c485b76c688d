#pragma once

#include <QString>
#include <QTreeWidget>

class QEvent;

namespace vandrel {

// A read-only two-column list of fields and their values, whole rows
// selected. Ctrl+C and the context menu's "Copy" put the selected rows on the
// clipboard as "field<TAB>value" lines, each ending in a line break; nothing
// selected leaves the clipboard as it was. GUI thread only.
class FieldList : public QTreeWidget {
    Q_OBJECT
public:
    FieldList(const QString& field_title, const QString& value_title, QWidget* parent = nullptr);

    // The selected rows as lines, in list order.
    QString SelectedRowsText() const;
    void CopySelection() const;

protected:
    bool event(QEvent* event) override;
};

}  // namespace vandrel
