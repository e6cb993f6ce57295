#pragma once

namespace torvex {

class CDownloadTask;

// The numbers of the task messages, kept as the front ends and records know them.
constexpr int WM_TASK_STARTED = 1224;        // sent by StartThread after the record header
constexpr int WM_TASK_STOPPED = 1226;        // ended with status 2
constexpr int WM_TASK_FINISHED = 1227;       // ended with status 3
constexpr int WM_TASK_ERROR = 1228;          // ended with status 5; code: the end code
constexpr int WM_TASK_LIMIT = 1229;          // ended with status 4; code: the end code
constexpr int WM_TASK_START_FAILED = 1230;   // could not start; code: the start failure
constexpr int WM_TASK_START_PAGE = 1231;     // the local start page became known

// Where a task reports. The task calls it from its own threads (StartThread, a worker, the copy
// thread, MonitorThread); the front end turns each call into work on its own thread (the GUI a
// queued call, the CLI an event for its main loop). "Sent" messages are calls that return after
// the listener handled them; the others may be queued. After the end message (1226..1229) or
// 1230 the task calls nothing more, and the front end may delete the task once it has handled
// that message on its own thread.
class IRunListener {
public:
    virtual ~IRunListener() = default;
    virtual void OnTaskMessage(int message, CDownloadTask* task, int code) = 0;
};

} // namespace torvex
