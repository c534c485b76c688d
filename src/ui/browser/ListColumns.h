#pragma once

#include <QObject>

#include "ui/browser/ListModel.h"
#include "ui/common/ListSettings.h"

class QTableView;

namespace vandrel {

// The file list's columns as its settings keep them: their attributes and
// widths, the colours and tooltips of their cells, and the sort column, shown
// in the header and chosen by a click on it.
class ListColumns : public QObject {
    Q_OBJECT
public:
    // The first column gives way first when the list is narrow, down to this.
    static constexpr int kMinFirstColumnWidth = 100;

    // `settings` are the list's own: a click on the header sorts by its
    // column and keeps that in them.
    ListColumns(QTableView& view, ListModel& model, ListSettings& settings);

    // The settings' colours, tooltips and widths onto model and view, and the
    // sort column into the header.
    void Apply();
    // The widths the columns have now, into the settings.
    void KeepWidths();
    // The first column takes up what the others leave of the view's width
    // ("autosize"), so that they stay in view.
    void StretchFirst();
    // The Problems column, right after the name, when it is not shown.
    void ShowProblems();

private:
    void ShowSortIndicator();
    void OnHeaderClicked(int section);

    QTableView& view_;
    ListModel& model_;
    ListSettings& settings_;
};

}  // namespace vandrel
