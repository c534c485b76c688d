#include "ui/details/TextInfoPage.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/details/FieldList.h"

namespace vandrel {

namespace {

// Room left beside the title "Attribute" in the first column before the page
// is filled, so that the title is not cut.
constexpr int kTitleMargin = 15;

// The grey rows draw their text in black whatever the palette says: a dark
// theme's light text would vanish on the light grey.
void PaintRow(QTreeWidgetItem* item, int index) {
    const bool grey = index % 2 == 0;
    const QBrush background =
        grey ? QBrush(QColor::fromRgb(CTextInfoDlg::kEvenRowBackground)) : QBrush();
    const QBrush foreground = grey ? QBrush(Qt::black) : QBrush();
    for (int column = 0; column < 2; ++column) {
        item->setBackground(column, background);
        item->setForeground(column, foreground);
    }
}

}  // namespace

CTextInfoDlg::CTextInfoDlg(const TextPageData& page_data, QWidget* parent)
    : QWidget(parent), data_(page_data) {
    Q_ASSERT(QThread::currentThread() == qApp->thread());

    list_ = new FieldList(tr("Attribute"), tr("Value"), this);
    list_->viewport()->installEventFilter(this);

    // Apart from the list, so that the list and its copies stay the report
    // they always were; the text can be selected and copied by itself.
    findings_ = new QLabel(this);
    findings_->setTextFormat(Qt::PlainText);
    findings_->setWordWrap(true);
    findings_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    findings_->hide();

    // The boxes report findings; the user reads them but cannot change them.
    // They stay enabled so that they read at full contrast (a disabled box
    // looks like "does not apply"), and take neither clicks nor focus.
    auto* boxes = new QGridLayout;
    for (size_t i = 0; i < check_boxes_.size(); ++i) {
        auto* box = new QCheckBox(this);
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->setFocusPolicy(Qt::NoFocus);
        box->hide();
        const auto n = static_cast<int>(i);
        boxes->addWidget(box, n / kCheckBoxColumns, n % kCheckBoxColumns);
        check_boxes_[i] = box;
    }

    info_button_ = new QPushButton(tr("Info"), this);
    info_button_->hide();
    connect(info_button_, &QPushButton::clicked, this, &CTextInfoDlg::InfoRequested);

    auto* under_list = new QHBoxLayout;
    under_list->addLayout(boxes);
    under_list->addStretch(1);
    under_list->addWidget(info_button_, 0, Qt::AlignTop);

    // The Details dialog already leaves a border around its pages.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_, 1);
    layout->addWidget(findings_);
    layout->addLayout(under_list);

    Refresh();
}

void CTextInfoDlg::Refresh() {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    FillRows();
    FillCheckBoxes();
    info_button_->setVisible(data_.info_button_visible);
    PlaceColumns();
}

void CTextInfoDlg::FillRows() {
    const auto count = static_cast<int>(data_.rows.size());
    if (list_->topLevelItemCount() != count) {
        list_->clear();
        for (int i = 0; i < count; ++i) {
            PaintRow(new QTreeWidgetItem(list_), i);
        }
    }
    for (int i = 0; i < count; ++i) {
        const auto& [attribute, value] = data_.rows[static_cast<size_t>(i)];
        QTreeWidgetItem* item = list_->topLevelItem(i);
        item->setText(0, QString::fromStdString(attribute));
        item->setText(1, QString::fromStdString(value));
    }
}

void CTextInfoDlg::FillCheckBoxes() {
    const size_t used = std::min(data_.check_boxes.size(), check_boxes_.size());
    for (size_t i = 0; i < check_boxes_.size(); ++i) {
        QCheckBox* box = check_boxes_[i];
        if (i < used) {
            box->setText(QString::fromStdString(data_.check_boxes[i].label));
            box->setChecked(data_.check_boxes[i].checked);
        }
        box->setVisible(i < used);
    }
}

void CTextInfoDlg::PlaceColumns() {
    // The header stretches the "Value" column over the rest of its width.
    if (list_->topLevelItemCount() == 0) {
        list_->setColumnWidth(0, list_->header()->fontMetrics().horizontalAdvance(tr("Attribute")) +
                                     kTitleMargin);
        return;
    }
    list_->setColumnWidth(0, list_->viewport()->width() / 2);
}

void CTextInfoDlg::SetFindings(const QString& report) {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    // The report's lines end in a line break, which would leave an empty line.
    findings_->setText(report.trimmed());
    findings_->setVisible(!report.isEmpty());
}

QString CTextInfoDlg::SelectedRowsText() const {
    return list_->SelectedRowsText();
}

void CTextInfoDlg::CopySelection() const {
    list_->CopySelection();
}

bool CTextInfoDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize) {
        PlaceColumns();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vandrel
