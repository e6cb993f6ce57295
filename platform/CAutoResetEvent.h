#pragma once

#include <condition_variable>
#include <mutex>

namespace torvex {

// An auto-reset event: Signal() leaves the event set until exactly one waiter takes it, which
// resets it. A signal given while nobody waits is kept, so a hand-over is never lost; several
// signals before a wait count as one. Any thread may signal or wait; the owner (a run) outlives
// every thread that uses it.
class CAutoResetEvent {
public:
    CAutoResetEvent() = default;
    CAutoResetEvent(const CAutoResetEvent&) = delete;
    CAutoResetEvent& operator=(const CAutoResetEvent&) = delete;

    void Signal();
    // Waits without time-out and takes the signal.
    void Wait();
    // Waits at most `milliseconds`; true when the signal was taken, false on time-out.
    bool WaitFor(int milliseconds);

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_set = false;
};

} // namespace torvex
