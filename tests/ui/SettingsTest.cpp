#include <filesystem>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "UiTest.h"
#include "store/AttributeCatalog.h"
#include "store/IniFile.h"
#include "store/ProcessValues.h"
#include "support/TestFiles.h"
#include "ui/browser/ListModel.h"
#include "ui/browser/MainFrame.h"
#include "ui/browser/VandrelList.h"
#include "ui/browser/VandrelTree.h"
#include "ui/browser/VandrelView.h"
#include "ui/settings/ListPages.h"
#include "ui/settings/OtherPages.h"
#include "ui/settings/SettingsSheet.h"

namespace vandrel {

namespace {

// The attribute item of the Columns page's tree.
QTreeWidgetItem* AttributeItem(const CPropListColumns& page, int32_t id) {
    QTreeWidget* tree = page.attributes();
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        for (int i = 0; i < tree->topLevelItem(g)->childCount(); ++i) {
            QTreeWidgetItem* item = tree->topLevelItem(g)->child(i);
            if (item->data(0, Qt::UserRole).toInt() == id) {
                return item;
            }
        }
    }
    return nullptr;
}

// A record the cache takes, as a scan of `path` makes it.
ScanRecord CachedRecord(const std::string& path) {
    ScanRecord record = ZeroRecord();
    record.kind = 1;
    CopyTextField(record.path, path);
    record.status.modification_time = 1;
    record.status.size = 4096;
    record.frames = 10;
    record.whole_file_scanned = 1;
    return record;
}

}  // namespace

using test::MessageBoxWatch;
using test::OnNextModal;

class SettingsTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

    // Opens the frame's sheet on `page`, lets `interact` work on it, then
    // presses OK (or Cancel).
    static void RunSheet(CMainFrame& frame, int page,
                         const std::function<void(SettingsSheet&)>& interact, bool ok = true) {
        OnNextModal([&](QWidget* modal) {
            auto* sheet = qobject_cast<SettingsSheet*>(modal);
            QVERIFY2(sheet != nullptr, "the settings sheet opened");
            interact(*sheet);
            ok ? sheet->accept() : sheet->reject();
        });
        frame.OpenSettings(page);
    }

