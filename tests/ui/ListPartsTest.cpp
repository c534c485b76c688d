#include <cstring>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTableView>
#include <QTest>

#include "UiTest.h"
#include "support/TestFiles.h"
#include "ui/browser/ListFileActions.h"
#include "ui/browser/ListRow.h"
#include "ui/browser/ListRows.h"

namespace vandrel {

namespace {

namespace fs = std::filesystem;

class QuietListener : public ListListener {
public:
    void StatusText(int, const QString&) override {}
    void BusyState(ListBusy) override {}
    void OpenDetails(const std::string&) override {}
    void OpenSettings(int) override {}
};

}  // namespace

class ListPartsTest : public QObject {
    Q_OBJECT

private slots:
    void APackedRowGivesBackWhatItTook() {
        ScanRecord record{};
        record.frames = 1200;
        record.length_seconds = 31.25f;
        std::strcpy(record.path, "/music/a.mp3");
        record.large_size_high[0] = 7;  // the image's last byte but three
        const PackedRecord packed(record);
        const ScanRecord back = packed.Unpack();
        QCOMPARE(back.frames, 1200);
        QCOMPARE(back.length_seconds, 31.25f);
        QCOMPARE(std::string(back.path), std::string("/music/a.mp3"));
        QCOMPARE(back.large_size_high[0], uint8_t{7});
        // A field read in place; one in a piece of zeros is 0.
        QCOMPARE(packed.Field32(offsetof(ScanRecord, frames)), uint32_t{1200});
        QCOMPARE(packed.Field32(offsetof(ScanRecord, sync_errors)), uint32_t{0});

        AttributeTexts texts;
        texts[kSlotName] = "a.mp3";
        texts[kSlotEncoder] = "Lame 3.100";
        PackedTexts packed_texts(texts);
        packed_texts.Set(kSlotName, "renamed.mp3");
        QCOMPARE(std::string(packed_texts[kSlotName]), std::string("renamed.mp3"));
        QCOMPARE(std::string(packed_texts[kSlotEncoder]), std::string("Lame 3.100"));
        QVERIFY2(packed_texts[kSlotQuality].empty(), "a slot never set stays empty");
        // Texts beyond what the buffer's 16-bit ends can say are cut.
        texts[kSlotEncoder] = std::string(70'000, 'x');
        QCOMPARE(PackedTexts(texts)[kSlotEncoder].size(), size_t{65'535 - 5});
    }

    // The rows without a model: keys, results, the count of those done and
    // the sorted order.
    void TheRowsKeepTheirKeysResultsAndOrder() {
        ListRows rows;
        const auto names = [&] {
            std::string joined;
            for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
                joined += std::string(rows.Row(row).name()) + " ";
            }
            return joined;
        };
        // Unsorted, the rows keep the order of the listing.
        const std::vector<uint64_t> keys =
            rows.Append({{"/m/b.mp3", "b.mp3"}, {"/m/A.mp3", "A.mp3"}});
        QCOMPARE(names(), std::string("b.mp3 A.mp3 "));
        QVERIFY2(!rows.order_broken(), "the listing's order is the order without a sort");
        // By name, without regard to case; a result takes its row's place in turn.
        rows.SetOrder(0, SortDirection::kAscending);
        rows.Sort();
        QCOMPARE(names(), std::string("A.mp3 b.mp3 "));
        QCOMPARE(rows.RowOf(keys[0]), 1);
        rows.Rename(0, "/m/c.mp3", "c.mp3");
        QVERIFY2(rows.order_broken(), "a rename past its neighbour breaks the order");
        rows.Sort();
        QCOMPARE(names(), std::string("b.mp3 c.mp3 "));

        // A result counts its row done once; a pending row waits again.
        ListResult result;
        result.key = keys[1];
        QCOMPARE(rows.Take(result), 1);
        QCOMPARE(rows.Take(result), 1);
        QCOMPARE(rows.done_count(), 1);
        QCOMPARE(result.texts[kSlotName], std::string("c.mp3"));  // the row's name wins
        rows.MarkPending(1);
        QCOMPARE(rows.done_count(), 0);
        // Removing a row moves those after it up.
        rows.Remove(0);
        QCOMPARE(rows.RowOf(keys[1]), 0);
        QCOMPARE(rows.RowOf(keys[0]), -1);
        // Keys go on counting after a clear: an old result finds no row.
        rows.Clear();
        const std::vector<uint64_t> later = rows.Append({{"/m/d.mp3", "d.mp3"}});
        QVERIFY2(later[0] > keys[1], "a new key is larger than every one before");
        QCOMPARE(rows.Take(result), -1);
    }

    // The file actions need no list widget: a plain view of the rows, the
    // folder's watch, a listener and the selection do.
    void FileActionsWorkOnTheRowsTheyAreGiven() {
        test::TempDir from;
        test::TempDir into;
        fs::copy_file(test::FixturePath("lame_cbr64_mono.mp3"), from.File("a.mp3"));
        fs::copy_file(test::FixturePath("lame_cbr64_mono.mp3"), from.File("b.mp3"));
        test::WriteText(from.File("notes.txt"), "not audio\n");
        ListModel model;
        model.SetColumns(DefaultListColumns());
        model.AddRows({{from.File("a.mp3"), "a.mp3"}, {from.File("b.mp3"), "b.mp3"}});
        QTableView view;
        view.setModel(&model);
        FolderWatch watch;
        QuietListener listener;
        ListSettings settings;
        const std::string folder = into.path();
        ListFileActions actions(
            view, {model, watch, listener, [] { return std::vector<int>{1}; }, settings, folder});

        // A cut takes the selected rows' files, marked as cut for file managers.
        actions.CopySelected(FileTransfer::kMove);
        const QMimeData* clipboard = QApplication::clipboard()->mimeData();
        QCOMPARE(clipboard->urls(),
                 QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(from.File("b.mp3")))});
        QVERIFY2(clipboard->data("x-special/gnome-copied-files").startsWith("cut\n"),
                 "the clipboard says cut");

        // Files pasted or dropped go into the list's folder when their names
        // pass the file types.
        actions.CopyFilesHere({QUrl::fromLocalFile(QString::fromStdString(from.File("a.mp3"))),
                               QUrl::fromLocalFile(QString::fromStdString(from.File("notes.txt")))},
                              FileTransfer::kCopy);
        QVERIFY2(fs::exists(into.File("a.mp3")), "the audio file is copied");
        QVERIFY2(fs::exists(from.File("a.mp3")), "a copy leaves the source");
        QVERIFY2(!fs::exists(into.File("notes.txt")), "a name the file types refuse stays out");
    }
};

VANDREL_UI_TEST(ListPartsTest);

}  // namespace vandrel

#include "ListPartsTest.moc"
