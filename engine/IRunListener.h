#pragma once

#include "engine/CTaskMessage.h"

namespace torvex {

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
};

} // namespace torvex
