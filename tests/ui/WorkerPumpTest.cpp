#include "ui/common/WorkerPump.h"

#include <thread>

#include <QCoreApplication>
#include <QStringList>
#include <QTest>
#include <QThread>

#include "UiTest.h"

namespace vandrel {

namespace {

// What a pump handed on: each message as its id's letter and its word
// ("p1" for progress 1, "r2" for record 2), "!" after one that came on
// another thread than the user interface's.
class Handed {
public:
    WorkerPump::Handler Handler(uint64_t stop_at = 0) {
        return [this, stop_at](Message& message) {
            const QString letter = message.id == kMsgRecordCopy ? "r" : "p";
            const bool on_ui = QThread::currentThread() == qApp->thread();
            texts_.push_back(letter + QString::number(message.wparam) + (on_ui ? "" : "!"));
            return message.wparam != stop_at;
        };
    }
    QString Text() const { return texts_.join(' '); }

private:
    QStringList texts_;
};

// Delivers the wake-up the posts left for the pump, as the event loop would.
void Deliver(WorkerPump& pump) {
    QCoreApplication::sendPostedEvents(&pump);
}

}  // namespace

class WorkerPumpTest : public QObject {
    Q_OBJECT

private slots:
    void HandsOnInOrderOnTheUiThreadUntilTheHandlerStops() {
        Handed handed;
        WorkerPump pump(handed.Handler(2));
        std::thread worker([target = pump.target()] {
            for (const uint64_t word : {1, 2, 3}) {
                target->Post(Message(kMsgProgress, word));
            }
        });
        worker.join();
        Deliver(pump);
        QVERIFY2(handed.Text() == "p1 p2", qPrintable("first batch: " + handed.Text()));
        // What comes later is a batch of its own.
        pump.target()->Post(Message(kMsgProgress, 4));
        Deliver(pump);
        QVERIFY2(handed.Text() == "p1 p2 p4", qPrintable("second batch: " + handed.Text()));
    }

    void KeepsOnlyTheNewestOfSnapshotsThatCameOneAfterAnother() {
        Handed handed;
        WorkerPump pump(handed.Handler());
        pump.KeepNewestOnly(kMsgRecordCopy);
        for (const auto& [id, word] : {std::pair{kMsgRecordCopy, 1},
                                       {kMsgRecordCopy, 2},
                                       {kMsgProgress, 3},
                                       {kMsgRecordCopy, 4},
                                       {kMsgRecordCopy, 5}}) {
            pump.target()->Post(Message(id, static_cast<uint64_t>(word)));
        }
        Deliver(pump);
        QVERIFY2(handed.Text() == "r2 p3 r5", qPrintable("handed on: " + handed.Text()));
    }

    void DroppedOrDetachedMessagesNeverArrive() {
        Handed handed;
        WorkerPump pump(handed.Handler());
        // Dropped before the wake-up came.
        pump.target()->Post(Message(kMsgProgress, 1));
        pump.Drop();
        Deliver(pump);
        QVERIFY2(handed.Text().isEmpty(), qPrintable("after the drop: " + handed.Text()));
        // Posted after the drop: handed on.
        pump.target()->Post(Message(kMsgProgress, 2));
        Deliver(pump);
        QVERIFY2(handed.Text() == "p2", qPrintable("after a new post: " + handed.Text()));
        // Posted after the detach: never handed on.
        pump.Detach();
        pump.target()->Post(Message(kMsgProgress, 3));
        Deliver(pump);
        QVERIFY2(handed.Text() == "p2", qPrintable("after the detach: " + handed.Text()));
    }
};

VANDREL_UI_TEST(WorkerPumpTest);

}  // namespace vandrel

#include "WorkerPumpTest.moc"
