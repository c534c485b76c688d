#include "ui/browser/ListScanner.h"

#include <QMessageBox>

namespace vandrel {

ListScanner::ListScanner(ListListener& listener, QObject* parent)
    : QObject(parent), listener_(listener), target_(std::make_shared<QtMessageTarget>(this)),
      notifier_(std::make_shared<QtUserNotifier>()), worker_(std::make_unique<CListThread>()) {
    worker_->SetTarget(target_);
    worker_->SetNotifier(notifier_);
    worker_->Start();
}

ListScanner::~ListScanner() {
    target_->Detach();
    StopWorker();
}

void ListScanner::StopWorker() {
    AssertUiThread();
    try {
        worker_->Stop();
    } catch (const ThreadBlocked&) {
        QMessageBox::information(nullptr, QApplication::applicationDisplayName(),
                                 tr("List thread is blocked...\nThis is not normal behaviour! :("));
    }
}

void ListScanner::Send(ListJobBatch jobs, int frames, BatchWalk walk) {
    AssertUiThread();
    ++batch_tag_;
    if (!jobs.empty()) {
        Announce(details_paused_ ? ListBusy::kPaused : ListBusy::kScanning);
    }
    const BatchParam batch{frames, batch_tag_, walk == BatchWalk::kHeadersOnly};
    worker_->Post(Message(kMsgProcessBatch, batch.Encode(), std::move(jobs)));
}

void ListScanner::Interrupt() {
    worker_->Interrupt();
    Announce(ListBusy::kIdle);
}

void ListScanner::StopLoading() {
    if (busy_ != ListBusy::kIdle) {
        Interrupt();
        listener_.StatusText(kPaneMain, tr("Interrupted"));
    }
}

void ListScanner::TogglePause() {
    if (busy_ == ListBusy::kIdle) {
        return;
    }
    if (busy_ == ListBusy::kPaused) {
        // The user's word goes, also over a Details dialog's hold.
        user_paused_ = false;
        details_paused_ = false;
        Announce(ListBusy::kResumed);
    } else {
        user_paused_ = true;
        Announce(ListBusy::kPaused);
    }
}

void ListScanner::PauseForDetails(bool pause) {
    details_paused_ = pause;
    if (busy_ == ListBusy::kIdle) {
        ApplyPause();  // held for what comes, but idle, so the folder checks go on
    } else {
        Announce(details_paused_ || user_paused_ ? ListBusy::kPaused : ListBusy::kResumed);
    }
}

void ListScanner::Announce(ListBusy state) {
    busy_ = state;
    if (state == ListBusy::kIdle) {
        user_paused_ = false;  // a pause ends with the scan it held
    }
    ApplyPause();
    listener_.BusyState(state);
}

void ListScanner::ApplyPause() {
    // An interrupt lets the worker go; this holds it again where it must be.
    if (user_paused_ || details_paused_) {
        worker_->Pause();
    } else {
        worker_->Resume();
    }
}

bool ListScanner::event(QEvent* event) {
    if (!target_->IsWake(event)) {
        return QObject::event(event);
    }
    for (Message& message : target_->Take()) {
        Handle(message);
    }
    emit resultsHandled();
    return true;
}

void ListScanner::Handle(Message& message) {
    switch (message.id) {
    case kMsgItemDone: {
        const ItemDoneParam done = ItemDoneParam::Decode(message.wparam);
        auto* result = std::get_if<std::unique_ptr<ListResult>>(&message.payload);
        if (done.tag != batch_tag_ || result == nullptr) {
            return;  // a result of a batch that has since been replaced
        }
        if (done.last) {
            Announce(ListBusy::kIdle);
        }
        emit resultArrived(**result, done.last);
        break;
    }
    case kMsgStatusText:
        if (const auto* text = std::get_if<std::string>(&message.payload)) {
            listener_.StatusText(kPaneWorker, QString::fromStdString(*text));
        }
        break;
    default:
        break;
    }
}

}  // namespace vandrel
