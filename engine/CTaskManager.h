#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/CDownloadTask.h"
#include "engine/CLinkConversionQueue.h"
#include "engine/CTaskMessage.h"
#include "net/CHttpOptions.h"

namespace torvex {

class IPrompter;

// The commands that start a project.
enum class RunCommand : int {
    Start = 0,    // BackupLast as stored
    Update = 1,   // BackupLast off for this run
    Resume = 2,   // from the break point (or, with consent, by the link maps)
};

// Where a project stands, as the tree's icon shows it.
enum class ProjectRunState : int {
    Idle = 0,
    Running = 1,
    Waiting = 2,
};

// What the application settings give every run.
struct CRunOptions {
    int MaxRunningTask = 8;    // 1..8
    bool EndNotify = true;     // "Download finished!" after a finished run
    // The application's default proxy, copied over a project's when it uses the default.
    int Proxy = 0;
    std::string ProxyServer;
    int ProxyPort = 8080;
    std::string ProxyUser;
    std::string ProxyPassword;
    // Files of further trusted authorities for https.
    std::vector<std::string> TlsCaFiles;
};

// The front end's part around a run; every call comes on the front end's thread, from inside
// the task manager's methods. Default: nothing.
class ITaskManagerHooks {
public:
    virtual ~ITaskManagerHooks() = default;
    virtual void OnProjectState(const CProjectSettings* project, ProjectRunState state);
    // Every message of a task (Started .. StartPage), before the manager acts on it.
    virtual void OnTaskMessage(const CTaskMessage& message, CDownloadTask& task);
    // The queued break-point save of a stopped, limited or failed run: (0, range) when it
    // begins, then `position` of `range` entries written every 200 ms while it goes on, and
    // (range, range) when it is over.
    virtual void OnBreakPointProgress(CDownloadTask& task, int position, int range);
    // After every end message, once the record's index page has been made anew.
    virtual void GenerateIndexPage(CDownloadTask& task);
    // After an end message, when the record's links are to be converted: the manager queues
    // the conversion on its ConversionQueue() as soon as the task is gone (the conversion
    // needs the project's running lock), so a front end only shows its progress.
    virtual void ConvertLinks(CDownloadTask& task);
    // The last running task ended and none waits (end-of-download actions), before the end's
    // own message is shown. `runStartsConversion`: the end queued the conversion of its record
    // (ConversionQueue() is busy with it). True when the actions take over the end, so that
    // "Download finished!" is left out.
    virtual bool OnAllTasksEnded(bool runStartsConversion);
};

// What the main window does around runs, shared by the desktop program and torvex-cli: makes a
// task from a project (a run copy with the default proxy and the user-agent text), asks the
// resume questions, keeps the running and waiting lists under the limit of running tasks, and
// handles the task messages: the break point of an interrupted run, the files of a finished
// one, the messages to the user, and starting the next waiting task.
//
// Lives on the front end's thread and is called only there, and never blocks it for long: what
// follows an end message and touches the disk or waits for threads (joining the task's threads,
// the break-point save, the index page) runs on a thread of its own, which reports through the
// listener too (BreakPointProgress, EndWorkDone); the rest follows when EndWorkDone comes back.
// Until then the run still counts as running. Tasks report to the `listener` from their own
// threads; the front end hands each report back to HandleTaskMessage on its thread. Projects are
// known by the address of their settings (owned by the tree).
class CTaskManager {
public:
    CTaskManager(IRunPipeline& pipeline, IRunListener& listener, IPrompter& prompter,
                 ITaskManagerHooks* hooks = nullptr);
    // Stops every running task and waits for their threads and for the end work under way.
    ~CTaskManager();
    CTaskManager(const CTaskManager&) = delete;
    CTaskManager& operator=(const CTaskManager&) = delete;

    void SetOptions(const CRunOptions& options) { m_options = options; }
    const CRunOptions& Options() const { return m_options; }
    // Disk and clock for the tasks made from now on (tests); null means the system's.
    void SetFreeSpaceSource(IFreeSpaceSource* source) { m_freeSpace = source; }
    void SetClock(IClock* clock) { m_clock = clock; }

    // Makes a task for `project` and starts it, or puts it on the waiting list. False when the
    // project already runs or waits, or the task was dropped (the user said so, or nothing is
    // there to download; the user has been told).
    bool StartProject(const CProjectSettings& project, RunCommand command);
    // "Start All": Start for each project in turn.
    void StartAll(const std::vector<const CProjectSettings*>& projects);
    // A running task is asked to stop; a waiting one leaves the list.
    void StopProject(const CProjectSettings& project);
    // While held (dial-up runs), started projects wait; releasing starts the waiting ones up
    // to the limit.
    void HoldStarts(bool hold);
    bool StartsHeld() const { return m_hold; }

    // To be called on the front end's thread for every report the listener received. Reports
    // of a task that is gone are ignored.
    void HandleTaskMessage(const CTaskMessage& message);

    ProjectRunState StateOf(const CProjectSettings& project) const;
    CDownloadTask* TaskOf(const CProjectSettings& project) const;
    std::size_t RunningCount() const { return m_running.size(); }
    std::size_t WaitingCount() const { return m_waiting.size(); }
    // The running tasks, for the statistics the views show.
    std::vector<CDownloadTask*> RunningTasks() const;

    // The link conversions: those queued at the end of runs, and the front end's own commands.
    CLinkConversionQueue& ConversionQueue() { return m_conversions; }

private:
    struct Run {
        const CProjectSettings* project = nullptr;
        std::unique_ptr<CDownloadTask> task;
        // From the end message on: the message, the thread doing the end work, and the range
        // of the break-point save it runs (-1: none).
        std::optional<CTaskMessage> end;
        std::thread endWork;
        int saveRange = -1;
    };

    std::unique_ptr<CDownloadTask> MakeTask(const CProjectSettings& project, RunCommand command,
                                            RunMode mode) const;
    void LaunchRun(Run run);
    Run* FindRun(TaskId task);
    // The end message of `run`: the work on the end work's thread begins.
    void BeginEnd(Run& run, const CTaskMessage& end);
    // EndWorkDone: what is left of the end, on the front end's thread.
    void FinishEnd(Run& run);
    // Deletes the ended task; then queues `conversion` when given. True when it was the last
    // and the end-of-download actions leave out "Download finished!".
    bool EndRun(CDownloadTask *task, const CConversionJob *conversion = nullptr);
    void StartWaiting();

    IRunPipeline& m_pipeline;
    IRunListener& m_listener;
    IPrompter& m_prompter;
    ITaskManagerHooks m_noHooks;
    ITaskManagerHooks& m_hooks;
    IFreeSpaceSource* m_freeSpace = nullptr;
    IClock* m_clock = nullptr;
    CRunOptions m_options;
    bool m_hold = false;
    CLinkConversionQueue m_conversions;
    std::vector<Run> m_running;
    std::deque<Run> m_waiting;
};

} // namespace torvex