private slots:
    void init() {
        qputenv("VANDREL_HOME", QByteArray::fromStdString(dir_.path()));
        InitProcessValues(QCoreApplication::applicationFilePath().toStdString(), {});
    }

    void GeneralPageStopsAtAnInvalidFrameCountAndFlagsChangesThatNeedARescan() {
        ListPageData data;
        CPropListGeneral page(data);
        page.frames()->setText("many");
        page.read_all_initial()->setChecked(true);
        QVERIFY2(!page.Apply(), "a text that is no number is refused");
        QVERIFY2(CSettingsPage::IsRejected(page.frames()), "the field is marked");
        QCOMPARE(data.values.read_all_initial, false);  // boxes after it not read back
        page.frames()->setText("70000");
        QVERIFY2(!page.Apply(), "more frames than the worker can be told are refused");
        page.frames()->setText("-1");
        QVERIFY2(!page.Apply(), "a negative count is refused");
        QTest::keyClicks(page.frames(), "0");  // an edit takes the mark away
        QVERIFY2(!CSettingsPage::IsRejected(page.frames()), "mark gone after an edit");

        page.frames()->setText("0");
        QVERIFY2(page.Apply(), "0 is all frames");
        QCOMPARE(data.values.frame_limit, 0);
        QCOMPARE(data.values.read_all_initial, true);
        QVERIFY2(data.changed, "a new frame count needs a rescan");

        ListPageData quiet;
        CPropListGeneral other(quiet);
        other.xml()->setChecked(!quiet.values.xml_entities);
        other.rescan()->setChecked(!quiet.values.rescan);
        QVERIFY(other.Apply());
        QVERIFY2(!quiet.changed, "the export and watch options need no rescan");
    }

    void QualityPageResetsColoursAndFlagsTheMonoOption() {
        ListPageData data;
        CPropListQuality page(data);
        page.ChooseColour(CPropListQuality::kGood, QColor(1, 2, 3));
        QCOMPARE(data.values.color_good, 1 + 2 * 256 + 3 * 65536);
        page.reset()->click();
        QCOMPARE(data.values.color_good, CPropListQuality::kDefaultGood);
        QVERIFY(page.Apply());
        QVERIFY2(!data.changed, "colours need no rescan");
        page.mono()->setChecked(true);
        QVERIFY(page.Apply());
        QVERIFY2(data.changed, "the mono option needs a rescan");
    }

    void QualityTextIsBlackOnLightColoursAndWhiteOnDarkOnes() {
        for (const int colour : {CPropListQuality::kDefaultGood, CPropListQuality::kDefaultNotBad,
                                 CPropListQuality::kDefaultBad}) {
            QCOMPARE(ReadableTextOn(ColorFromSetting(colour)), QColor(Qt::black));
        }
        QCOMPARE(ReadableTextOn(QColor(0, 0, 128)), QColor(Qt::white));  // navy
        QCOMPARE(ReadableTextOn(QColor(200, 0, 0)), QColor(Qt::white));  // dark red
    }

    void ColumnsPageTakesTheCheckedAttributesInTreeOrderAndKeepsWidths() {
        ListPageData data;
        data.values.columns = {{0, 321}, {2, 0}};  // Name (widened), Bitrate
        CPropListColumns page(data);
        AttributeItem(page, 2)->setCheckState(0, Qt::Unchecked);
        AttributeItem(page, 200)->setCheckState(0, Qt::Checked);  // an ID3v1 field
        AttributeItem(page, 1)->setCheckState(0, Qt::Checked);
        QVERIFY(page.Apply());
        QCOMPARE(data.values.columns.size(), size_t{3});
        QCOMPARE(data.values.columns[0].id, 0);
        QCOMPARE(data.values.columns[0].width, 321);  // the width stays
        QCOMPARE(data.values.columns[1].id, 1);       // tree order, not choice order
        QCOMPARE(data.values.columns[2].id, 200);
        QVERIFY2(data.changed, "applying the columns page always refills");
    }

    void FiletypesPageAddsADotAndKeepsTheCase() {
        ListPageData data;
        data.values.file_types = ".mp3;.mpc";  // the last one without ";"
        CPropListFiletypes page(data);
        QCOMPARE(page.extensions()->count(), 2);
        page.AddExtension();  // empty: nothing
        QCOMPARE(page.extensions()->count(), 2);
        page.new_extension()->setText("MP2");
        page.AddExtension();
        QCOMPARE(page.extensions()->item(2)->text(), QString(".MP2"));
        page.new_extension()->setText(".wav");
        page.AddExtension();
        page.extensions()->setCurrentRow(0);
        page.RemoveExtension();
        QVERIFY(page.Apply());
        QCOMPARE(data.values.file_types, std::string(".mpc;.MP2;.wav;"));
    }

    void StartUpAndCachePagesCheckTheirEntries() {
        TreeSettings tree{"/music", "", true};
        CPropTree start(tree);
        QVERIFY2(!start.initial_directory()->isEnabled(), "most recent disables the edit");
        start.use_most_recent()->setChecked(false);
        QVERIFY2(start.initial_directory()->isEnabled(), "enabled again");
        start.initial_directory()->setText(QString(kMaxPathLength + 1, QLatin1Char('a')));
        QVERIFY2(!start.Apply(), "a path longer than the system's is refused");
        QCOMPARE(tree.use_most_recent, true);  // not read back after the refusal

        CachePageData cache{500, 12, 6, "/c/cache.dat", true, false};
        CPropCache page(cache);
        page.max_size()->setText("big");
        page.enabled()->setChecked(false);
        page.location()->setText("/d/cache.dat");
        QVERIFY2(!page.Apply(), "a size that is no number is refused");
        QCOMPARE(cache.location, std::string("/d/cache.dat"));  // read before the size
        QCOMPARE(cache.enabled, true);                          // not read after it
        QVERIFY2(page.purge()->isEnabled(), "purge offered with entries");
        page.purge()->click();
        QVERIFY2(cache.purge_requested, "purge requested");
        QCOMPARE(page.entries()->text(), QString("0"));
        QVERIFY2(!page.purge()->isEnabled(), "purge done once");
    }

    // The sheet as the frame opens it: OK applies and keeps, Cancel forgets,
    // an invalid entry keeps the sheet open, and what was applied is in the
    // settings file at exit and back at the next start.
    void FrameSheetAppliesOnOkOnlyAndTheSettingsSurviveARestart() {
        namespace fs = std::filesystem;
        const std::string ini = dir_.File("vandrel.ini");
        const std::string other_cache = dir_.File("other.dat");
        {
            CDataCache seed(other_cache);
            seed.Store(CachedRecord("/m/x.mp3"));
            QVERIFY2(seed.Save(), "the other cache file written");
        }
        MessageBoxWatch boxes;
        {
            CMainFrame frame;
            frame.LoadSettings(CIniFile(dir_.File("none.ini")));
            CVandrelList& list = frame.view().list();
            frame.cache()->Store(CachedRecord("/m/kept.mp3"));

            // Columns page (2) first, as "Customize" opens it; an ID3v1 column added.
            RunSheet(frame, 2, [&](SettingsSheet& sheet) {
                QCOMPARE(sheet.tabs()->currentIndex(), 2);
                auto* columns = qobject_cast<CPropListColumns*>(sheet.PageAt(2));
                AttributeItem(*columns, 200)->setCheckState(0, Qt::Checked);
            });
            QVERIFY2(list.model_data().ColumnOf(200) >= 0, "the new column is shown");

            // An invalid frame count keeps the sheet open on its page; Cancel then forgets it.
            bool stayed_open = false;
            RunSheet(
                frame, 0,
                [&](SettingsSheet& sheet) {
                    sheet.tabs()->setCurrentIndex(5);  // visit the cache page
                    qobject_cast<CPropCache*>(sheet.PageAt(5))->purge()->click();
                    qobject_cast<CPropListGeneral*>(sheet.PageAt(0))->frames()->setText("x");
                    sheet.accept();
                    stayed_open = sheet.isVisible() && sheet.tabs()->currentIndex() == 0;
                },
                false);
            QVERIFY2(stayed_open, "the sheet stays on the page with the invalid entry");
            QCOMPARE(list.settings().frame_limit, 1000);        // Cancel applied nothing
            QCOMPARE(frame.cache()->RecordCount(), size_t{1});  // the purge was not done

            // A new cache location with a cache file there: No keeps the old one.
            const std::string first_path = frame.cache()->Path();
            RunSheet(frame, 5, [&](SettingsSheet& sheet) {
                qobject_cast<CPropCache*>(sheet.PageAt(5))
                    ->location()
                    ->setText(QString::fromStdString(other_cache));
            });
            QCOMPARE(boxes.shown.value(0),
                     QString("Would you like to load the cache from the new location?"));
            QCOMPARE(frame.cache()->Path(), first_path);
            boxes.answer = QMessageBox::Yes;
            RunSheet(frame, 5, [&](SettingsSheet& sheet) {
                auto* cache = qobject_cast<CPropCache*>(sheet.PageAt(5));
                cache->location()->setText(QString::fromStdString(other_cache));
                cache->max_size()->setText("123");
            });
            QCOMPARE(frame.cache()->Path(), other_cache);  // Yes moves and loads
            QCOMPARE(frame.cache()->RecordCount(), size_t{1});

            RunSheet(frame, 4, [&](SettingsSheet& sheet) {
                qobject_cast<CPropTree*>(sheet.PageAt(4))
                    ->initial_directory()
                    ->setText(QString::fromStdString(dir_.path()));
            });
            CIniFile saved(ini);
            frame.SaveSettings(saved);
            QVERIFY2(saved.Save(), "settings written");
        }
        CIniFile reread(ini);
        QVERIFY2(reread.Load(), "settings read back");
        CMainFrame again;
        again.LoadSettings(reread);
        QVERIFY2(again.view().list().model_data().ColumnOf(200) >= 0, "column kept");
        QCOMPARE(again.cache()->Path(), other_cache);
        again.cache()->SettingsToPages();
        QCOMPARE(again.cache()->Page().max_size, 123);
        QCOMPARE(reread.GetString("tree_settings", "initdir", ""), dir_.path());
    }
};

VANDREL_UI_TEST(SettingsTest);

}  // namespace vandrel

#include "SettingsTest.moc"
