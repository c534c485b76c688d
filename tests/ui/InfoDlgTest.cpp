#include "ui/details/InfoDlg.h"

#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include "UiTest.h"
#include "engine/media/MediaFileWrapper.h"
#include "engine/media/MpcFile.h"
#include "engine/media/VandrelMp3File.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/TextReports.h"
#include "store/IniFile.h"
#include "store/ProcessValues.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "ui/browser/MainFrame.h"
#include "ui/browser/VandrelList.h"
#include "ui/browser/VandrelView.h"
#include "ui/details/DetailsPages.h"
#include "ui/details/SpectrumPage.h"
#include "ui/details/TextInfoPage.h"

namespace vandrel {

namespace {

constexpr int kWaitMs = 20000;

// The record a full scan of `path` gives, as the engine makes it.
ScanRecord EngineRecord(const std::string& path) {
    CVandrelMediaFileWrapper wrapper;
    ScanRecord record = ZeroRecord();
    if (wrapper.Attach(path)) {
        wrapper.Scan(record, {.cache = CacheLookup::kSkip});
    }
    return record;
}

QStringList TabTexts(const CInfoDlg& dialog) {
    QStringList texts;
    for (int i = 0; i < dialog.pages().TabBar()->count(); ++i) {
        texts.push_back(dialog.pages().TabBar()->tabText(i));
    }
    return texts;
}

}  // namespace

using test::MessageBoxWatch;

class InfoDlgTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;
    QWidget view_;

    // A file that takes the details worker many progress steps.
    std::string LongFile() {
        const std::string path = dir_.File("long.mp3");
        if (!std::filesystem::exists(path)) {
            test::WriteFile(path, test::MakeFrames({}, 40000));
        }
        return path;
    }

    static bool Finishes(const CInfoDlg& dialog) {
        return QTest::qWaitFor([&] { return !dialog.busy(); }, kWaitMs);
    }

private slots:
    void init() {
        qputenv("VANDREL_HOME", QByteArray::fromStdString(dir_.path()));
        InitProcessValues(QCoreApplication::applicationFilePath().toStdString(), {});
    }

