#include <initializer_list>
#include <utility>
#include <vector>

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMediaDevices>
#include <QMessageBox>
#include <QTest>
#include <QTreeWidget>

#include "UiTest.h"
#include "support/TestFiles.h"
#include "ui/tools/SyncDlg.h"

namespace vandrel {

namespace {

// What the dialog asked of its fake players.
struct PlayerLog {
    QString problem;  // what Problem() answers
    std::vector<std::pair<int64_t, int64_t>> ranges;
    SyncPlayer* current = nullptr;  // the one alive, if any
};

class FakePlayer : public SyncPlayer {
public:
    explicit FakePlayer(PlayerLog& log) : log_(log) { log_.current = this; }
    ~FakePlayer() override { log_.current = nullptr; }
    QString Problem() const override { return log_.problem; }
    void PlayRange(int64_t start_ms, int64_t stop_ms) override {
        log_.ranges.emplace_back(start_ms, stop_ms);
    }

private:
    PlayerLog& log_;
};

ScanRecord RecordWith(int count, std::initializer_list<int64_t> times_ms) {
    ScanRecord record = ZeroRecord();
    record.sync_errors = count;
    for (int i = 0; i < kMaxStoredSyncErrors; ++i) {
        record.sync_error_times_ms[i] = 1000 * i;
    }
    int i = 0;
    for (int64_t time : times_ms) {
        record.sync_error_times_ms[i++] = time;
    }
    return record;
}

// The caption and text of the next message box, which is then closed.
void WatchNextBox(QString& caption, QString& text) {
    test::OnNextModal([&caption, &text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY2(box != nullptr, "a message box shows");
        caption = box->windowTitle();
        text = box->text();
        box->done(0);
    });
}

}  // namespace

class SyncDlgTest : public QObject {
    Q_OBJECT

private:
    PlayerLog log_;
    CSyncDlg::PlayerFactory Fake() {
        return [this](const std::string&) { return std::make_unique<FakePlayer>(log_); };
    }

private slots:
    void init() { log_ = PlayerLog{}; }

    void ListsOneRowPerStoredErrorUpToTwenty() {
        for (auto [count, rows] : {std::pair{0, 0}, {3, 3}, {25, 20}, {-1, 0}}) {
            CSyncDlg dialog("a.mp3", RecordWith(count, {}), Fake());
            QCOMPARE(dialog.List()->topLevelItemCount(), rows);
        }
        CSyncDlg dialog("a.mp3", RecordWith(25, {}), Fake());
        QCOMPARE(dialog.windowTitle(), QString("Sync Errors"));
        QCOMPARE(dialog.List()->headerItem()->text(1), QString("Position"));
        QCOMPARE(dialog.List()->columnWidth(0), 150);
        QCOMPARE(dialog.List()->topLevelItem(19)->text(0), QString("20"));  // counted from 1
        QCOMPARE(dialog.List()->topLevelItem(19)->text(1), QString("00:00:19"));
    }

    void PositionsAreWholeSecondsWithTenthsBelowTen() {
        CSyncDlg dialog("a.mp3", RecordWith(3, {65000, 5000, 5430}), Fake());
        QCOMPARE(dialog.List()->topLevelItem(0)->text(1), QString("00:01:05"));
        QCOMPARE(dialog.List()->topLevelItem(1)->text(1), QString("00:00:05.0"));
        QCOMPARE(dialog.List()->topLevelItem(2)->text(1), QString("00:00:05.4"));
        QCOMPARE(CSyncDlg::PositionText(9999), QString("00:00:09.9"));  // truncated, not rounded
        QCOMPARE(CSyncDlg::PositionText(10000), QString("00:00:10"));
        QCOMPARE(CSyncDlg::PositionText(3723999), QString("01:02:03"));
        QCOMPARE(CSyncDlg::PositionText(-2500), QString("00:00:00.0"));  // clamped
    }

    void DoubleClickAndEnterPlaySixSecondsAroundTheError() {
        CSyncDlg dialog("a.mp3", RecordWith(2, {2000, 10000}), Fake());
        QVERIFY2(log_.current == nullptr, "no player before the dialog opens");
        dialog.show();
        QVERIFY2(QTest::qWaitForWindowExposed(&dialog), "dialog shows");
        QVERIFY2(log_.current != nullptr, "the player is made on opening");
        QTreeWidget* list = dialog.List();
        const QPoint first_row = list->visualItemRect(list->topLevelItem(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first_row);  // a press first
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first_row);
        list->setFocus();
        list->setCurrentItem(list->topLevelItem(1));
        QTest::keyClick(list, Qt::Key_Return);
        using Range = std::pair<int64_t, int64_t>;
        QCOMPARE(log_.ranges, (std::vector<Range>{{0, 6000}, {7000, 13000}}));
        QVERIFY2(dialog.isVisible(), "Enter on a row plays it rather than closing");
        dialog.accept();
        QVERIFY2(log_.current == nullptr, "the player is let go on closing");
    }

    void FailuresShowAnUncaptionedBoxAndKeepTheDialogOpen() {
        CSyncDlg dialog("a.mp3", RecordWith(1, {2000}), Fake());
        dialog.show();
        QString caption = "unset", text;
        log_.problem = kSyncNoAudioOutputMessage;
        WatchNextBox(caption, text);
        dialog.Listen(0);
        QCOMPARE(text, QString(kSyncNoAudioOutputMessage));
        QVERIFY2(caption.isEmpty(), "the box has no caption");
        QVERIFY2(log_.ranges.empty(), "nothing is played when the player has a problem");

        // A failure reported later, from the player's own signal.
        test::MessageBoxWatch boxes;
        log_.problem.clear();
        dialog.Listen(0);
        log_.current->on_failure("Unable to start playback...\n\nno decoder");
        QVERIFY2(boxes.shown.isEmpty(), "the box waits for the player's signal to return");
        QVERIFY2(QTest::qWaitFor([&] { return !boxes.shown.isEmpty(); }), "box shows");
        QCOMPARE(boxes.shown, QStringList({"Unable to start playback...\n\nno decoder"}));
        QVERIFY2(dialog.isVisible(), "the dialog stays open");
    }

    void RealPlayerWithoutAudioOutputSaysSoWithoutHanging() {
        if (!QMediaDevices::audioOutputs().isEmpty()) {
            QSKIP("this machine has an audio output");
        }
        CSyncDlg dialog(test::FixturePath("lame_notag_vbr_long.mp3"), RecordWith(1, {2000}));
        dialog.show();
        QString caption, text;
        WatchNextBox(caption, text);
        QElapsedTimer clock;
        clock.start();
        dialog.Listen(0);
        QCOMPARE(text, QString(kSyncNoAudioOutputMessage));
        QVERIFY2(clock.elapsed() < 5000, "the answer comes at once");
        QVERIFY2(dialog.isVisible(), "the dialog stays open");
    }
};

VANDREL_UI_TEST(SyncDlgTest);

}  // namespace vandrel

#include "SyncDlgTest.moc"
