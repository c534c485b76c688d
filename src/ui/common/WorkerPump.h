#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "work/Messages.h"

class QEvent;
class QWidget;

namespace vandrel {

class QtMessageTarget;

// Brings what a window's workers post to the window, on the user-interface
// thread. The workers post to target(); the pump is woken on the window's
// thread, takes all that came and hands each message to `handle` in the
// order posted. `handle` answers false to drop the rest of what came (the
// window is done with its worker). A window keeps its pump as a member and
// detaches it first thing in its destructor. GUI thread only.
class WorkerPump : public QObject {
public:
    using Handler = std::function<bool(Message& message)>;

    explicit WorkerPump(Handler handle);
    ~WorkerPump() override;
    WorkerPump(const WorkerPump&) = delete;
    WorkerPump& operator=(const WorkerPump&) = delete;

    std::shared_ptr<MessageTarget> target() const;
    // Messages of this id are snapshots of one growing result: of several
    // that came one after another only the last is handed on.
    void KeepNewestOnly(uint32_t message_id) { newest_only_ = message_id; }
    // Drops what waits, unhandled: what a cancelled worker left there.
    void Drop();
    // Nothing posted from now on reaches the handler, and what waits is dropped.
    void Detach();

protected:
    bool event(QEvent* event) override;

private:
    void Pump();

    Handler handle_;
    std::optional<uint32_t> newest_only_;
    std::shared_ptr<QtMessageTarget> target_;
};

// Shows a worker's notice without a loop of its own, so that the work goes
// on and the box may outlive the dialog it came from: an error box titled
// "Error" or an information box titled "FYI", owned by `parent`.
void ShowWorkerNotice(NoticeKind kind, const QString& text, QWidget* parent);

}  // namespace vandrel
