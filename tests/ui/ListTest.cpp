#include <sys/stat.h>

#include <filesystem>
#include <numeric>
#include <thread>

#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "UiTest.h"
#include "store/AttributeCatalog.h"
#include "store/IniFile.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "ui/browser/ListFileActions.h"
#include "ui/browser/VandrelList.h"

namespace vandrel {

namespace {

namespace fs = std::filesystem;

// Records what the list tells the frame.
class RecordingListener : public ListListener {
public:
    void StatusText(int pane, const QString& text) override { panes[pane] = text; }
    void BusyState(ListBusy state) override { busy.push_back(state); }
    void OpenDetails(const std::string& path) override { details.push_back(path); }
    void OpenSettings(int page) override { settings_pages.push_back(page); }

    std::map<int, QString> panes;
    std::vector<ListBusy> busy;
    std::vector<std::string> details;
    std::vector<int> settings_pages;
};

// Settings for a list, from "key=value" pairs of "list_settings".
CIniFile ListSettingsWith(std::initializer_list<std::pair<const char*, const char*>> values) {
    CIniFile ini("unused.ini");
    for (const auto& [key, value] : values) {
        ini.SetString("list_settings", key, value);
    }
    return ini;
}

// The names of the rows, in their order.
QStringList NamesOf(CVandrelList& list, const std::vector<int>& rows) {
    QStringList names;
    for (int row : rows) {
        names.push_back(QString::fromStdString(std::string(list.model_data().Row(row).name())));
    }
    return names;
}

QStringList ShownNames(CVandrelList& list) {
    std::vector<int> rows(static_cast<size_t>(list.model_data().rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    return NamesOf(list, rows);
}

// A row's text of an attribute slot.
QString Text(CVandrelList& list, int row, int slot) {
    return QString::fromStdString(std::string(list.model_data().Row(row).texts[slot]));
}

// The names of the rows the view shows, in their order.
QStringList ViewNames(CVandrelList& list) {
    std::vector<int> rows;
    const auto* shown = qobject_cast<const ListFilter*>(list.model());
    for (int row = 0; row < shown->rowCount(); ++row) {
        rows.push_back(shown->ModelRow(shown->index(row, 0)));
    }
    return NamesOf(list, rows);
}

// Frames whose chain breaks once, the last of them cut short.
std::vector<uint8_t> DamagedFrames() {
    std::vector<uint8_t> bytes = test::MakeFrames({}, 60);
    test::Append(bytes, std::vector<uint8_t>(1000, 0x55));
    test::Append(bytes, test::MakeFrames({}, 60));
    bytes.resize(bytes.size() - 200);
    return bytes;
}

QList<int> Bitrates(CVandrelList& list) {
    QList<int> values;
    for (int row = 0; row < list.model_data().rowCount(); ++row) {
        values.push_back(list.model_data().Row(row).record.Unpack().average_bitrate);
    }
    return values;
}

}  // namespace

class ListTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

    void Copy(const char* fixture, const std::string& as) {
        fs::copy_file(test::FixturePath(fixture), dir_.File(as),
                      fs::copy_options::overwrite_existing);
    }

    // Fills the list from the folder and waits until every file is done.
    static bool FillAndWait(CVandrelList& list, const std::string& folder) {
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(folder, ListReadDepth::kFrameLimit);
        return done.wait(20000);
    }
    // Loads the settings (none by default), then fills the list from the folder.
    static bool LoadAndFill(CVandrelList& list, const std::string& folder,
                            const CIniFile& settings = CIniFile("none.ini")) {
        list.LoadSettings(settings);
        return FillAndWait(list, folder);
    }
    // The folder check, once the list has taken in what it scanned for it.
    static bool CheckAndWait(CVandrelList& list) {
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.loader().CheckFolder();
        return list.loader().scanner().busy() == ListBusy::kIdle || done.wait(20000);
    }
    void ClickHeader(CVandrelList& list, int32_t attribute) {
        emit list.horizontalHeader()->sectionClicked(list.model_data().ColumnOf(attribute));
    }

private slots:
    void init() {
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            fs::remove_all(entry.path());
        }
        Copy("lame_vbr_v2.mp3", "b_good.mp3");
        Copy("lame_cbr64_mono.mp3", "A_mono.MP3");
        Copy("twolame_mp2_192_48k.mp2", "c.mp2");
        Copy("lame_cbr128_joint.mp3", "skip.mp3.bak");
        Copy("lame_cbr128_joint.mp3", "noext");
        test::WriteFile(dir_.File("broken.mp3"), std::vector<uint8_t>(5000, 0x33));
    }

