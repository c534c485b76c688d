#include "ui/browser/ListColumns.h"

#include <algorithm>

#include <QHeaderView>
#include <QTableView>

#include "store/AttributeCatalog.h"

namespace vandrel {

ListColumns::ListColumns(QTableView& view, ListModel& model, ListSettings& settings)
    : view_(view), model_(model), settings_(settings) {
    connect(view.horizontalHeader(), &QHeaderView::sectionClicked, this,
            &ListColumns::OnHeaderClicked);
}

void ListColumns::Apply() {
    model_.SetCellStyle(
        {{ColorFromSetting(settings_.color_bad), ColorFromSetting(settings_.color_notbad),
          ColorFromSetting(settings_.color_good)},
         settings_.tooltips});
    for (size_t i = 0; i < settings_.columns.size(); ++i) {
        const ListColumn& column = settings_.columns[i];
        view_.setColumnWidth(static_cast<int>(i),
                             column.width != 0 ? column.width : FindAttribute(column.id)->width);
    }
    ShowSortIndicator();
}

void ListColumns::KeepWidths() {
    for (size_t i = 0; i < settings_.columns.size(); ++i) {
        settings_.columns[i].width = view_.columnWidth(static_cast<int>(i));
    }
}

void ListColumns::StretchFirst() {
    if (model_.columnCount() == 0) {
        return;
    }
    int total = 0;
    for (int i = 0; i < model_.columnCount(); ++i) {
        total += view_.columnWidth(i);
    }
    const int width = view_.viewport()->width() - total + view_.columnWidth(0);
    view_.setColumnWidth(0, std::max(width, kMinFirstColumnWidth));
}

void ListColumns::ShowProblems() {
    if (model_.ColumnOf(kProblemsAttribute) >= 0) {
        return;
    }
    // The rows say what is wrong with them right after the name.
    KeepWidths();
    const auto place = settings_.columns.begin() + (settings_.columns.empty() ? 0 : 1);
    settings_.columns.insert(place, {kProblemsAttribute, 0});
    model_.SetColumns(settings_.columns);
    Apply();
}

void ListColumns::ShowSortIndicator() {
    view_.horizontalHeader()->setSortIndicator(model_.ColumnOf(settings_.sort_column),
                                               settings_.sort_reverse ? Qt::DescendingOrder
                                                                      : Qt::AscendingOrder);
}

void ListColumns::OnHeaderClicked(int section) {
    const int32_t id = settings_.columns[static_cast<size_t>(section)].id;
    if (id == settings_.sort_column) {
        settings_.sort_reverse = !settings_.sort_reverse;
    } else {
        settings_.sort_column = id;  // the direction stays
    }
    model_.SetSortOrder(settings_.sort_column, settings_.sort_reverse ? SortDirection::kDescending
                                                                      : SortDirection::kAscending);
    ShowSortIndicator();
}

}  // namespace vandrel
