#include "ui/tools/SyncDlg.h"

#include <algorithm>
#include <vector>

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QMessageBox>
#include <QTest>
#include <QTreeWidget>

#include "UiTest.h"
#include "support/TestFiles.h"

namespace vandrel {

class SyncDlgTest : public QObject {
    Q_OBJECT

private:
    // Answers Problem() with problem_ and notes the ranges asked for.
    struct FakePlayer : SyncPlayer {
        explicit FakePlayer(SyncDlgTest& test) : test_(test) { test_.player_ = this; }
        ~FakePlayer() override { test_.player_ = nullptr; }
        QString Problem() const override { return test_.problem_; }
        void PlayRange(int64_t start_ms, int64_t stop_ms) override {
            test_.ranges_.emplace_back(start_ms, stop_ms);
        }
        SyncDlgTest& test_;
    };
    SyncPlayer* player_ = nullptr;  // the one alive
    QString problem_;
    std::vector<std::pair<int64_t, int64_t>> ranges_;
    CSyncDlg::PlayerFactory Fake() {
        return [this](const std::string&) { return std::make_unique<FakePlayer>(*this); };
    }
    static ScanRecord RecordWith(int count, std::vector<int64_t> times_ms = {}) {
        ScanRecord record = ZeroRecord();
        record.sync_errors = count;
        std::copy(times_ms.begin(), times_ms.end(), record.sync_error_times_ms);
        return record;
    }

private slots:
    void init() {
        problem_.clear();
        ranges_.clear();
    }

    void ListsOneRowPerStoredErrorUpToTwenty() {
        for (auto [count, rows] : {std::pair{0, 0}, {3, 3}, {25, 20}, {-1, 0}}) {
            CSyncDlg dialog("a.mp3", RecordWith(count), Fake());
            QCOMPARE(dialog.List()->topLevelItemCount(), rows);  // rows for `count` errors
        }
        CSyncDlg dialog("a.mp3", RecordWith(25), Fake());
        QCOMPARE(dialog.List()->topLevelItem(19)->text(0), QString("20"));  // counted from 1
    }

    void PositionsAreWholeSecondsWithTenthsBelowTen() {
        CSyncDlg dialog("a.mp3", RecordWith(2, {65000, 5000}), Fake());
        QCOMPARE(dialog.List()->topLevelItem(0)->text(1), QString("00:01:05"));  // minutes carried
        QCOMPARE(dialog.List()->topLevelItem(1)->text(1), QString("00:00:05.0"));  // tenths
        QCOMPARE(CSyncDlg::PositionText(9999), QString("00:00:09.9"));   // truncated, not rounded
        QCOMPARE(CSyncDlg::PositionText(3723999), QString("01:02:03"));  // hours
        QCOMPARE(CSyncDlg::PositionText(-2500), QString("00:00:00.0"));  // clamped
    }

    void DoubleClickAndEnterPlaySixSecondsAroundTheError() {
        CSyncDlg dialog("a.mp3", RecordWith(2, {2000, 10000}), Fake());
        QVERIFY2(player_ == nullptr, "no player before the dialog opens");
        dialog.show();
        QVERIFY2(QTest::qWaitForWindowExposed(&dialog), "dialog shows");
        QVERIFY2(player_ != nullptr, "the player is made on opening");
        QTreeWidget* list = dialog.List();
        const QPoint first_row = list->visualItemRect(list->topLevelItem(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first_row);  // a press first
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first_row);
        list->setCurrentItem(list->topLevelItem(1));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(ranges_, (decltype(ranges_){{0, 6000}, {7000, 13000}}));  // 2 s and 10 s
        QVERIFY2(dialog.isVisible(), "Enter on a row plays it rather than closing");
        dialog.accept();
        QVERIFY2(player_ == nullptr, "the player is let go on closing");
    }

    void FailuresShowAnUncaptionedBoxAndKeepTheDialogOpen() {
        CSyncDlg dialog("a.mp3", RecordWith(1, {2000}), Fake());
        dialog.show();
        QString caption = "unset";
        test::OnNextModal([&caption](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                caption = box->windowTitle();
                box->done(0);
            }
        });
        test::MessageBoxWatch boxes;
        problem_ = kSyncNoAudioOutputMessage;
        dialog.Listen(0);
        QVERIFY2(caption.isEmpty(), "the box has no caption");
        QVERIFY2(ranges_.empty(), "nothing is played when the player has a problem");

        problem_.clear();  // a failure the player reports later, from its signal
        dialog.Listen(0);
        player_->on_failure("Unable to start playback...\n\nno decoder");
        QCOMPARE(boxes.shown.size(), 1);  // the second box waits for the signal to return
        QVERIFY2(QTest::qWaitFor([&] { return boxes.shown.size() == 2; }), "second box shows");
        QCOMPARE(boxes.shown, QStringList({kSyncNoAudioOutputMessage,  // each box's text
                                           "Unable to start playback...\n\nno decoder"}));
        QVERIFY2(dialog.isVisible(), "the dialog stays open");
    }

    void RealPlayerWithoutAudioOutputSaysSoAtOnce() {
#if defined(__SANITIZE_THREAD__)
        // GStreamer and the PulseAudio client run threads of their own that
        // are not built with the thread sanitizer; it reports their locks.
        QSKIP("the media backend's threads are not instrumented");
#endif
        if (!QMediaDevices::audioOutputs().isEmpty()) {
            QSKIP("this machine has an audio output");
        }
        CSyncDlg dialog(test::FixturePath("lame_notag_vbr_long.mp3"), RecordWith(1, {2000}));
        dialog.show();
        test::MessageBoxWatch boxes;
        QElapsedTimer clock;
        clock.start();
        dialog.Listen(0);
        QCOMPARE(boxes.shown, QStringList({kSyncNoAudioOutputMessage}));  // says why
        QVERIFY2(clock.elapsed() < 5000, "the answer comes without waiting on the player");
        QVERIFY2(dialog.isVisible(), "the dialog stays open");
    }
};

VANDREL_UI_TEST(SyncDlgTest);

}  // namespace vandrel

#include "SyncDlgTest.moc"
