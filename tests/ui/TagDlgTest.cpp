#include "ui/tools/TagDlg.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "UiTest.h"
#include "engine/tags/VbrHeaders.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {

namespace {

constexpr int kWaitMs = 20000;
// lame -V 2, no ID3 tags: a LAME tag whose music CRC matches the audio.
constexpr const char* kLameFixture = "lame_vbr_v2.mp3";

ScanRecord RecordOf(const std::string& path) {
    return test::ScanMemory(test::ReadFile(path));
}

QStringList Column(const CTagPage& page, int column) {
    QStringList texts;
    for (int i = 0; i < page.List()->topLevelItemCount(); ++i) {
        texts.push_back(page.List()->topLevelItem(i)->text(column));
    }
    return texts;
}

QString Value(const CTagPage& page, const QString& field) {
    const auto rows = page.List()->findItems(field, Qt::MatchExactly, 0);
    return rows.size() == 1 ? rows[0]->text(1) : QStringLiteral("<no single row %1>").arg(field);
}

}  // namespace

class TagDlgTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

    // Waits for the end of the check the dialog started: its LAME page, or
    // nullptr when there is none or the check does not end.
    static CTagPage* Checked(CTagDlg& dialog) {
        CTagPage* page = dialog.Page(TagPageKind::kLame);
        const bool ended =
            page != nullptr && QSignalSpy(page, &CTagPage::CheckFinished).wait(kWaitMs);
        return ended ? page : nullptr;
    }

