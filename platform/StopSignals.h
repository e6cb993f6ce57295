#pragma once

namespace torvex {

// How a front end learns that the user asked it to stop: a count that only grows, polled by
// the front end's main loop.
class IStopRequests {
public:
    virtual ~IStopRequests() = default;
    // Requests so far; any thread may ask.
    virtual int StopRequestCount() const = 0;
};

// Catches SIGINT (Ctrl-C) and SIGTERM for as long as the object lives and counts them instead
// of letting them end the process, so that a stopped run can still save what it needs; the
// signal handler only bumps a lock-free counter. One object per process, made and destroyed on
// the main thread; the previous handlers come back when it is destroyed.
class CStopSignals final : public IStopRequests {
public:
    CStopSignals();
    ~CStopSignals() override;
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    int StopRequestCount() const override;
};

// Whether standard error goes to a terminal (where a redrawn progress line makes sense).
bool StandardErrorIsTerminal();

} // namespace torvex
