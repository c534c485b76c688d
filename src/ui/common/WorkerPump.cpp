#include "ui/common/WorkerPump.h"

#include <deque>
#include <iterator>
#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>

#include "ui/common/QtMessageTarget.h"
#include "ui/common/UiThread.h"

namespace vandrel {

WorkerPump::WorkerPump(Handler handle)
    : handle_(std::move(handle)), target_(std::make_shared<QtMessageTarget>(this)) {
    AssertUiThread();
}

WorkerPump::~WorkerPump() {
    Detach();
}

std::shared_ptr<MessageTarget> WorkerPump::target() const {
    return target_;
}

void WorkerPump::Drop() {
    AssertUiThread();
    target_->Take();
}

void WorkerPump::Detach() {
    target_->Detach();
}

bool WorkerPump::event(QEvent* event) {
    if (target_->IsWake(event)) {
        Pump();
        return true;
    }
    return QObject::event(event);
}

void WorkerPump::Pump() {
    AssertUiThread();
    std::deque<Message> messages = target_->Take();
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        const auto next = std::next(it);
        if (newest_only_ && it->id == *newest_only_ && next != messages.end() &&
            next->id == *newest_only_) {
            continue;
        }
        if (!handle_(*it)) {
            return;  // what the rest carries is freed here
        }
    }
}

void ShowWorkerNotice(NoticeKind kind, const QString& text, QWidget* parent) {
    const bool error = kind == NoticeKind::kError;
    auto* box = new QMessageBox(error ? QMessageBox::Critical : QMessageBox::Information,
                                error ? QCoreApplication::translate("WorkerPump", "Error")
                                      : QCoreApplication::translate("WorkerPump", "FYI"),
                                text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace vandrel
