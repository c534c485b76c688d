#include "ui/tools/AppendDlg.h"

#include <filesystem>

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "UiTest.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"

namespace vandrel {

namespace fs = std::filesystem;

class AppendDlgTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

    std::string Copy(const char* fixture, const std::string& as) {
        const std::string path = dir_.File(as);
        fs::copy_file(test::FixturePath(fixture), path, fs::copy_options::overwrite_existing);
        return path;
    }
    // The dialog for input 1, with input 2 and the output filled in.
    static void Fill(CAppendDlg& dialog, const std::string& input2, const std::string& output) {
        dialog.Input2Edit()->setText(QString::fromStdString(input2));
        dialog.OutputEdit()->setText(QString::fromStdString(output));
    }

private slots:
    void init() {
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            fs::remove_all(entry.path());
        }
    }

    void JoinsAndClosesWithTheNote() {
        const std::string one = Copy("lame_vbr_v2.mp3", "one.mp3");
        const std::string two = Copy("lame_notag_vbr_long.mp3", "two.mp3");
        CAppendDlg dialog(one, "one.mp3", test::ScanFile(one));
        test::MessageBoxWatch boxes;
        Fill(dialog, two, dir_.File("out.mp3"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.accept();
        QVERIFY2(!dialog.OkButton()->isEnabled(), "OK is disabled while joining");
        QVERIFY2(finished.wait(10000), "the dialog closes when the join is done");
        QCOMPARE(finished.front().front().toInt(), int(QDialog::Accepted));
        QVERIFY2(fs::exists(dir_.File("out.mp3")), "the joined file is there");
        QVERIFY2(boxes.shown.size() == 1 && boxes.shown.front().startsWith("These two files"),
                 "one note on the different bitrates");
    }

    void RefusesAnInputAsOutputUnderAnotherName() {
        const std::string one = Copy("lame_cbr128_joint.mp3", "one.mp3");
        const std::string two = Copy("lame_cbr128_joint.mp3", "two.mp3");
        fs::create_symlink(two, dir_.File("link.mp3"));
        CAppendDlg dialog(one, "one.mp3", test::ScanFile(one));
        test::MessageBoxWatch boxes;
        Fill(dialog, two, dir_.File("link.mp3"));
        dialog.accept();
        QVERIFY2(boxes.shown.value(0).startsWith("Output file cannot equal"), "the refusal");
        QVERIFY2(!dialog.working(), "no join started");

        Fill(dialog, std::string(), dir_.File("out.mp3"));
        dialog.accept();
        QVERIFY2(!dialog.working(), "no join without a second file");
    }

    void AFailureIsSaidAndTheDialogCloses() {
        const std::string one = Copy("lame_cbr128_joint.mp3", "one.mp3");
        CAppendDlg dialog(one, "one.mp3", test::ScanFile(one));
        test::MessageBoxWatch boxes;
        Fill(dialog, dir_.File("gone.mp3"), dir_.File("out.mp3"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.accept();
        QVERIFY2(finished.wait(10000), "the dialog closes after the failure");
        QTRY_VERIFY2(!boxes.shown.isEmpty(), "a message box");
        QVERIFY2(boxes.shown.front().startsWith(QString::fromStdString(
                     "Problem appending file: \r\n" + dir_.File("gone.mp3"))),
                 "the failure names input 2");
        QVERIFY2(!fs::exists(dir_.File("out.mp3")), "no output");
    }

    void ARefusedJoinNamesTheDifference() {
        const std::string one = Copy("lame_cbr128_joint.mp3", "one.mp3");
        const std::string two = Copy("lame_cbr192_dual_48k.mp3", "two.mp3");
        CAppendDlg dialog(one, "one.mp3", test::ScanFile(one));
        test::MessageBoxWatch boxes;
        Fill(dialog, two, dir_.File("out.mp3"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.accept();
        QVERIFY2(finished.wait(10000), "the dialog closes after the refusal");
        QTRY_VERIFY2(!boxes.shown.isEmpty(), "a message box");
        QVERIFY2(boxes.shown.front().endsWith(
                     "\r\n\r\nThe files differ in sample rate (44100 Hz and 48000 Hz)."),
                 qPrintable("the refusal names the rates: " + boxes.shown.front()));
    }

    void CancelStopsTheJoinAndLeavesNothing() {
        // Big enough that the join is still copying when Cancel comes.
        const std::string one = dir_.File("one.mp3");
        test::WriteSparseFile(one, 400'000'000, test::MakeFrames({}, 10));
        const std::string two = Copy("lame_cbr128_joint.mp3", "two.mp3");
        CAppendDlg dialog(one, "one.mp3", test::ScanFile(two));
        dialog.NewHeaderBox()->setChecked(false);
        Fill(dialog, two, dir_.File("out.mp3"));
        dialog.accept();
        QVERIFY2(dialog.working(), "the join runs");
        dialog.reject();
        QVERIFY2(!dialog.working(), "Cancel waited for the worker");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY2(!fs::exists(dir_.File("out.mp3")), "no output after Cancel");
        QVERIFY2(std::distance(fs::directory_iterator(dir_.path()), {}) == 2,
                 "no temporary file left");
    }
};

VANDREL_UI_TEST(AppendDlgTest);

}  // namespace vandrel

#include "AppendDlgTest.moc"
