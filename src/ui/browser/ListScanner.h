#pragma once

#include <cstdint>
#include <memory>

#include <QObject>

#include "ui/browser/BrowserTypes.h"
#include "ui/common/QtMessageTarget.h"
#include "work/ListThread.h"

namespace vandrel {

class ListListener;

// The file list's side of its worker: sends batches, hands on the results of
// the latest one and the worker's status texts, and keeps the busy state that
// the frame shows in step with
// what the worker does: paused only while a scan runs and something holds it
// (the Pause button, or a Details dialog), idle once nothing is in hand.
class ListScanner : public QObject {
    Q_OBJECT
public:
    explicit ListScanner(ListListener& listener, QObject* parent = nullptr);
    // Stops the worker, when StopWorker has not.
    ~ListScanner() override;

    void SetOptions(const ListWorkerOptions& options) { worker_->SetOptions(options); }
    // Replaces whatever was sent before: results of earlier batches are
    // dropped from now on. An empty batch leaves the list idle. `frames` is
    // how many each file's scan reads, 0 for all.
    void Send(ListJobBatch jobs, int frames, BatchWalk walk);
    // Makes the worker drop what it has (a refill, Esc); the list is idle then.
    void Interrupt();
    // Drops the results still on their way, as when the rows went.
    void Forget() { ++batch_tag_; }
    // Ends the worker; says so in a message box when it is stuck.
    void StopWorker();

    // Esc: says "Interrupted" when something was being read.
    void StopLoading();
    // The toolbar's Pause button: pause, or resume a paused scan.
    void TogglePause();
    // Holds the worker while a Details dialog scans.
    void PauseForDetails(bool pause);
    // The list's own word that nothing more is to come.
    void SetIdle() { Announce(ListBusy::kIdle); }

    ListBusy busy() const { return busy_; }
    // Whether a Details dialog holds the worker.
    bool details_paused() const { return details_paused_; }
    // Whether the worker is held now.
    bool held() const { return worker_->suspended(); }
    uint8_t batch_tag() const { return batch_tag_; }
    QtMessageTarget& target() { return *target_; }

signals:
    // A file of the latest batch is done; `last` when it ended the batch (the
    // list is idle by then).
    void resultArrived(ListResult& result, bool last);
    // Every message of a wake was handed on.
    void resultsHandled();

protected:
    bool event(QEvent* event) override;

private:
    void Handle(Message& message);
    void Announce(ListBusy state);
    void ApplyPause();

    ListListener& listener_;
    std::shared_ptr<QtMessageTarget> target_;
    std::shared_ptr<QtUserNotifier> notifier_;
    std::unique_ptr<CListThread> worker_;
    uint8_t batch_tag_ = 0;
    ListBusy busy_ = ListBusy::kIdle;
    bool user_paused_ = false;     // Pause pressed during this scan
    bool details_paused_ = false;  // a Details dialog is scanning
};

}  // namespace vandrel
