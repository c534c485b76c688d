#pragma once

#include <array>
#include <cstddef>

#include <QColor>
#include <QString>
#include <QWidget>

#include "engine/verdicts/TextReports.h"
#include "ui/details/FieldList.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace vandrel {

// The "Text Info" page of the Details dialog: the file's findings as an
// attribute/value list, what its integrity checks found under it, then a
// grid of check boxes and an "Info" button.
// It draws a TextPageData that the media file owns and keeps up to date;
// the data outlives the page, and Refresh() is called whenever it changed.
class CTextInfoDlg : public QWidget {
    Q_OBJECT
public:
    // Background of the rows with an even index (0, 2, ...); the others show
    // the palette's base colour.
    static constexpr QRgb kEvenRowBackground = 0xEBEBEB;
    // Check boxes per line of the grid under the list.
    static constexpr int kCheckBoxColumns = 4;

    explicit CTextInfoDlg(const TextPageData& page_data, QWidget* parent = nullptr);

    // Re-reads rows, check boxes and the Info button from the data. When the
    // number of rows stays the same the rows are updated in place, so the
    // scroll position and the selection stay where they were.
    void Refresh();

    // The selected rows as "attribute<TAB>value" lines, in list order.
    QString SelectedRowsText() const;
    // Puts SelectedRowsText() on the clipboard (Ctrl+C in the list).
    void CopySelection() const;
    // The integrity checks' report, under the list; empty hides it. The
    // dialog sets it once the whole file was read.
    void SetFindings(const QString& report);

    QTreeWidget* List() const { return list_; }
    // The n-th check box of the page, n < TextPageData::kMaxCheckBoxes.
    QCheckBox* CheckBoxAt(size_t index) const { return check_boxes_.at(index); }
    QPushButton* InfoButton() const { return info_button_; }
    QLabel* Findings() const { return findings_; }

signals:
    void InfoRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillRows();
    void FillCheckBoxes();
    // Before the first fill the first column is as wide as its title plus a
    // margin; once rows are shown the two columns share the viewport evenly.
    void PlaceColumns();

    const TextPageData& data_;
    FieldList* list_ = nullptr;
    QLabel* findings_ = nullptr;
    std::array<QCheckBox*, TextPageData::kMaxCheckBoxes> check_boxes_{};
    QPushButton* info_button_ = nullptr;
};

}  // namespace vandrel
