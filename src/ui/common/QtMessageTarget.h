#pragma once

#include <deque>
#include <mutex>
#include <string>

#include <QEvent>
#include <QObject>
#include <QString>

#include "ui/common/UiThread.h"
#include "work/Messages.h"

namespace vandrel {

// Tells a receiver that worker messages wait in its QtMessageTarget.
class WorkerWakeEvent : public QEvent {
public:
    static QEvent::Type EventType();
    WorkerWakeEvent() : QEvent(EventType()) {}
};

// Delivers worker messages to a QObject on its own thread. A message waits in
// this target's queue and the receiver is woken by an event to take all that
// came; the queue's lock is the one hand-over between the threads. Detach()
// (from the receiver's destructor) drops what waits, and later posts drop
// their messages, which then free what they carry.
class QtMessageTarget : public MessageTarget {
public:
    explicit QtMessageTarget(QObject* receiver) : receiver_(receiver) {}
    void Post(Message message) override;
    // On the receiver's thread: whether the event is this target's wake-up.
    // The event was made on the worker's thread; it is looked at only under
    // the lock it was posted under, the hand-over that makes it ours.
    bool IsWake(const QEvent* event);
    // On the receiver's thread, when woken: the messages in the order posted.
    std::deque<Message> Take();
    void Detach();
    // How many messages wait to be taken.
    size_t waiting() {
        std::lock_guard lock(mutex_);
        return waiting_.size();
    }

private:
    std::mutex mutex_;
    QObject* receiver_;            // guarded by mutex_
    std::deque<Message> waiting_;  // guarded by mutex_
    bool woken_ = false;           // guarded by mutex_: a wake event is on its way
};

// Shows message boxes for workers on the user-interface thread.
class QtUserNotifier : public UserNotifier {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
};

// The engine's message texts use CR LF inside messages; widgets want plain line breaks.
QString MessageText(const std::string& text);

}  // namespace vandrel
