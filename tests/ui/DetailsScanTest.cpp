#include "ui/details/DetailsScan.h"

#include <QTest>

#include "UiTest.h"
#include "store/ProcessValues.h"
#include "support/MpegBuilder.h"
#include "support/TestFiles.h"
#include "ui/details/DetailsPages.h"

namespace vandrel {

class DetailsScanTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;

private slots:
    void init() {
        qputenv("VANDREL_HOME", QByteArray::fromStdString(dir_.path()));
        InitProcessValues(QCoreApplication::applicationFilePath().toStdString(), {});
    }

    void AClosedScanTellsNothingMoreAndSaysWhenItsWorkerEnded() {
        CDetailsPages pages;
        int records = 0;
        int finished = 0;
        const auto events = [&] {
            return CDetailsScan::Events{.progressed = [&](int) { ++records; },
                                        .finished = [&] { ++finished; },
                                        .close_requested = [] {}};
        };
        // No file there: nothing opens.
        CDetailsScan missing(dir_.File("gone.mp3"), events());
        QVERIFY2(missing.Open(pages, "Sans") == DetailsOpen::kNoFile, "a missing file's open");

        const std::string path = dir_.File("long.mp3");
        test::WriteFile(path, test::MakeFrames({}, 40000));
        CDetailsScan scan(path, events());
        QVERIFY2(scan.Open(pages, "Sans") == DetailsOpen::kOpened, "an MPEG file's open");
        QVERIFY2(scan.shows_progress(), "an MPEG scan shows its progress");
        scan.Run();
        QVERIFY2(QTest::qWaitFor([&] { return records > 0; }, 20000), "a record came in");
        scan.Close();
        const int records_at_close = records;
        const int finished_at_close = finished;
        bool ended = false;
        QObject context;
        scan.WhenEnded(&context, [&] { ended = true; });
        QVERIFY2(QTest::qWaitFor([&] { return ended; }, 20000), "told when the worker ended");
        QVERIFY2(!scan.running(), "no worker runs after the end");
        QCoreApplication::processEvents();
        QCOMPARE(records, records_at_close);    // no record handled after the close
        QCOMPARE(finished, finished_at_close);  // nor the end of the scan
    }

    void ProgressIsTheShareOfThePlayingTimeScanned() {
        ScanRecord record = ZeroRecord();
        record.sample_rate = 44100;
        record.is_mpeg1 = 1;
        record.length_seconds = 100;
        record.frames = 1914;  // 1914 x 1152 / 44100 = 49.99 s
        QCOMPARE(CDetailsScan::ProgressPercent(record), 49);
        record.is_mpeg1 = 0;  // 576 samples a frame
        QCOMPARE(CDetailsScan::ProgressPercent(record), 24);
        record.frames = 100000;  // more than the length promised
        QCOMPARE(CDetailsScan::ProgressPercent(record), 100);
        record.sample_rate = 0;
        QCOMPARE(CDetailsScan::ProgressPercent(record), 0);  // no rate, no division
    }
};

VANDREL_UI_TEST(DetailsScanTest);

}  // namespace vandrel

#include "DetailsScanTest.moc"
