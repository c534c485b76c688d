#include "ui/details/TextInfoPage.h"

#include <algorithm>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include "UiTest.h"
#include "engine/verdicts/TextReports.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {

namespace {

const QColor kGrey = QColor::fromRgb(0xEBEBEB);

// The page data the media file builds for a committed fixture.
TextPageData PageFor(const char* fixture) {
    TextPageData data;
    RegisterTextPageCheckBoxes(data);
    FillTextPage(data, test::ScanMemory(test::ReadFile(test::FixturePath(fixture))));
    return data;
}

// Rows as "attribute<TAB>value" and visible boxes as "label=0/1", shown and
// in the data, so that a failed comparison names the row or box.
QStringList Rows(const CTextInfoDlg& page) {
    QStringList rows;
    for (int i = 0; i < page.List()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = page.List()->topLevelItem(i);
        rows.push_back(item->text(0) + '\t' + item->text(1));
    }
    return rows;
}
QStringList Rows(const TextPageData& data) {
    QStringList rows;
    for (const auto& [attribute, value] : data.rows) {
        rows.push_back(QString::fromStdString(attribute) + '\t' + QString::fromStdString(value));
    }
    return rows;
}
QStringList Boxes(const CTextInfoDlg& page) {
    QStringList boxes;
    for (size_t i = 0; i < TextPageData::kMaxCheckBoxes; ++i) {
        if (const QCheckBox* box = page.CheckBoxAt(i); !box->isHidden()) {
            boxes.push_back(box->text() + (box->isChecked() ? "=1" : "=0"));
        }
    }
    return boxes;
}
QStringList Boxes(const TextPageData& data) {
    QStringList boxes;
    for (const TextPageData::CheckBox& box : data.check_boxes) {
        boxes.push_back(QString::fromStdString(box.label) + (box.checked ? "=1" : "=0"));
    }
    return boxes;
}

// A rendered row: its colour near the right end, where no text reaches, and
// the lightness of its darkest and lightest pixel.
struct RowPixels {
    QColor background;
    int darkest = 255;
    int lightest = 0;
};
RowPixels Render(const CTextInfoDlg& page, int row) {
    QTreeWidget* list = page.List();
    const QImage image =
        list->viewport()->grab(list->visualItemRect(list->topLevelItem(row))).toImage();
    RowPixels pixels{image.pixelColor(image.width() - 10, image.height() / 2)};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            pixels.darkest = std::min(pixels.darkest, image.pixelColor(x, y).lightness());
            pixels.lightest = std::max(pixels.lightest, image.pixelColor(x, y).lightness());
        }
    }
    return pixels;
}

}  // namespace

class TextInfoPageTest : public QObject {
    Q_OBJECT

private slots:
    void ShowsTheData() {
        const TextPageData data = PageFor("lame_vbr_v2.mp3");
        CTextInfoDlg page(data);
        page.resize(600, 400);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));  // the page shows

        QCOMPARE(Rows(page), Rows(data));  // rows: the data's pairs, in order
        // The eight registered boxes in their order with the file's findings;
        // the other eight hidden.
        const QStringList boxes = {"Padding=0", "Xing Header=1", "Scalefac_scale=0", "VBR=1",
                                   "Scfsi=1",   "Original=1",    "Bad Last Frame=0", "Copyright=0"};
        QCOMPARE(Boxes(page), boxes);
        QVERIFY2(page.InfoButton()->isHidden(), "the Info button is hidden");

        // Findings are not the user's to change: a click through the window,
        // as a user's, leaves every box as it was.
        for (size_t i = 0; i < data.check_boxes.size(); ++i) {
            QCheckBox* box = page.CheckBoxAt(i);
            QTest::mouseClick(page.windowHandle(), Qt::LeftButton, {},
                              box->mapTo(&page, box->rect().center()));
        }
        QCOMPARE(Boxes(page), boxes);  // states after clicking every box
    }

    void PaintsEvenRowsGreyWithDarkText() {
        const TextPageData data = PageFor("lame_vbr_v2.mp3");
        CTextInfoDlg page(data);
        // A dark theme: light text on a dark base.
        QPalette dark = page.palette();
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, Qt::white);
        page.setPalette(dark);
        page.resize(600, 400);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));  // the page shows
        // The focused list marks its current row; measure rows without the mark.
        page.List()->selectionModel()->clearCurrentIndex();

        QCOMPARE(Render(page, 0).background, kGrey);               // row 0 on the grey
        QCOMPARE(Render(page, 1).background, QColor(30, 30, 30));  // row 1 on the base
        // White text on the grey would leave nothing darker than the grey.
        QVERIFY2(Render(page, 0).darkest < 100, "row 0 text is dark on the grey");
        QVERIFY2(Render(page, 1).lightest > 200, "row 1 text keeps the palette's light colour");
    }

    void RefreshFollowsTheData() {
        TextPageData data = PageFor("lame_vbr_v2.mp3");
        CTextInfoDlg page(data);
        page.resize(600, 200);  // small enough that the rows scroll
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));  // the page shows
        QScrollBar* scroll = page.List()->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        const int scrolled = scroll->value();
        QVERIFY2(scrolled > 0, "the list scrolls at this size");
        page.List()->topLevelItem(12)->setSelected(true);

        // Another record, same number of rows (as every progress report of a
        // scan brings): rows and boxes follow, the user's place stays.
        data = PageFor("lame_notag_cbr128.mp3");
        page.Refresh();
        QCOMPARE(Rows(page), Rows(data));     // rows of the new record
        QCOMPARE(Boxes(page), Boxes(data));   // boxes of the new record
        QCOMPARE(scroll->value(), scrolled);  // scroll position kept
        QVERIFY2(page.List()->topLevelItem(12)->isSelected(), "the selected row stays selected");

        // Fewer boxes and rows, and the Info button asked for.
        data.check_boxes.resize(3);
        data.rows.resize(5);
        data.info_button_visible = true;
        page.Refresh();
        QCOMPARE(Rows(page), Rows(data));    // five rows left
        QCOMPARE(Boxes(page), Boxes(data));  // three boxes left, the others hidden
        QVERIFY2(!page.InfoButton()->isHidden(), "the Info button shows when asked for");
        QCOMPARE(page.List()->topLevelItem(4)->background(0).color(), kGrey);  // new row 4
    }

    void CopiesSelectedRows() {
        const TextPageData data = PageFor("lame_vbr_v2.mp3");
        CTextInfoDlg page(data);
        QTreeWidget* list = page.List();
        QGuiApplication::clipboard()->setText("before");
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));  // nothing selected

        // Rows 2 and 0, selected out of order, come out in list order.
        list->topLevelItem(2)->setSelected(true);
        list->topLevelItem(0)->setSelected(true);
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "Type\t" + Rows(data)[0].section('\t', 1) + "\nMode\t" +
                     Rows(data)[2].section('\t', 1) + "\n");  // both rows, tab-separated
    }
};

VANDREL_UI_TEST(TextInfoPageTest);

}  // namespace vandrel

#include "TextInfoPageTest.moc"
