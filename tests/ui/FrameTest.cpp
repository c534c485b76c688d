#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "UiTest.h"
#include "engine/core/RecordCache.h"
#include "store/AttributeCatalog.h"
#include "store/DataCache.h"
#include "store/IniFile.h"
#include "store/Log.h"
#include "store/ProcessValues.h"
#include "store/Startup.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "ui/browser/Favourites.h"
#include "ui/browser/FrameCommands.h"
#include "ui/browser/MainFrame.h"
#include "ui/browser/VandrelList.h"
#include "ui/browser/VandrelView.h"
#include "ui/common/ListSettings.h"

namespace vandrel {

namespace {

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts.push_back(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

std::string SavedText(CMainFrame& frame, const std::string& path) {
    CIniFile saved(path);
    frame.SaveSettings(saved);
    saved.Save();
    const std::vector<uint8_t> bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

using test::MessageBoxWatch;
using test::OnNextModal;

class FrameTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

private slots:
    void init() {
        qputenv("VANDREL_HOME", QByteArray::fromStdString(dir_.path()));
        InitProcessValues(QCoreApplication::applicationFilePath().toStdString(), {});
    }

    // The program's run as main makes it, on a folder of 3,000 names of one
    // file, closed as soon as the first results show, ten times over.
    void ClosingMidScanKeepsEverythingAndTheNextStartFillsFromTheCache() {
        namespace fs = std::filesystem;
        const std::string folder = dir_.File("many");
        fs::create_directories(folder);
        std::vector<uint8_t> bytes = test::MakeFrames({}, 10000);
        const size_t title_at = bytes.size() + 3;
        test::Append(bytes, test::MakeId3v1("cached"));
        test::WriteFile(dir_.File("one.mp3"), bytes);
        for (int i = 0; i < 3000; ++i) {
            fs::create_hard_link(dir_.File("one.mp3"),
                                 folder + "/" + std::to_string(10000 + i) + ".mp3");
        }
        CIniFile first(SettingsFilePath());
        first.SetInt("list_settings", "frameres", 0);
        first.SetInt("cache", "max_size", 20000);  // KB: room for every record
        QVERIFY(first.Save());

        MessageBoxWatch boxes;
        size_t cached = 0;
        auto run = [&](auto&& until) {
            const std::unique_ptr<CIniFile> settings = StartUp();
            CMainFrame frame;
            frame.LoadSettings(*settings);
            frame.Start({folder});
            const ListModel& rows = frame.view().list().model_data();
            QTRY_VERIFY_WITH_TIMEOUT(until(rows), 60000);
            frame.close();
            ShutDown(&frame);
        };
        for (int round = 0; round < 10 && !QTest::currentTestFailed(); ++round) {
            run([&](const ListModel& rows) { return size_t(rows.done_count()) > cached; });
            QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join(" | ")));
            CIniFile saved(SettingsFilePath());
            QVERIFY(saved.Load());
            QCOMPARE(saved.GetInt("list_settings", "frameres", -1), 0);
            CDataCache cache(DefaultCacheFilePath());
            cache.SetMaxSizeKb(20000);
            cache.Load();
            QVERIFY(cache.RecordCount() >= cached);
            cached = cache.RecordCount();
        }
        QVERIFY(cached > 0 && cached < 3000);

        // The title changes in place, with the same size and time: only a
        // record from the cache still says "cached".
        struct stat before {};
        QCOMPARE(::stat(dir_.File("one.mp3").c_str(), &before), 0);
        std::copy_n("fresh!", 6, bytes.begin() + std::ptrdiff_t(title_at));
        test::WriteFile(dir_.File("one.mp3"), bytes);
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, dir_.File("one.mp3").c_str(), times, 0), 0);
        run([&](const ListModel& rows) {
            bool from_cache = size_t(rows.done_count()) >= cached;
            for (size_t row = 0; row < cached && from_cache; ++row) {
                from_cache = rows.Row(int(row)).texts[kSlotTitle] == "cached";
            }
            return from_cache;
        });
    }

    void KeepsFavouritesInTheirSettingsKeys() {
        Favourites favourites;
        QVERIFY(favourites.Add({"/music/a", "0100"}) == Favourites::AddResult::kAdded);
        QVERIFY(favourites.Add({"/music/b", ""}) == Favourites::AddResult::kAdded);
        // The same path again is refused, whatever its id list.
        QVERIFY(favourites.Add({"/music/a", "FFFF"}) == Favourites::AddResult::kAlreadyThere);
        QCOMPARE(favourites.FromCommand(34001)->label, std::string("/music/b"));
        QVERIFY(favourites.FromCommand(34002) == nullptr);
        QVERIFY(favourites.FromCommand(33999) == nullptr);

        CIniFile ini(dir_.File("fav.ini"));
        favourites.Save(ini);
        QCOMPARE(ini.GetString("favourites_mru", "mru_pidl_str_0", ""), std::string("0100"));
        Favourites loaded;
        loaded.Load(ini);
        QVERIFY(loaded.entries() == favourites.entries());
    }

    // The commands' actions come from one table: texts, keys, switches.
    void MakesTheCommandsFromTheirTable() {
        QWidget owner;
        const FrameActions actions(owner);
        QCOMPARE(actions[FrameCommand::kExit]->text(), QString("E&xit"));
        QCOMPARE(actions[FrameCommand::kCompleteScan]->statusTip(),
                 QString("Scan all frames of all files in this folder"));
        QVERIFY2(actions[FrameCommand::kOrganize]->shortcut().isEmpty(), "Organize has no key");
        // The list takes its own Del key.
        QCOMPARE(actions[FrameCommand::kDelete]->shortcutContext(), Qt::WidgetShortcut);
        QVERIFY2(actions[FrameCommand::kShowToolbar]->isChecked(), "the toolbar starts shown");
        QVERIFY2(actions[FrameCommand::kProblemsOnly]->isCheckable(), "problems only is a switch");
        QVERIFY2(!actions[FrameCommand::kProblemsOnly]->isChecked(), "problems only starts off");

        // The frame's Edit menu shows them in its order.
        CMainFrame frame;
        frame.LoadSettings(CIniFile(dir_.File("none.ini")));
        QCOMPARE(MenuTexts(frame.menuBar()->actions().at(1)->menu()),
                 (QStringList{"Cu&t", "&Copy", "&Paste", "-", "&Delete", "&Rename", "-",
                              "&Select All", "Select &None"}));
        frame.PrepareShutdown();
    }

    void ShowsFavouritesInTheMenuAndOrganizesThem() {
        CMainFrame frame;
        frame.LoadSettings(CIniFile(dir_.File("none.ini")));
        QCOMPARE(MenuTexts(frame.favourites_menu().menu()),
                 (QStringList{"&Add Current", "&Organize...", "-", "Empty"}));
        QVERIFY(!frame.favourites_menu().menu()->actions().back()->isEnabled());

        frame.favourites_menu().favourites().Add({"/a", ""});
        frame.favourites_menu().favourites().Add({"/b", ""});
        frame.favourites_menu().favourites().Add({"/c", ""});
        frame.favourites_menu().Rebuild();
        QCOMPARE(MenuTexts(frame.favourites_menu().menu()),
                 (QStringList{"&Add Current", "&Organize...", "-", "/a", "/b", "/c"}));

        // Remove two of three in the dialog, and keep the change with OK.
        OnNextModal([](QWidget* dialog) {
            auto* list = dialog->findChild<QListWidget*>();
            list->item(0)->setSelected(true);
            list->item(2)->setSelected(true);
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Delete);
            static_cast<QDialog*>(dialog)->accept();
        });
        frame.favourites_menu().Organize();
        QCOMPARE(MenuTexts(frame.favourites_menu().menu()),
                 (QStringList{"&Add Current", "&Organize...", "-", "/b"}));

        // Cancel keeps them as they were.
        OnNextModal([](QWidget* dialog) {
            auto* list = dialog->findChild<QListWidget*>();
            list->item(0)->setSelected(true);
            QTest::keyClick(list, Qt::Key_Delete);
            static_cast<QDialog*>(dialog)->reject();
        });
        frame.favourites_menu().Organize();
        QCOMPARE(frame.favourites_menu().favourites().entries().size(), size_t{1});
        frame.PrepareShutdown();
    }

    void WritesTheLogOfTheRunWhileLoggingIsOn() {
        std::filesystem::create_directories(dir_.File("logged"));
        test::WriteFile(dir_.File("logged/one.mp3"), test::MakeFrames({}, 20));
        test::WriteText(LogFilePath(), "a line of the last run\n");
        const auto log_text = [] {
            const std::vector<uint8_t> bytes = test::ReadFile(LogFilePath());
            return QString::fromLatin1(std::string(bytes.begin(), bytes.end()));
        };
        CMainFrame frame;
        frame.LoadSettings(CIniFile(dir_.File("none.ini")));  // logging is on by default
        QSignalSpy done(&frame.view().list(), &CVandrelList::allDone);
        frame.Start({dir_.File("logged")});
        QVERIFY(done.wait(20000));
        const QString text = log_text();
        QVERIFY2(text.contains("CVandrelList::OnFill\n"), "the list's line");
        QVERIFY2(text.contains("CListThread::OnProcess\n"), "the worker's line");
        QVERIFY2(!text.contains("last run"), "the last run's log deleted");
        // The Debug menu's switch stops it.
        for (QAction* action : frame.findChildren<QAction*>()) {
            if (action->text() == "&Logging") {
                action->trigger();
            }
        }
        frame.view().list().RefreshRequest(ListReadDepth::kFrameLimit);
        QVERIFY(done.wait(20000));
        QCOMPARE(log_text(), text);
        frame.PrepareShutdown();
        StartLogFile("");  // the folder goes with this test
    }

    void CtrlQQuits() {
        CMainFrame frame;
        frame.LoadSettings(CIniFile(dir_.File("none.ini")));
        frame.Start({});
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY2(!frame.isVisible(), "window closed");
        frame.PrepareShutdown();
    }

    // Counts and sizes of a damaged settings file are held to what can
    // exist: the start neither loops nor makes a window of gigabytes.
    void BoundsEveryCountAndSizeTheSettingsGive() {
        const int max = 2147483647;
        CIniFile huge(dir_.File("huge.ini"));
        for (const char* section : {"mainframe", "details_rect"}) {
            huge.SetInt(section, "left", -max);
            huge.SetInt(section, "right", max);
        }
        huge.SetInt("favourites_mru", "count", max);
        huge.SetString("favourites_mru", "mru_label_1", "/music");
        huge.SetInt("export", "selnum", max);
        huge.SetInt("list_settings", "num_columns22_", max);
        huge.SetInt("list_settings", "colwidth2_", max, 0);
        huge.SetInt("list_settings", "frameres", max);
        CMainFrame frame;
        frame.LoadSettings(huge);
        frame.Start({});
        QCOMPARE(frame.favourites_menu().favourites().entries().size(),
                 size_t{1});  // the one that names a folder
        const ListSettings& list = frame.view().list().settings();
        QVERIFY2(list.export_choices.selected.size() <= Catalog().size(), "export choices");
        QVERIFY2(list.columns.size() <= Catalog().size(), "columns");
        QCOMPARE(list.columns.at(0).width, kMaxColumnWidth);
        QCOMPARE(list.frame_limit, kMaxFramesToRead);
        QVERIFY2(frame.width() <= frame.screen()->availableGeometry().width(), "window width");
        QCOMPARE(frame.view().details_rect(), QRect(0, 0, 640, 480));
        frame.PrepareShutdown();

        CIniFile negative(dir_.File("negative.ini"));
        negative.SetInt("favourites_mru", "count", -1);
        negative.SetString("favourites_mru", "mru_label_0", "/music");
        negative.SetInt("list_settings", "frameres", -1);
        frame.LoadSettings(negative);
        QVERIFY2(frame.favourites_menu().favourites().entries().empty(), "favourites");
        QCOMPARE(list.frame_limit, 1000);  // the default
    }

    void WritesItsSettingsAtExitAndReadsThemBack() {
        CIniFile start(dir_.File("start.ini"));
        start.SetInt("mainframe", "left", 30);
        start.SetInt("mainframe", "top", 40);
        start.SetInt("mainframe", "right", 630);  // on the offscreen screen of 800 x 800
        start.SetInt("mainframe", "bottom", 440);
        start.SetInt("view_settings", "splitter_pos", 260);
        start.SetInt("details_rect", "right", 100000);  // beyond any screen: reset
        start.SetInt("favourites_mru", "count", 1);
        start.SetString("favourites_mru", "mru_label_0", "/music");
        start.SetString("cache", "path", dir_.File("my.cache"));
        std::string text;
        {
            CMainFrame frame;
            frame.LoadSettings(start);
            QVERIFY(AnalysisCache() != nullptr);  // made and loaded with the settings
            frame.Start({});
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            frame.PrepareShutdown();
            text = SavedText(frame, dir_.File("saved.ini"));
        }
        QVERIFY(AnalysisCache() == nullptr);  // gone with the frame
        // Sections in the order of their first write, keys in their order.
        const size_t favourites =
            text.find("favourites_mru\r\ncount\t1\r\nmru_label_0\t/music\r\n");
        const size_t list = text.find("list_settings\r\n");
        const size_t details = text.find("details_rect\r\nleft\t0\r\nright\t640\r\ntop\t0\r\n"
                                         "bottom\t480\r\n");
        const size_t splitter = text.find("view_settings\r\nsplitter_pos\t260\r\n");
        const size_t frame_keys = text.find("mainframe\r\nbottom\t440\r\ntop\t40\r\nleft\t30\r\n"
                                            "right\t630\r\nmaximize\t0\r\n");
        const size_t global = text.find("global\r\nlogging\t1\r\n");
        const size_t cache = text.find("cache\r\npath\t" + dir_.File("my.cache"));
        QVERIFY(favourites == 0);
        QVERIFY(favourites < list && list < details && details < splitter);
        QVERIFY(splitter < frame_keys && frame_keys < global && global < cache);
        QVERIFY(cache != std::string::npos);
    }
};

VANDREL_UI_TEST(FrameTest);

}  // namespace vandrel

#include "FrameTest.moc"
