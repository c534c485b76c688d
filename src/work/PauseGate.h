#pragma once

#include "work/Event.h"

namespace vandrel {

// Holds a worker while its owner has paused it: the owner pauses and resumes
// from its own thread, the worker waits at the gate on its thread.
class PauseGate {
public:
    void Pause() {
        paused_ = true;
        open_.Reset();
    }
    void Resume() {
        paused_ = false;
        open_.Set();
    }
    bool paused() const { return paused_; }
    // Blocks while paused.
    void WaitWhilePaused() const { open_.Wait(); }

private:
    bool paused_ = false;          // the owner's thread only
    ManualResetEvent open_{true};  // clear while paused
};

}  // namespace vandrel