    void FillsTheFolderAndSumsItUp() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));

        // Only matching names, in name order; the file no kind accepts too.
        QCOMPARE(ShownNames(list),
                 (QStringList{"A_mono.MP3", "b_good.mp3", "broken.mp3", "c.mp2"}));
        QCOMPARE(Text(list, 1, kSlotEncoder), QString("Lame 3.100"));
        QCOMPARE(Text(list, 1, kSlotQuality), QString("good"));
        // It counts as a file, with no size and no length.
        QCOMPARE(listener.panes[kPaneMain], QString("4 files, 0.2 MB, 128.8 kbps"));
        QVERIFY(std::count(listener.busy.begin(), listener.busy.end(), ListBusy::kScanning) == 1);
        QCOMPARE(listener.busy.back(), ListBusy::kIdle);
    }

    void ProblemFilesOnlyHidesTheRowsKnownClean() {
        test::WriteFile(dir_.File("damaged.mp3"), DamagedFrames());
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        const QStringList all{"A_mono.MP3", "b_good.mp3", "broken.mp3", "c.mp2", "damaged.mp3"};

        list.SetProblemsOnly(true);
        QCOMPARE(ViewNames(list), (QStringList{"broken.mp3", "damaged.mp3"}));
        // The Problems column comes with the filter, right after the name.
        QCOMPARE(list.model_data().ColumnOf(kProblemsAttribute), 1);
        QCOMPARE(listener.panes[kPaneMain], QString("2 of 5 files, 0.0 MB, 128.0 kbps"));

        // The damaged file's name on the shading of the second row shown.
        QAbstractItemModel& shown = *list.model();
        QVERIFY2(!shown.data(shown.index(1, 0), Qt::BackgroundRole).isValid(),
                 "the second row shown is not shaded");

        // Select All takes the rows shown; a sort keeps the others hidden.
        list.selectAll();
        QCOMPARE(NamesOf(list, list.SelectedRows()), (QStringList{"broken.mp3", "damaged.mp3"}));
        ClickHeader(list, 0);
        QCOMPARE(ViewNames(list), (QStringList{"damaged.mp3", "broken.mp3"}));
        ClickHeader(list, 0);

        // A refill shows every row until its result finds it clean.
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(dir_.path(), ListReadDepth::kFrameLimit);
        QCOMPARE(ViewNames(list), all);
        QVERIFY(done.wait(20000));
        QCOMPARE(ViewNames(list), (QStringList{"broken.mp3", "damaged.mp3"}));

        list.SetProblemsOnly(false);
        QCOMPARE(ViewNames(list), all);
        QCOMPARE(listener.panes[kPaneMain], QString("5 files, 0.2 MB, 128.6 kbps"));
    }

    void KeepsTheRowsInTheOrderTheHeaderShows() {
        Copy("lame_cbr320_stereo.mp3", "a_first.mp3");  // its name and bitrate sort apart
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        // The file without audio has no bitrate, which sorts as 0.
        const QList<int> ascending{0, 64, 153, 192, 320};
        ClickHeader(list, 2);
        QCOMPARE(Bitrates(list), ascending);
        ClickHeader(list, 2);  // the same column again
        QCOMPARE(Bitrates(list), (QList<int>{320, 192, 153, 64, 0}));
        // Another column keeps the direction: names descending, without regard to case.
        ClickHeader(list, 0);
        QCOMPARE(ShownNames(list),
                 (QStringList{"c.mp2", "broken.mp3", "b_good.mp3", "A_mono.MP3", "a_first.mp3"}));

        // A refill places each result where the sort puts it.
        ClickHeader(list, 0);
        ClickHeader(list, 2);
        QVERIFY(FillAndWait(list, dir_.path()));
        QCOMPARE(Bitrates(list), ascending);
        // So does a sort chosen while the results come in.
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(dir_.path(), ListReadDepth::kFrameLimit);
        ClickHeader(list, 0);
        ClickHeader(list, 2);
        QVERIFY(done.wait(20000));
        QCOMPARE(Bitrates(list), ascending);
    }

    void IgnoresResultsOfAReplacedBatch() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        auto result = [&] {
            auto made = std::make_unique<ListResult>();
            made->key = list.model_data().Row(0).key;
            made->texts[kSlotEncoder] = "changed";
            return made;
        };
        const auto tag = list.loader().scanner().batch_tag();
        QtMessageTarget& target = list.loader().scanner().target();
        target.Post(Message(kMsgItemDone, ItemDoneParam{uint16_t(tag - 1)}.Encode(), result()));
        QCoreApplication::sendPostedEvents(&list.loader().scanner());
        QCOMPARE(Text(list, 0, kSlotEncoder), QString("Lame 3.100"));
        target.Post(Message(kMsgItemDone, ItemDoneParam{tag}.Encode(), result()));
        QCoreApplication::sendPostedEvents(&list.loader().scanner());
        QCOMPARE(Text(list, 0, kSlotEncoder), QString("changed"));
    }

    void FollowsTheFolderRowByRow() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        list.selectionModel()->select(list.model()->index(1, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);

        // A file copied in slowly is scanned once it has stopped growing.
        const std::vector<uint8_t> frames = test::MakeFrames({}, 300);
        const size_t chunk = frames.size() / 3;
        for (size_t written = 0; written < frames.size(); written += chunk) {
            const size_t end = std::min(written + chunk, frames.size());
            std::vector<uint8_t> part(frames.begin(), frames.begin() + std::ptrdiff_t(end));
            test::WriteFile(dir_.File("growing.mp3"), part);
            QVERIFY(CheckAndWait(list));
            QCOMPARE(list.model_data().rowCount(), 4);
        }
        QVERIFY(CheckAndWait(list));
        QCOMPARE(ShownNames(list),
                 (QStringList{"A_mono.MP3", "b_good.mp3", "broken.mp3", "c.mp2", "growing.mp3"}));
        QCOMPARE(Text(list, 4, kSlotFrames), QString("300"));

        // A tag written in place (same size) is read once the file settles;
        // a file that went loses its row; the others keep theirs and the
        // selection stays where it was.
        std::vector<uint8_t> bytes = test::ReadFile(dir_.File("c.mp2"));
        const std::vector<uint8_t> tag = test::MakeId3v1("In place");
        std::copy(tag.begin(), tag.end(), bytes.end() - 128);
        test::WriteFile(dir_.File("c.mp2"), bytes);
        fs::remove(dir_.File("A_mono.MP3"));
        fs::remove(dir_.File("broken.mp3"));
        QVERIFY(CheckAndWait(list));
        QVERIFY(CheckAndWait(list));
        QCOMPARE(ShownNames(list), (QStringList{"b_good.mp3", "c.mp2", "growing.mp3"}));
        QCOMPARE(Text(list, 1, kSlotTitle), QString("In place"));
        QCOMPARE(NamesOf(list, list.SelectedRows()), QStringList{"b_good.mp3"});

        // A rename from the list is no change of the folder: the row moves
        // to its new place, still selected, and nothing is scanned again.
        QSignalSpy scanned(&list, &CVandrelList::allDone);
        QVERIFY(
            list.model_data().setData(list.model_data().index(0, 0), "z_good.mp3", Qt::EditRole));
        QVERIFY(CheckAndWait(list));
        QVERIFY(CheckAndWait(list));  // the renamed file has settled by now
        QCOMPARE(scanned.count(), 0);
        QCOMPARE(ShownNames(list), (QStringList{"c.mp2", "growing.mp3", "z_good.mp3"}));
        QCOMPARE(NamesOf(list, list.SelectedRows()), QStringList{"z_good.mp3"});
        QCOMPARE(Text(list, 2, kSlotEncoder), QString("Lame 3.100"));
    }

    void EmptiesAndSaysWhyWhenTheFolderIsGone() {
        fs::create_directory(dir_.File("album"));
        fs::copy_file(dir_.File("c.mp2"), dir_.File("album/c.mp2"));
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.File("album")));
        fs::rename(dir_.File("album"), dir_.File("moved"));
        list.loader().CheckFolder();
        QCOMPARE(list.model_data().rowCount(), 0);
        QCOMPARE(listener.panes[kPaneMain], QString("The folder is no longer there"));
        list.RefreshRequest(ListReadDepth::kFrameLimit);
        QCOMPARE(listener.panes[kPaneMain], QString("Folder not found"));
        // Back again, F5 finds it; an empty folder says so.
        fs::rename(dir_.File("moved"), dir_.File("album"));
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.RefreshRequest(ListReadDepth::kFrameLimit);
        QVERIFY(done.wait(20000));
        QCOMPARE(list.model_data().rowCount(), 1);
        fs::create_directory(dir_.File("empty"));
        list.OnFill(dir_.File("empty"), ListReadDepth::kFrameLimit);
        QCOMPARE(listener.panes[kPaneMain], QString("0 files, 0.0 MB, 0.0 kbps"));
        QCOMPARE(list.loader().scanner().busy(), ListBusy::kIdle);
    }

    void APauseEndsWithTheScanItHeld() {
        fs::remove(dir_.File("broken.mp3"));
        fs::remove(dir_.File("A_mono.MP3"));
        RecordingListener listener;
        CVandrelList list(listener);
        list.LoadSettings(CIniFile("none.ini"));
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(dir_.path(), ListReadDepth::kFrameLimit);
        // Pause is pressed while the last results are on their way: two
        // files, three messages each.
        while (list.loader().scanner().target().waiting() < 6) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        list.loader().scanner().TogglePause();
        QCOMPARE(list.loader().scanner().busy(), ListBusy::kPaused);
        QVERIFY(done.wait(20000));
        QCOMPARE(list.loader().scanner().busy(), ListBusy::kIdle);
        QVERIFY(!list.loader().scanner().held());
        // The next folder loads without pressing anything.
        QVERIFY(FillAndWait(list, dir_.path()));
        QCOMPARE(list.model_data().rowCount(), 2);
    }

    void ConfirmingARenameWithReturnOpensNothing() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        list.setCurrentIndex(list.model()->index(3, 0));
        list.actions().RenameRequest();
        auto* editor = list.findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        editor->setText("renamed.mp2");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(fs::exists(dir_.File("renamed.mp2")));
        QVERIFY(listener.details.empty());
        // Return on a row, not editing, asks for its Details.
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(listener.details, std::vector<std::string>{dir_.File("renamed.mp2")});
    }

    // Home and End select the first and the last row, with Shift up to it;
    // a file that could not be analysed says why when selected alone, and in
    // its tooltip, as the Problems column is hidden.
    void SelectionKeysAndWhatARefusedFileSays() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const int last = list.model()->rowCount() - 1;
        list.setCurrentIndex(list.model()->index(1, 0));
        QTest::keyClick(&list, Qt::Key_End);
        QCOMPARE(list.currentIndex().row(), last);
        QTest::keyClick(&list, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(list.selectionModel()->selectedRows().size(), last + 1);
        QTest::keyClick(&list, Qt::Key_End);
        QCOMPARE(list.selectionModel()->selectedRows().size(), 1);
        QTest::keyClick(&list, Qt::Key_Home);
        QCOMPARE(list.currentIndex().row(), 0);

        const int broken = 2;
        const QString reason = Text(list, broken, kSlotProblems);
        list.selectRow(broken);
        QCOMPARE(listener.panes[kPaneWorker], "This file cannot be analysed: " + reason);
        list.selectRow(1);
        QCOMPARE(listener.panes[kPaneWorker], QString());
        const ListModel& model = list.model_data();
        QCOMPARE(model.data(model.index(broken, 1), Qt::ToolTipRole).toString(),
                 QString::fromStdString(dir_.File("broken.mp3")) +
                     "\nCannot be analysed: " + reason);
    }

    void TheNameColumnGivesWayWhenTheListNarrows() {
        RecordingListener listener;
        CVandrelList list(listener);
        list.resize(1000, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(LoadAndFill(list, dir_.path()));
        const int others = list.horizontalHeader()->length() - list.columnWidth(0);
        // The others stay in view...
        list.resize(760, 400);
        QCOMPARE(list.horizontalHeader()->length(), list.viewport()->width());
        QCOMPARE(list.horizontalHeader()->length() - list.columnWidth(0), others);
        // ...until the name is down to its least width.
        list.resize(500, 400);
        QCOMPARE(list.columnWidth(0), ListColumns::kMinFirstColumnWidth);
    }

    void SaysHowManyFramesTheBatchBeingReadTakes() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path(), ListSettingsWith({{"frameres", "50"}})));
        QCOMPARE(listener.panes[kPaneFrames], QString("Reading at most 50 frames"));
        // A complete scan (F6) reads every frame, whatever the setting.
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.RefreshRequest(ListReadDepth::kEveryFrame);
        QCOMPARE(listener.panes[kPaneFrames], QString("Reading all frames"));
        QVERIFY(done.wait(20000));
    }

    void ReadsEverythingInASecondPassWhenAsked() {
        RecordingListener listener;
        CVandrelList list(listener);
        list.LoadSettings(ListSettingsWith({{"frameres", "50"}, {"readallinitial", "1"}}));
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(dir_.path(), ListReadDepth::kFrameLimit);
        QVERIFY(done.wait(20000));
        // The first pass read at most 50 frames...
        QCOMPARE(Text(list, 1, kSlotFrames), QString("50+"));
        QCOMPARE(list.loader().scanner().busy(), ListBusy::kScanning);
        // ...the second reads the rest.
        QVERIFY(done.wait(20000));
        QCOMPARE(Text(list, 1, kSlotFrames), QString("117"));
        QCOMPARE(list.loader().scanner().busy(), ListBusy::kIdle);
    }

    void ListsFilesGivenByName() {
        RecordingListener listener;
        CVandrelList list(listener);
        list.LoadSettings(CIniFile("none.ini"));
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.loader().FilesGiven(
            {dir_.File("c.mp2"), dir_.File("noext"), dir_.File("missing.mp3")});
        QVERIFY(done.wait(20000));
        // Named files are taken whatever their name; a missing one says so.
        QCOMPARE(ShownNames(list), (QStringList{"c.mp2", "missing.mp3", "noext"}));
        QCOMPARE(Text(list, 1, kSlotProblems), QString("No such file or directory"));
        QVERIFY(list.loader().folder().empty());
    }

    void ListsOddFilesAndSaysWhyThoseWithoutAudioAreNotAnalysed() {
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            fs::remove_all(entry.path());
        }
        test::WriteFile(dir_.File("zeros.mp3"), std::vector<uint8_t>(200'000, 0));
        std::vector<uint8_t> repeated;
        for (int i = 0; i < 50'000; ++i) {
            repeated.insert(repeated.end(), {0xFF, 0xFB, 0x90, 0x64});
        }
        test::WriteFile(dir_.File("repeated.mp3"), repeated);
        test::WriteSparseFile(dir_.File("huge.mp3"), 4'500'000'000, test::MakeFrames({}, 100));
        fs::create_directory(dir_.File("folder.mp3"));
        QCOMPARE(::mkfifo(dir_.File("pipe.mp3").c_str(), 0600), 0);
        Copy("lame_cbr64_mono.mp3", "new\nline.mp3");
        Copy("lame_cbr64_mono.mp3", "bad \xFF byte.mp3");
        test::WriteFile(dir_.File("empty.mp3"), {});
        test::WriteText(dir_.File("text.mp3"), "not audio\n");

        RecordingListener listener;
        CVandrelList list(listener);
        list.LoadSettings(CIniFile("none.ini"));
        QVERIFY(FillAndWait(list, dir_.path()));  // the pipe does not hold it up

        // The folder is no row; every file is, in the order of their bytes.
        QCOMPARE(ShownNames(list),
                 (QStringList{"bad \uFFFD byte.mp3", "empty.mp3", "huge.mp3", "new\nline.mp3",
                              "pipe.mp3", "repeated.mp3", "text.mp3", "zeros.mp3"}));
        const ListModel& model = list.model_data();
        QCOMPARE(model.data(model.index(3, 0), Qt::DisplayRole).toString(),
                 QString("new line.mp3"));
        QCOMPARE(model.data(model.index(3, 0), Qt::EditRole).toString(), QString("new\nline.mp3"));
        QCOMPARE(model.data(model.index(2, model.ColumnOf(5)), Qt::DisplayRole).toString(),
                 QString("4,294,967,295+"));
        QCOMPARE(model.data(model.index(0, model.ColumnOf(9)), Qt::DisplayRole).toString(),
                 QString("156"));
        QCOMPARE(list.loader().scanner().busy(), ListBusy::kIdle);

        // Those no file kind opens say why under Problems, as vandrel-scan
        // does, and "--" where the analysis would be.
        QCOMPARE(Text(list, 1, kSlotProblems), QString("Empty file"));
        QCOMPARE(Text(list, 4, kSlotProblems), QString("Not a regular file"));
        for (int row : {5, 6, 7}) {
            QCOMPARE(Text(list, row, kSlotProblems),
                     QString("Not an MPEG audio, MPEG Plus or WAVE file"));
        }
        QCOMPARE(Text(list, 6, kSlotEncoder), QString("--"));

        // A refused file has no Details: its reason is shown instead.
        test::MessageBoxWatch boxes;
        list.actions().OpenDetails(6);
        QVERIFY2(listener.details.empty(), "no Details dialog asked for");
        QCOMPARE(boxes.shown.value(0),
                 QString("This file cannot be analysed:\n\n\t%1\n\nNot an MPEG audio, MPEG "
                         "Plus or WAVE file")
                     .arg(QString::fromStdString(dir_.File("text.mp3"))));
    }

    void WritesItsSettingsInTheirOrder() {
        RecordingListener listener;
        CVandrelList list(listener);
        list.LoadSettings(ListSettingsWith({{"num_columns22_", "2"},
                                            {"colid2_0", "0"},
                                            {"colwidth2_0", "250"},
                                            {"colid2_1", "7"},
                                            {"colwidth2_1", "0"},
                                            {"sortcolid", "7"}}));
        QCOMPARE(list.columnWidth(0), 250);
        QCOMPARE(list.columnWidth(1), 50);  // 0 keeps the attribute's own width
        CIniFile saved(dir_.File("saved.ini"));
        list.SaveSettings(saved);
        QVERIFY(saved.Save());
        const std::vector<uint8_t> bytes = test::ReadFile(dir_.File("saved.ini"));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                 QByteArray("list_settings\r\nframeres\t1000\r\nreadallunknown\t1\r\n"
                            "readallinitial\t0\r\nsortcolid\t7\r\nsort_reverse\t0\r\n"
                            "monoquality\t0\r\nxml\t1\r\nrescan\t1\r\ncolor_good\t9895830\r\n"
                            "color_notbad\t9895935\r\ncolor_bad\t9869055\r\nnum_columns22_\t2\r\n"
                            "autosize\t1\r\ntooltips\t1\r\ncolid2_0\t0\r\ncolwidth2_0\t250\r\n"
                            "colid2_1\t7\r\ncolwidth2_1\t50\r\n"
                            "filetypes\t.mp3;.mp2;.mp1;.mpc;.mp+;\r\nproblemsonly\t0\r\n\r\n"
                            "export\r\nrecurse\t1\r\nselnum\t0\r\ntemplate\t\r\n\r\n"));
    }
};

VANDREL_UI_TEST(ListTest);

}  // namespace vandrel

#include "ListTest.moc"
