#pragma once

#include <atomic>
#include <thread>

namespace torvex {

// How a front end learns that the user asked it to stop: a count that only grows, polled by
// the front end's main loop.
class IStopRequests {
public:
    virtual ~IStopRequests() = default;
    // Requests so far; any thread may ask.
    virtual int StopRequestCount() const = 0;
};

// Takes SIGINT (Ctrl-C) and SIGTERM away from their default action for as long as the process
// runs and counts them instead, so that a stopped run can still save what it needs. The two
// signals are blocked in the calling thread, and so in every thread started after it, and one
// thread of this object waits for them; no other thread is ever interrupted by them (a blocking
// socket wait would otherwise fail with EINTR and look like a network error).
//
// Make it on the main thread before any other thread starts; one object per process. The
// signals stay blocked after it is destroyed, so a request that comes while the program ends
// cannot cut the end short.
class CStopSignals final : public IStopRequests {
public:
    CStopSignals();
    ~CStopSignals() override;
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    int StopRequestCount() const override { return m_count.load(); }

private:
    void WaitForSignals();

    std::atomic<int> m_count{0};
    std::atomic<bool> m_quit{false};
    std::thread m_waiter;
};

// Whether standard error goes to a terminal (where a redrawn progress line makes sense).
bool StandardErrorIsTerminal();
// The width of the terminal that standard error goes to, in columns: what the terminal says,
// else the COLUMNS variable, else 80. Asked anew on every call, so a resized window counts.
int StandardErrorColumns();

} // namespace torvex
