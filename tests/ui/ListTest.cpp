#include <sys/stat.h>

#include <filesystem>

#include <QCoreApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "UiTest.h"
#include "engine/core/RecordCache.h"
#include "store/IniFile.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "ui/browser/QtMessageTarget.h"
#include "ui/browser/VandrelList.h"

namespace vandrel {

namespace {

// Records what the list tells the frame.
class RecordingListener : public ListListener {
public:
    void StatusText(int pane, const QString& text) override { panes[pane] = text; }
    void BusyState(int state) override { busy.push_back(state); }
    void OpenDetails(const std::string& path) override { details.push_back(path); }
    void OpenSettings(int page) override { settings_pages.push_back(page); }

    std::map<int, QString> panes;
    std::vector<int> busy;
    std::vector<std::string> details;
    std::vector<int> settings_pages;
};

// In-memory settings for a list, from "key=value" lines of "list_settings".
CIniFile ListSettingsWith(std::initializer_list<std::pair<const char*, const char*>> values) {
    CIniFile ini("unused.ini");
    for (const auto& [key, value] : values) {
        ini.SetString("list_settings", key, value);
    }
    return ini;
}

QStringList ShownNames(CVandrelList& list) {
    QStringList names;
    for (const ListRow& row : list.model_data().rows()) {
        names.push_back(QString::fromStdString(row.texts[kSlotName]));
    }
    return names;
}

int ColumnOf(CVandrelList& list, int32_t id) {
    const auto& columns = list.model_data().columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

class ListTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

    void Copy(const char* fixture, const std::string& as) {
        std::filesystem::copy_file(test::FixturePath(fixture), dir_.File(as),
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Fills the list from the folder and waits until every file is done.
    static bool FillAndWait(CVandrelList& list, const std::string& folder) {
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(folder, true, false);
        return done.wait(20000);
    }
    // Loads the settings (none by default), then fills the list from the folder.
    static bool LoadAndFill(CVandrelList& list, const std::string& folder,
                            const CIniFile& settings = CIniFile("none.ini")) {
        list.LoadSettings(settings);
        return FillAndWait(list, folder);
    }

private slots:
    void init() {
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            std::filesystem::remove_all(entry.path());
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

        // Only matching names, in name order; the file no kind accepts is gone.
        QCOMPARE(ShownNames(list), (QStringList{"A_mono.MP3", "b_good.mp3", "c.mp2"}));
        const auto& rows = list.model_data().rows();
        QCOMPARE(QString::fromStdString(rows[1].texts[kSlotEncoder]), QString("Lame 3.100"));
        QCOMPARE(QString::fromStdString(rows[1].texts[kSlotQuality]), QString("good"));
        QCOMPARE(QString::fromStdString(rows[0].texts[kSlotQuality]), QString("bad"));
        QCOMPARE(QString::fromStdString(rows[2].texts[kSlotFrames]), QString("125"));

        // The summary over every row.
        double size = 0, length = 0, bits = 0;
        for (const ListRow& row : rows) {
            size += row.record.file_size;
            length += row.record.length_seconds;
            bits += row.record.average_bitrate * static_cast<double>(row.record.length_seconds);
        }
        QCOMPARE(listener.panes[kPaneMain], QString("3 files, %1 MB, %2 kbps")
                                                .arg(size / 1048576, 0, 'f', 1)
                                                .arg(bits / length, 0, 'f', 1));
        QCOMPARE(listener.panes[kPaneFrames], QString("Reading at most 1000 frames"));
        QCOMPARE(listener.busy.front(), int(kBusyIdle));
        QVERIFY(std::find(listener.busy.begin(), listener.busy.end(), kBusyScanning) !=
                listener.busy.end());
        QCOMPARE(listener.busy.back(), int(kBusyIdle));
        QCOMPARE(list.busy_state(), int(kBusyIdle));
    }

    void ColoursTheQualityCellAndShadesRows() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path(), ListSettingsWith({{"color_good", "255"}})));
        ListModel& model = list.model_data();
        const int quality = ColumnOf(list, kQualityAttribute);
        const QModelIndex good = model.index(1, quality);
        QCOMPARE(model.data(good, Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
        QCOMPARE(model.data(good, Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
        QCOMPARE(model.data(model.index(0, quality), Qt::BackgroundRole).value<QColor>(),
                 QColor(255, 150, 150));  // the default colour of "bad"
        // Other cells: even rows light blue, odd rows the window's colour.
        QCOMPARE(model.data(model.index(0, 0), Qt::BackgroundRole).value<QColor>(),
                 QColor(235, 235, 255));
        QVERIFY(!model.data(model.index(1, 0), Qt::BackgroundRole).isValid());
        // Right-aligned numbers.
        const int bitrate = ColumnOf(list, 2);
        QVERIFY(model.data(model.index(0, bitrate), Qt::TextAlignmentRole).toInt() &
                Qt::AlignRight);
        QCOMPARE(model.headerData(bitrate, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QString("Bitrate (kbps)"));
    }

    void SortsByAColumnBothWays() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        const int bitrate = ColumnOf(list, 2);
        auto bitrates = [&] {
            QList<int> values;
            for (const ListRow& row : list.model_data().rows()) {
                values.push_back(row.record.average_bitrate);
            }
            return values;
        };
        emit list.horizontalHeader()->sectionClicked(bitrate);
        QList<int> ascending = bitrates();
        QVERIFY(std::is_sorted(ascending.begin(), ascending.end()));
        QCOMPARE(list.horizontalHeader()->sortIndicatorSection(), bitrate);
        emit list.horizontalHeader()->sectionClicked(bitrate);  // the same column again
        QList<int> descending = bitrates();
        QVERIFY(std::is_sorted(descending.rbegin(), descending.rend()));
        QCOMPARE(list.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
        // Another column keeps the direction: names descending, without regard to case.
        emit list.horizontalHeader()->sectionClicked(ColumnOf(list, 0));
        QCOMPARE(ShownNames(list), (QStringList{"c.mp2", "b_good.mp3", "A_mono.MP3"}));
        QCOMPARE(list.settings().sortcolid, 0);
        QVERIFY(list.settings().sort_reverse);
    }

    void IgnoresResultsOfAReplacedBatch() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        const ItemRef item = list.model_data().rows()[0].item;
        item->texts[kSlotEncoder] = "changed";
        const uint64_t stale = uint64_t{static_cast<uint8_t>(list.batch_tag() - 1)} << 16;
        QCoreApplication::postEvent(&list, new WorkerEvent(Message(kMsgItemDone, stale, item)));
        QCoreApplication::sendPostedEvents(&list);
        QVERIFY(list.model_data().rows()[0].texts[kSlotEncoder] != "changed");
        const uint64_t current = uint64_t{list.batch_tag()} << 16;
        QCoreApplication::postEvent(&list, new WorkerEvent(Message(kMsgItemDone, current, item)));
        QCoreApplication::sendPostedEvents(&list);
        QCOMPARE(QString::fromStdString(list.model_data().rows()[0].texts[kSlotEncoder]),
                 QString("changed"));
    }

    void FollowsTheFileTypesSetting() {
        RecordingListener listener;
        CVandrelList list(listener);
        // Upper case, and a last extension without its ";".
        list.LoadSettings(ListSettingsWith({{"filetypes", ".MP2;.Mp3"}}));
        QVERIFY(list.AcceptsName("x.mp3"));
        QVERIFY(list.AcceptsName("X.MP2"));
        QVERIFY(!list.AcceptsName("x.mp3.bak"));
        QVERIFY(!list.AcceptsName("mp3"));
        QVERIFY(!list.AcceptsName("x.mpc"));
        QVERIFY(FillAndWait(list, dir_.path()));
        QCOMPARE(ShownNames(list), (QStringList{"A_mono.MP3", "b_good.mp3", "c.mp2"}));
    }

    void RefillsWhenFilesComeOrGoButNotForATimestamp() {
        RecordingListener listener;
        CVandrelList list(listener);
        QVERIFY(LoadAndFill(list, dir_.path()));
        QSignalSpy changed(&list, &CVandrelList::folderChanged);
        QSignalSpy done(&list, &CVandrelList::allDone);

        // A changed modification time alone: no refill.
        std::filesystem::last_write_time(dir_.File("c.mp2"),
                                         std::filesystem::file_time_type::clock::now() -
                                             std::chrono::hours(5));
        test::WriteText(dir_.File("notes.txt"), "a file of another kind");
        QVERIFY(changed.wait(10000));
        list.CheckFolder();
        QCOMPARE(done.count(), 0);
        QCOMPARE(list.busy_state(), int(kBusyIdle));

        // A new audio file: refilled.
        changed.clear();
        Copy("lame_cbr128_joint.mp3", "new.mp3");
        QVERIFY(changed.wait(10000));
        list.CheckFolder();
        QVERIFY(done.wait(20000));
        QCOMPARE(list.model_data().rowCount(), 4);
    }

    void ReadsEverythingInASecondPassWhenAsked() {
        RecordingListener listener;
        CVandrelList list(listener);
        list.LoadSettings(ListSettingsWith({{"frameres", "50"}, {"readallinitial", "1"}}));
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.OnFill(dir_.path(), true, false);
        QVERIFY(done.wait(20000));
        // The first pass read at most 50 frames...
        QCOMPARE(QString::fromStdString(list.model_data().rows()[1].texts[kSlotFrames]),
                 QString("50+"));
        QCOMPARE(list.busy_state(), int(kBusyScanning));
        // ...the second reads the rest.
        QVERIFY(done.wait(20000));
        QCOMPARE(QString::fromStdString(list.model_data().rows()[1].texts[kSlotFrames]),
                 QString("117"));
        QCOMPARE(list.busy_state(), int(kBusyIdle));
        QCOMPARE(listener.panes[kPaneFrames], QString("Reading at most 50 frames"));
    }

    void ListsFilesGivenByName() {
        RecordingListener listener;
        CVandrelList list(listener);
        list.LoadSettings(CIniFile("none.ini"));
        QSignalSpy done(&list, &CVandrelList::allDone);
        list.FilesGiven({dir_.File("c.mp2"), dir_.File("noext"), dir_.File("missing.mp3")});
        QVERIFY(done.wait(20000));
        // Named files are taken whatever their name; a missing one is dropped.
        QCOMPARE(ShownNames(list), (QStringList{"c.mp2", "noext"}));
        QVERIFY(list.current_folder().empty());
    }

    void ListsOddFilesAndDropsThoseWithoutAudio() {
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            std::filesystem::remove_all(entry.path());
        }
        test::WriteFile(dir_.File("zeros.mp3"), std::vector<uint8_t>(200'000, 0));
        std::vector<uint8_t> repeated;
        for (int i = 0; i < 50'000; ++i) {
            repeated.insert(repeated.end(), {0xFF, 0xFB, 0x90, 0x64});
        }
        test::WriteFile(dir_.File("repeated.mp3"), repeated);
        test::WriteSparseFile(dir_.File("huge.mp3"), 4'500'000'000, test::MakeFrames({}, 100));
        std::filesystem::create_directory(dir_.File("folder.mp3"));
        QCOMPARE(::mkfifo(dir_.File("pipe.mp3").c_str(), 0600), 0);
        Copy("lame_cbr64_mono.mp3", "new\nline.mp3");
        Copy("lame_cbr64_mono.mp3", "bad \xFF byte.mp3");

        RecordingListener listener;
        CVandrelList list(listener);
        list.LoadSettings(CIniFile("none.ini"));
        QVERIFY(FillAndWait(list, dir_.path()));  // the pipe does not hold it up

        // The folder is no row; the pipe and the files without audio, which
        // no file kind opens, are dropped. The rest are listed in the order
        // of their bytes.
        QCOMPARE(ShownNames(list),
                 (QStringList{"bad \uFFFD byte.mp3", "huge.mp3", "new\nline.mp3"}));
        const ListModel& model = list.model_data();
        const int name = ColumnOf(list, 0);
        QCOMPARE(model.data(model.index(2, name), Qt::DisplayRole).toString(),
                 QString("new line.mp3"));
        QCOMPARE(model.data(model.index(2, name), Qt::EditRole).toString(),
                 QString("new\nline.mp3"));
        const int size = ColumnOf(list, 5);
        QCOMPARE(model.data(model.index(1, size), Qt::DisplayRole).toString(),
                 QString("4294,967,295+"));
        QCOMPARE(model.data(model.index(0, ColumnOf(list, 9)), Qt::DisplayRole).toString(),
                 QString("156"));
        QCOMPARE(list.busy_state(), int(kBusyIdle));
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
        const std::string text(bytes.begin(), bytes.end());
        const size_t frameres = text.find("frameres\t1000");
        const size_t colour = text.find("color_bad\t9869055");
        const size_t export_section = text.find("export\r\n");
        const size_t columns = text.find("num_columns22_\t2");
        const size_t width = text.find("colwidth2_0\t250");
        const size_t types = text.find("filetypes\t.mp3;.mp2;.mp1;.mpc;.mp+;");
        QVERIFY(frameres < colour && colour < columns && columns < width && width < types);
        QVERIFY(types < export_section);  // a section of its own, written after
        QVERIFY(text.find("sortcolid\t7") != std::string::npos);
        QVERIFY(text.find("selnum\t0") != std::string::npos);
    }
};

VANDREL_UI_TEST(ListTest);

}  // namespace vandrel

#include "ListTest.moc"
