#include "ui/browser/QtMessageTarget.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

namespace vandrel {

QEvent::Type WorkerEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void QtMessageTarget::Post(Message message) {
    std::lock_guard lock(mutex_);
    if (receiver_ != nullptr) {
        // Qt takes the event and discards it if the receiver goes first.
        QCoreApplication::postEvent(receiver_, new WorkerEvent(std::move(message)));
    }
}

void QtMessageTarget::Detach() {
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
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