    void ShowsAWholeScanOnItsPagesAndCopiesTheEnginesReport() {
        const std::string path = test::FixturePath("lame_vbr_v2.mp3");
        CInfoDlg dialog(path, 0, {}, &view_);
        dialog.Start();
        QVERIFY2(dialog.busy(), "busy once started");
        QVERIFY2(!dialog.buttons().refresh_button().isEnabled(), "Refresh off while scanning");
        QVERIFY2(!dialog.buttons().copy_button().isEnabled(), "Copy Info off while scanning");
        QVERIFY2(Finishes(dialog), "the scan finishes");

        QVERIFY2(dialog.buttons().refresh_button().isEnabled(), "Refresh on again");
        QVERIFY2(dialog.buttons().copy_button().isEnabled(), "Copy Info on again");
        QVERIFY2(dialog.buttons().progress_bar().isHidden(), "progress bar hidden when finished");

        const ScanRecord expected = EngineRecord(path);
        QCOMPARE(dialog.record().frames, expected.frames);  // the whole file was scanned
        auto* file = dynamic_cast<CVandrelMp3File*>(dialog.media_file());
        QVERIFY2(file != nullptr, "an MPEG audio media object");
        const std::vector<float> counts(std::begin(expected.bitrate_index_counts),
                                        std::end(expected.bitrate_index_counts));
        QVERIFY2(file->HistogramAt(CVandrelMp3File::kBitrateHistogram).values == counts,
                 "bitrate histogram holds the frame counts per bitrate");

        TextPageData text;
        RegisterTextPageCheckBoxes(text);
        FillTextPage(text, expected);
        auto* page = dialog.pages().findChild<CTextInfoDlg*>();
        QVERIFY2(page != nullptr, "a text page");
        QCOMPARE(page->List()->topLevelItemCount(), static_cast<int>(text.rows.size()));
        for (size_t i = 0; i < text.rows.size(); ++i) {
            QTreeWidgetItem* row = page->List()->topLevelItem(static_cast<int>(i));
            QCOMPARE(row->text(1).toStdString(), text.rows[i].second);  // value of each row
        }

        AttributeTexts texts;
        BuildAttributeTexts(texts, expected, false);
        texts[kSlotName] = path;
        dialog.CopyInfo();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString::fromStdString(BuildInfoReport(texts, expected)));
    }

    void ShowsTheFindingsUnderTheTextPagesList() {
        // Frames whose chain breaks once, the last of them cut short.
        std::vector<uint8_t> bytes = test::MakeFrames({}, 60);
        test::Append(bytes, std::vector<uint8_t>(1000, 0x55));
        test::Append(bytes, test::MakeFrames({}, 60));
        bytes.resize(bytes.size() - 200);
        const std::string path = dir_.File("damaged.mp3");
        test::WriteFile(path, bytes);
        CInfoDlg dialog(path, 2, {}, &view_);
        dialog.Start();
        auto* page = dialog.pages().findChild<CTextInfoDlg*>();
        QVERIFY2(page != nullptr, "a text page");
        QVERIFY2(page->Findings()->isHidden(), "no findings before the whole file was read");
        QVERIFY2(Finishes(dialog), "the scan finishes");

        QVERIFY2(page->Findings()->isVisible(), "the findings show once it was");
        const QString text = page->Findings()->text();
        const QString expected("Problems:\n"
                               "  damage: The frames lose their chain 1 time (audio missing or "
                               "corrupt there).\n"
                               "  damage: The last frame is cut short: the file ends inside it.\n"
                               // 120 frames of 1152 samples at 44.1 kHz, no LAME tag; the
                               // size at the first frame's bitrate.
                               "Length:\n"
                               "  Exact Length: 00:00:03.135\n"
                               "  Shown Length: 00:00:03.172\n"
                               "Identity:\n"
                               "  Audio Hash: ");
        QVERIFY2(text.startsWith(expected), qPrintable("the findings, lengths and hash: " + text));
        QVERIFY2(text.size() == expected.size() + 16, "the hash's 16 digits end the text");
    }

    void RefreshScansAgainFromTheFirstRecordAndARememberedTabBeyondTheCountOpensTheFirst() {
        CInfoDlg dialog(test::FixturePath("lame_cbr320_stereo.mp3"), 9, {}, &view_);
        dialog.Start();
        QCOMPARE(dialog.pages().TabBar()->currentIndex(), 0);  // tab 9 of 3 gives the first
        QVERIFY2(Finishes(dialog), "first scan finishes");
        const int32_t frames = dialog.record().frames;

        dialog.pages().SelectTab(2);
        dialog.Refresh();
        QVERIFY2(dialog.busy(), "busy again after Refresh");
        QCOMPARE(dialog.record().frames, 0);                   // the record starts afresh
        QCOMPARE(dialog.pages().TabBar()->currentIndex(), 2);  // the chosen tab stays
        QVERIFY2(Finishes(dialog), "second scan finishes");
        QCOMPARE(dialog.record().frames, frames);
    }

    void MpegPlusFileShowsOneTextTabWithoutProgress() {
        CInfoDlg dialog(test::FixturePath("mpcenc_q3_mono_48k.mpc"), 2, {}, &view_);
        dialog.Start();
        QVERIFY2(dialog.buttons().progress_bar().isHidden(), "no progress bar for MPEG Plus");
        QVERIFY2(Finishes(dialog), "scan finishes");
        QCOMPARE(TabTexts(dialog), QStringList({"Text Info"}));
        auto* file = dynamic_cast<CMpcFile*>(dialog.media_file());
        QVERIFY2(file != nullptr, "an MPEG Plus media object");
        QCOMPARE(file->TextPage().rows.at(1).second, std::string("SV8"));  // stream version row
        auto* page = dialog.pages().findChild<CTextInfoDlg*>();
        QVERIFY2(page != nullptr && page->isVisible(), "the text page shows");
        QVERIFY2(page->CheckBoxAt(0)->isHidden(), "no check boxes");
    }

    void MpegFileGetsASpectrumTabThatShowsItsDecodedPictureAlone() {
        CInfoDlg dialog(test::FixturePath("lame_cbr256_from128.mp3"), 0, {}, &view_);
        dialog.Start();
        QCOMPARE(TabTexts(dialog),
                 QStringList({"Bit Histogram", "Other Info", "Text Info", "Spectrum"}));
        CSpectrumPage* spectrum = dialog.pages().SpectrumPage();
        QVERIFY2(spectrum != nullptr, "a spectrum page");
        QVERIFY2(QTest::qWaitFor([&] { return spectrum->HasPicture(); }, kWaitMs),
                 "the decoded spectrogram comes");
        QVERIFY2(!dialog.busy(), "the scan is done before the decode");
        QVERIFY2(spectrum->Spectrum()->marks.cutoff_hz.has_value(), "the re-encode's cutoff");

        auto* text = dialog.pages().findChild<CTextInfoDlg*>();
        dialog.pages().SelectTab(3);
        QVERIFY2(spectrum->isVisible(), "the spectrum shows on its tab");
        QVERIFY2(!text->isVisible(), "the text page does not");
        QCOMPARE(spectrum->size(), dialog.pages().PageArea()->size());  // the whole page area
        const QImage picture = spectrum->Render(QSize(600, 400), 2.0);
        QCOMPARE(picture.size(), QSize(1200, 800));              // drawn in device pixels
        QCOMPARE(picture.pixelColor(0, 0), QColor(18, 18, 22));  // the picture's own background
        dialog.pages().SelectTab(2);
        QVERIFY2(!spectrum->isVisible(), "the spectrum hides on another tab");
        QVERIFY2(text->isVisible(), "which shows its own page");

        // Refresh makes a new page, which fills again.
        dialog.Refresh();
        CSpectrumPage* again = dialog.pages().SpectrumPage();
        QVERIFY2(again != nullptr && !again->HasPicture(), "a new, empty spectrum page");
        QVERIFY2(QTest::qWaitFor([&] { return again->HasPicture(); }, kWaitMs),
                 "the new page gets its picture");
        QCOMPARE(TabTexts(dialog).size(), 4);  // still one Spectrum tab
    }

    void ClosingDuringTheDecodeEndsTheDialogAtOnce() {
        QPointer dialog = new CInfoDlg(LongFile(), 3, {}, &view_);
        QSignalSpy closed(dialog.data(), &CInfoDlg::Closed);
        dialog->Start();
        CSpectrumPage* spectrum = dialog->pages().SpectrumPage();
        QVERIFY2(spectrum != nullptr, "a spectrum page");
        const auto decoding = [&] {
            return !spectrum->HasPicture() && spectrum->Status().contains("%") &&
                   !spectrum->Status().endsWith(" 0%");
        };
        QVERIFY2(QTest::qWaitFor([&] { return decoding() || spectrum->HasPicture(); }, kWaitMs),
                 "the decode runs");
        if (!decoding()) {
            QSKIP("the decode ended before the dialog could be closed");
        }
        QElapsedTimer timer;
        timer.start();
        dialog->reject();
        QVERIFY2(closed.wait(kWaitMs), "the dialog ends");
        QVERIFY2(timer.elapsed() < 1000, "within a second");
        QVERIFY2(!spectrum->HasPicture(), "no spectrogram after the close");
        delete dialog;
    }

    void FailuresSayWhyAndEndTheDialog() {
        MessageBoxWatch boxes;
        const std::string missing = dir_.File("gone.mp3");
        QPointer dialog = new CInfoDlg(missing, 0, {}, &view_);
        QSignalSpy closed(dialog.data(), &CInfoDlg::Closed);
        dialog->Start();
        QVERIFY2(closed.wait(kWaitMs), "a missing file ends the dialog");
        QCOMPARE(boxes.shown.value(0),
                 QString::fromStdString("File not found or unrecognized filetype:\n" + missing));
        delete dialog;

        // A file its kind accepts but cannot scan: the worker's message, then the end.
        const std::string broken = dir_.File("broken.mpc");
        test::WriteText(broken, "MPCK");
        dialog = new CInfoDlg(broken, 0, {}, &view_);
        QSignalSpy closed_after_scan(dialog.data(), &CInfoDlg::Closed);
        dialog->Start();
        QVERIFY2(closed_after_scan.wait(kWaitMs), "a failed scan ends the dialog");
        QVERIFY2(QTest::qWaitFor([&] { return boxes.shown.size() == 2; }, kWaitMs),
                 "the scan's failure is shown");
        QCOMPARE(boxes.shown.value(1), QString(kNoMpcStreamHeaderMessage));
        delete dialog;
    }

    void GoToFolderNamesTheFolderOrSaysThereIsNone() {
        QCOMPARE(CInfoDlg::FolderOf("/music/a.mp3"), std::string("/music"));
        QCOMPARE(CInfoDlg::FolderOf("/a.mp3"), std::string("/"));  // the root
        QCOMPARE(CInfoDlg::FolderOf("a.mp3"), std::string());      // none
        MessageBoxWatch boxes;
        CInfoDlg dialog("a.mp3", 0, {}, &view_);
        QSignalSpy requests(&dialog, &CInfoDlg::FolderRequested);
        dialog.GoToFolder();
        QCOMPARE(requests.count(), 0);
        QCOMPARE(boxes.shown, QStringList({"Unable to obtain file directory."}));
    }

    // The view keeps the list paused while any dialog scans, and a dialog
    // closed mid-scan lets its worker go before it is deleted.
    void ListWaitsForEveryScanningDialogAndResumesAfterACloseMidScan() {
        const std::string path = LongFile();
        CMainFrame frame;
        frame.LoadSettings(CIniFile(dir_.File("none.ini")));
        CVandrelView& view = frame.view();
        const ListScanner& scanner = view.list().loader().scanner();

        view.OpenDetails(path);
        view.OpenDetails(path);
        QCOMPARE(view.details_dialogs().size(), size_t{2});
        QPointer first = view.details_dialogs()[0];
        QPointer second = view.details_dialogs()[1];
        QVERIFY2(scanner.details_paused(), "paused while both scan");
        QVERIFY2(QTest::qWaitFor([&] { return !first->busy() || !second->busy(); }, kWaitMs),
                 "one finishes");
        QCOMPARE(scanner.details_paused(), first->busy() || second->busy());
        QVERIFY2(QTest::qWaitFor([&] { return !first->busy() && !second->busy(); }, kWaitMs),
                 "both finish");
        QVERIFY2(!scanner.details_paused(), "resumed once neither scans");

        first->pages().SelectTab(1);
        first->Refresh();
        QVERIFY2(scanner.details_paused(), "paused again by the refresh");
        first->reject();  // mid-scan
        QVERIFY2(QTest::qWaitFor([&] { return first.isNull(); }, kWaitMs),
                 "the closed dialog is deleted once its worker ended");
        QCOMPARE(view.details_dialogs().size(), size_t{1});
        QVERIFY2(!scanner.details_paused(), "resumed after the close");
        QCOMPARE(view.initial_tab(), 1);  // the closed dialog's tab is remembered

        view.OpenDetails(path);
        QCOMPARE(view.details_dialogs().back()->pages().TabBar()->currentIndex(), 1);
        // Deleting the view with a dialog still scanning waits for its worker.
    }
};

VANDREL_UI_TEST(InfoDlgTest);

}  // namespace vandrel

#include "InfoDlgTest.moc"
