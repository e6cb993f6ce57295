#pragma once

#include <cstdint>
#include <variant>

#include "engine/RunEndCode.h"

namespace torvex {

// Names a task in the reports about it. Unique for the life of the process, so a report that
// arrives after its task was deleted finds nothing instead of another task at the same address.
using TaskId = std::uint64_t;

// The reports of a run, numbered as the front ends and records know them.
enum class TaskMessage : int {
    Started = 1224,       // sent by StartThread after the record header
    Stopped = 1226,       // ended with status 2
    Finished = 1227,      // ended with status 3
    Error = 1228,         // ended with status 5; payload: the end code
    Limit = 1229,         // ended with status 4; payload: the end code
    StartFailed = 1230,   // could not start; payload: the start failure
    StartPage = 1231,     // the local start page became known
    // The task manager's own, from the work it does after an end message off the front end's
    // thread (the break-point save, the index page, joining the task's threads).
    BreakPointProgress = 1240,   // payload: entries written of those pending (every 200 ms)
    EndWorkDone = 1241,          // the end work is over; the task can go at once
};

// How far the break-point save of an ended run has come.
struct CSaveProgress {
    int position = 0;
    int range = 0;
    bool operator==(const CSaveProgress&) const = default;
};

// One report: what happened to which task, and what goes with it. A plain value that the front
// end may copy into its own queue.
struct CTaskMessage {
    TaskMessage message = TaskMessage::Started;
    TaskId task = 0;
    std::variant<std::monostate, RunEndCode, CSaveProgress> payload;

    // The end code of Error and Limit, the start failure of StartFailed; None for the others.
    RunEndCode Code() const;
    // The progress of BreakPointProgress; zeros for the others.
    CSaveProgress Progress() const;
    // Stopped, Finished, Error, Limit or StartFailed: the task will report nothing more.
    bool IsEnd() const;
};

} // namespace torvex
