#include "ui/common/QtMessageTarget.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

namespace vandrel {

QEvent::Type WorkerWakeEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void QtMessageTarget::Post(Message message) {
    std::lock_guard lock(mutex_);
    if (receiver_ == nullptr) {
        return;
    }
    waiting_.push_back(std::move(message));
    if (!woken_) {
        woken_ = true;
        // Qt discards the event if the receiver goes first.
        QCoreApplication::postEvent(receiver_, new WorkerWakeEvent);
    }
}

bool QtMessageTarget::IsWake(const QEvent* event) {
    std::lock_guard lock(mutex_);
    return event->type() == WorkerWakeEvent::EventType();
}

std::deque<Message> QtMessageTarget::Take() {
    AssertUiThread();
    std::deque<Message> taken;
    std::lock_guard lock(mutex_);
    woken_ = false;
    taken.swap(waiting_);
    return taken;
}

void QtMessageTarget::Detach() {
    std::deque<Message> dropped;
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
    dropped.swap(waiting_);
}

QString MessageText(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return out.trimmed();
}

void QtUserNotifier::ShowMessage(const std::string& text, const std::string& caption) {
    const QString body = MessageText(text);
    const QString title =
        caption.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(caption);
    auto show = [body, title] {
        QMessageBox::information(QApplication::activeWindow(), title, body);
    };
    if (QThread::currentThread() == qApp->thread()) {
        show();
    } else {
        QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
    }
}

}  // namespace vandrel