private slots:
    void LameFileShowsItsTagsAndItsMusicCrcIsChecked() {
        const std::string path = test::FixturePath(kLameFixture);
        const ScanRecord record = RecordOf(path);
        CTagDlg dialog(path, record);
        QCOMPARE(dialog.Tabs()->count(), 2);
        CTagPage* lame = dialog.Page(TagPageKind::kLame);
        QVERIFY2(lame != nullptr && lame->checking(), "the LAME page checks from the start");
        QCOMPARE(Value(*lame, "Music CRC"), QString("Calculating..."));  // before the result
        QVERIFY2(dialog.Page(TagPageKind::kVbri) == nullptr, "no VBRI page");

        QVERIFY2(Checked(dialog) == lame, "the check ends with a result");
        QVERIFY2(!lame->checking(), "no longer checking");
        QCOMPARE(lame->crc_state(), MusicCrcState::kOk);
        QCOMPARE(Value(*lame, "Music CRC"), QString("OK"));
        QCOMPARE(Value(*lame, "Version String"), QString("LAME3.100"));  // the tag's own bytes

        const CTagPage* xing = dialog.Page(TagPageKind::kXing);
        QVERIFY2(xing != nullptr, "a Xing page");
    }

    void OneChangedAudioByteMakesTheMusicCrcCorrupt() {
        std::vector<uint8_t> bytes = test::ReadFile(test::FixturePath(kLameFixture));
        const std::string path = dir_.File("changed.mp3");
        const ScanRecord record = RecordOf(test::FixturePath(kLameFixture));
        bytes[bytes.size() / 2] ^= 0x40;  // well inside the music, past the tag's frame
        test::WriteFile(path, bytes);
        CTagDlg dialog(path, record);
        CTagPage* lame = Checked(dialog);
        QVERIFY2(lame != nullptr, "the check ends with a result");
        QCOMPARE(lame->crc_state(), MusicCrcState::kCorrupt);
        QCOMPARE(Value(*lame, "Music CRC"), QString("corrupt"));
    }

    void VbriFileHasOnlyTheVbriPageWithItsUnsettledWordsAsBytes() {
        // Words 1 and 2, VBR scale 75, 987654 bytes, 4321 frames, 3 table entries,
        // words 3 and 4, 8 frames an entry; big-endian.
        const char vbri[] = "VBRI\x00\x01\x0B\x1C\x00\x4B\x00\x0F\x12\x06\x00\x00\x10\xE1\x00\x03"
                            "\xAB\xCD\x00\x02\x00\x08";
        std::vector<uint8_t> bytes = test::MakeFrame({.bitrate_index = 14});  // room for VBRI
        std::memcpy(bytes.data() + kVbriOffset, vbri, sizeof vbri - 1);
        test::Append(bytes, test::MakeFrames({}, 30));
        const std::string path = dir_.File("vbri.mp3");
        test::WriteFile(path, bytes);

        CTagDlg dialog(path, test::ScanMemory(bytes));
        QCOMPARE(dialog.Tabs()->count(), 1);
        const CTagPage* page = dialog.Page(TagPageKind::kVbri);
        QVERIFY2(page != nullptr && !page->checking(), "a VBRI page that checks nothing");
        QCOMPARE(Column(*page, 1), QStringList({"00 01", "0B 1C", "75", "987654", "4321", "3",
                                                "AB CD", "00 02", "8"}));  // high byte first
    }

    void FileGoneBeforeTheCheckShowsTheErrorInTheRowAndABox() {
        const std::string path = dir_.File("gone.mp3");
        std::filesystem::copy_file(test::FixturePath(kLameFixture), path);
        const ScanRecord record = RecordOf(path);
        std::filesystem::remove(path);
        test::MessageBoxWatch boxes;
        CTagDlg dialog(path, record);
        CTagPage* lame = Checked(dialog);
        QVERIFY2(lame != nullptr, "a failed check still ends with a result");
        QCOMPARE(lame->crc_state(), MusicCrcState::kFailed);
        QCOMPARE(Value(*lame, "Music CRC"), QString("Error calculating CRC"));
        QVERIFY2(QTest::qWaitFor([&] { return !boxes.shown.isEmpty(); }, kWaitMs), "a box shows");
        QCOMPARE(boxes.shown, QStringList({"Error calculating CRC"}));
    }

    // A check over 2 GB (mostly a hole: the rest of the file counts when the
    // tag has no music length) is stopped by closing and by deleting the viewer.
    void ClosingOrDeletingTheViewerStopsALongCheckAtOnce() {
        const std::string path = dir_.File("long.mp3");
        test::WriteSparseFile(path, 2'000'000'000, test::ReadFile(test::FixturePath(kLameFixture)));
        ScanRecord record = RecordOf(test::FixturePath(kLameFixture));
        record.xing.music_length = 0;
        QPointer dialog = new CTagDlg(path, record);
        CTagPage* lame = dialog->Page(TagPageKind::kLame);
        QSignalSpy finished(lame, &CTagPage::CheckFinished);
        QVERIFY2(QTest::qWaitFor([&] { return lame->ProgressBar()->value() > 0; }, kWaitMs),
                 "the check makes progress");
        QVERIFY2(lame->checking(), "still checking when closed");

        QElapsedTimer closing;
        closing.start();
        dialog->done(QDialog::Rejected);
        QVERIFY2(closing.elapsed() < 1000, "done() returns within a second");
        QVERIFY2(!lame->checking(), "not checking once closed");
        const int progress = lame->ProgressBar()->value();
        QTest::qWait(200);
        QCOMPARE(lame->ProgressBar()->value(), progress);  // no progress after the close
        QCOMPARE(finished.count(), 0);                     // and no result
        QCOMPARE(Value(*lame, "Music CRC"), QString("Calculating..."));

        dialog->show();  // shown again: checks anew
        QVERIFY2(lame->checking(), "checking again once shown");
        QVERIFY2(QTest::qWaitFor([&] { return lame->ProgressBar()->value() > 0; }, kWaitMs),
                 "the new check makes progress");
        closing.restart();
        delete dialog;
        QVERIFY2(closing.elapsed() < 1000, "deleting mid-check takes under a second");
        QTest::qWait(50);  // anything the worker posted is dropped, not delivered
    }
};

VANDREL_UI_TEST(TagDlgTest);

}  // namespace vandrel

#include "TagDlgTest.moc"
