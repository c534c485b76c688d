#pragma once

#include <vector>

#include <QTreeWidget>

#include "tools/Export.h"

namespace vandrel {

// The "Categories" tree of the export dialog: the attribute groups of the
// catalog with their attributes under them, each with a check box. A group's
// box is ticked when all its attributes are, empty when none is, and partly
// ticked otherwise; clicking a ticked or partly ticked group empties it, an
// empty one ticks all its attributes.
class CExportTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit CExportTree(QWidget* parent = nullptr);

    // One item for each column but the first (the file name, always
    // exported), grouped in catalog order; ticked as `columns` say.
    void Fill(const std::vector<ExportColumn>& columns);
    // `columns` with the exported flags of the ticked items; the first stays exported.
    std::vector<ExportColumn> Apply(std::vector<ExportColumn> columns) const;

private:
    void ItemChanged(QTreeWidgetItem* item);
    static void GroupFromChildren(QTreeWidgetItem* group);

    bool updating_ = false;
};

}  // namespace vandrel
