#pragma once

#include <memory>
#include <mutex>

#include <QEvent>
#include <QObject>
#include <QPointer>

#include "work/Messages.h"

namespace vandrel {

// A worker's message on its way to a widget through Qt's event queue.
class WorkerEvent : public QEvent {
public:
    static QEvent::Type EventType();
    explicit WorkerEvent(Message message) : QEvent(EventType()), message_(std::move(message)) {}
    Message& message() { return message_; }

private:
    Message message_;
};

// Delivers worker messages to a QObject on its own thread. Detach() (from the
// receiver's destructor) makes later posts drop their messages, which then
// free what they carry.
class QtMessageTarget : public MessageTarget {
public:
    explicit QtMessageTarget(QObject* receiver) : receiver_(receiver) {}
    void Post(Message message) override;
    void Detach();

private:
    std::mutex mutex_;
    QObject* receiver_;  // guarded by mutex_
};

// Shows message boxes for workers on the user-interface thread.
class QtUserNotifier : public UserNotifier {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
};

// The engine's message texts use CR LF inside messages; widgets want plain line breaks.
QString MessageText(const std::string& text);

}  // namespace vandrel
