#include "ui/details/DetailsPages.h"

#include <QTabBar>
#include <QTest>

#include "UiTest.h"
#include "engine/media/VandrelMp3File.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "ui/details/Histogram.h"

namespace vandrel {

namespace {

// A scanned fixture's pages in a shown host with a 600 x 400 page area, wired
// as the Details dialog wires them. Only a shown widget gets resize events.
struct PagesOf {
    explicit PagesOf(const char* fixture) {
        file.CreatePages("Sans", host, 0);
        file.SetScanResult(test::ScanMemory(test::ReadFile(test::FixturePath(fixture))));
        QObject::connect(&host, &CDetailsPages::TabSelected, &host,
                         [this](int tab) { file.ShowPage(tab); });
        QObject::connect(&host, &CDetailsPages::PageAreaResized, &host,
                         [this](const PageRect& rect) { file.MovePages(rect); });
        Resize(600, 400);
        host.show();
    }
    void Resize(int width, int height) {
        host.resize(width, height + host.TabBar()->sizeHint().height());
    }
    // A page's chart title, or "Text Info".
    static QString NameOf(const QWidget* page) {
        const auto* chart = qobject_cast<const CHistogram*>(page);
        return chart != nullptr ? QString::fromStdString(chart->Data().title) : "Text Info";
    }
    QStringList Shown() const {
        QStringList shown;
        for (const CDetailsPages::PageHandle handle : host.Pages()) {
            if (!host.Page(handle)->isHidden()) {
                shown.push_back(NameOf(host.Page(handle)));
            }
        }
        return shown;
    }
    QWidget* Named(const QString& name) const {
        for (const CDetailsPages::PageHandle handle : host.Pages()) {
            if (NameOf(host.Page(handle)) == name) {
                return host.Page(handle);
            }
        }
        return nullptr;
    }
    qsizetype Widgets() const {
        return host.PageArea()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size();
    }
    CDetailsPages host;
    CVandrelMp3File file;
};

}  // namespace

class DetailsPagesTest : public QObject {
    Q_OBJECT
private slots:
    void JointStereoFileShowsEachTabsPages();
    void MonoFileShowsOnlyBlockChartOnOtherInfo();
    void ResizingPageAreaMovesPages();
    void DestroyingFilePagesDeletesWidgets();
    void PagesEndWithTheirFile();
    void UnknownHandlesAreIgnored();
};

void DetailsPagesTest::JointStereoFileShowsEachTabsPages() {
    PagesOf pages("lame_vbr_v2.mp3");
    QCOMPARE(pages.Shown(), QStringList());  // created hidden
    pages.host.SelectTab(0);
    QCOMPARE(pages.Shown(), QStringList({"Bitrate Distribution"}));  // tab 0's page
    pages.host.TabBar()->setCurrentIndex(1);  // chosen in the bar, as the user does
    QCOMPARE(pages.Shown(), QStringList({"Block Type", "Joint Stereo Type"}));  // tab 1's pages
    pages.host.TabBar()->setCurrentIndex(2);
    QCOMPARE(pages.Shown(), QStringList({"Text Info"}));  // tab 2's page
}

void DetailsPagesTest::MonoFileShowsOnlyBlockChartOnOtherInfo() {
    PagesOf pages("lame_cbr64_mono.mp3");
    pages.host.SelectTab(1);
    QCOMPARE(pages.Shown(), QStringList({"Block Type"}));                    // no stereo chart
    QCOMPARE(pages.Named("Block Type")->geometry(), QRect(0, 0, 600, 400));  // whole area
}

void DetailsPagesTest::ResizingPageAreaMovesPages() {
    PagesOf pages("lame_vbr_v2.mp3");
    pages.Resize(400, 300);
    QCOMPARE(pages.Named("Joint Stereo Type")->geometry(), QRect(0, 0, 195, 300));  // left half
    QCOMPARE(pages.Named("Block Type")->geometry(), QRect(205, 0, 195, 300));       // right half
    QCOMPARE(pages.Named("Text Info")->geometry(), QRect(0, 0, 400, 300));  // the whole area
}

void DetailsPagesTest::DestroyingFilePagesDeletesWidgets() {
    PagesOf pages("lame_vbr_v2.mp3");
    pages.file.ReleaseFrameData();
    QCOMPARE(pages.Widgets(), 4);  // releasing the frame data keeps the pages
    const CDetailsPages::PageHandle last = pages.host.Pages().back();
    pages.file.CreatePages("Sans", pages.host, 0);
    QCOMPARE(pages.Widgets(), 4);  // the old pages went first
    QVERIFY2(pages.host.Pages().front() > last, "handles are never given out twice");
    pages.file.DestroyPages();
    QCOMPARE(pages.host.PageArea()->findChildren<QWidget*>().size(), 0);  // nothing left over
    pages.host.SelectTab(1);  // ShowPage with no pages left touches nothing
    QCOMPARE(pages.Shown(), QStringList());
}

void DetailsPagesTest::PagesEndWithTheirFile() {
    CDetailsPages host;
    {
        CVandrelMp3File file;
        file.CreatePages("Sans", host, 0);
        QCOMPARE(host.Pages().size(), size_t{4});  // the file's pages
    }
    QCOMPARE(host.Pages().size(), size_t{0});  // none left drawing the data of a file gone
}

void DetailsPagesTest::UnknownHandlesAreIgnored() {
    CDetailsPages host;
    const HistogramData data;
    const CDetailsPages::PageHandle page = host.CreateHistogram(data);
    host.DestroyPage(page);
    for (const CDetailsPages::PageHandle unknown : {page, page + 1, -1}) {
        host.RefreshPage(unknown);
        host.MovePage(unknown, {0, 0, 10, 10}, PageSlot::kWhole);
        host.SetPageVisible(unknown, true);
        host.DestroyPage(unknown);
    }
    QVERIFY2(host.Page(page) == nullptr, "a destroyed page stays gone");
    QCOMPARE(host.CreateHistogram(data), page + 1);  // the next page gets a new handle
}

VANDREL_UI_TEST(DetailsPagesTest);

}  // namespace vandrel

#include "DetailsPagesTest.moc"
