#pragma once

#include <cstdint>
#include <string>

#include "engine/CTaskMessage.h"

namespace torvex {

// What became of one file of a run.
struct CFileReport {
    TaskId task = 0;
    bool failed = false;
    std::string url;          // the entry's URL text
    std::int64_t bytes = 0;   // fetched: the size stored
    std::string reason;       // failed: why, in words
};

// Where a task reports. The task calls it from its own threads (StartThread, a worker, the copy
// thread, MonitorThread), and the task manager from the thread that does its end work; the
// front end turns each call into work on its own thread (the GUI a queued call, the CLI an event
// for its main loop). "Sent" messages are calls that return after the listener handled them;
// the others may be queued. After the end message (Stopped..Limit) or StartFailed the task
// itself calls nothing more.
class IRunListener {
public:
    virtual ~IRunListener() = default;
    virtual void OnTaskMessage(const CTaskMessage& message) = 0;
    // One file of a run fetched, or given up and put on the run's failure list; called by the
    // task's workers as it happens, for a log of the run's files. Default: nothing.
    virtual void OnFileReport(const CFileReport& report);
};

} // namespace torvex
