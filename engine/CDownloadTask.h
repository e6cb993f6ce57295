#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine/BreakPoint.h"
#include "engine/CFailureList.h"
#include "engine/CSeenSet.h"
#include "engine/CStatusLog.h"
#include "engine/CUrlQueue.h"
#include "engine/CTaskMessage.h"
#include "engine/CWorkerSlot.h"
#include "engine/ProjectLog.h"
#include "engine/RunEndCode.h"
#include "platform/CAutoResetEvent.h"
#include "platform/ProjectLock.h"
#include "project/CProjectPaths.h"
#include "project/CProjectSettings.h"
#include "url/CUrlEntry.h"

namespace torvex {

class IClock;
class IFreeSpaceSource;
class IRunListener;
class IRunPipeline;

// What a pipeline keeps for one run beyond the task's own state (link rules, request options,
// cookies): made on first use and owned by the task, so it lives exactly as long as the run.
class CTaskPipelineData {
public:
    virtual ~CTaskPipelineData() = default;
};

constexpr int kWorkerSlots = 50;
// Threads that read stored pages for their links at most (ParseThread and its helper).
constexpr int kParseSlots = 2;
constexpr int kRecordNameSlots = 10;
constexpr std::size_t kMaxRecordName = 11;
constexpr std::int64_t kBytesPerMegabyte = 1048576;
constexpr int kMonitorPassMs = 200;
constexpr int kFlushEveryPasses = 300;

// How a run begins.
enum class RunMode : std::int16_t {
    Fresh = 0,             // Start or Update
    ResumeBreakPoint = 1,  // Resume from the break-point file and the seen set
    ResumeLinkMaps = 2,    // Resume by re-reading the link maps of stored pages
};

// What the task uses from outside: where it reports, the per-entry work, and the disk and clock
// (the system's unless a test gives fakes). None is owned; all outlive the task.
struct CTaskEnvironment {
    IRunListener* listener = nullptr;
    IRunPipeline* pipeline = nullptr;
    IFreeSpaceSource* freeSpace = nullptr;   // null: the system's
    IClock* clock = nullptr;                 // null: the system's
};

// The counters of a run: 32-bit, written by the run's threads and read by the main window's
// timers without locks.
struct CTaskCounters {
    std::atomic<std::int32_t> TotalFiles{0};    // files of the record, copies included
    std::atomic<std::int32_t> Downloaded{0};    // fetched from the network in this record
    std::atomic<std::int32_t> FilesThisRun{0};  // fetched since this start (MaxFile)
    std::atomic<std::int32_t> Passed{0};        // taken over without a download
};

// Flags read and written without locks.
struct CTaskFlags {
    std::atomic<bool> Stopping{false};
    std::atomic<int> ParseBusy{0};   // parse threads at work on the parse queue
    std::atomic<bool> DispatchBusy{false};
    std::atomic<bool> CopyBusy{false};
    std::atomic<bool> MonitorRunning{false};   // the Stop command is offered from then on
    std::atomic<bool> NeedsConversion{false};
    std::atomic<bool> HasRenamedFile{false};
};

// A copy of what a task shows, taken in one call: each part is read under the task's own rule
// for it (counters and flags as atomics that may be one step old, Status with its end code as
// one pair, each slot under its lock, the start page under its lock), so the copy is safe to
// take from any thread while the run goes on, and to keep after the task is gone.
struct CTaskSnapshot {
    TaskId id = 0;
    TaskStatus status = TaskStatus::None;
    RunEndCode endCode = RunEndCode::None;
    RunMode mode = RunMode::Fresh;
    std::int64_t recordTime = -1;
    std::int64_t startTime = -1;
    std::int64_t endTime = -1;
    std::int64_t elapsedTime = 0;
    std::string startPage;
    std::int32_t totalFiles = 0;
    std::int32_t downloaded = 0;
    std::int32_t filesThisRun = 0;
    std::int32_t passed = 0;
    std::int32_t discoveredQueue = 0;
    std::int32_t downloadQueue = 0;
    std::int32_t parseQueue = 0;
    std::int32_t copyQueue = 0;
    std::int64_t receivedBytes = 0;
    std::vector<CSlotView> slots;   // the used slots, in slot order
    bool stopping = false;
    bool monitorRunning = false;    // the Stop command is offered
    bool ended = false;             // the end message or the start failure has been given
    bool needsConversion = false;
    bool hasRenamedFile = false;
};

// One run of a project: its private settings, the paths of the record "latest", four queues,
// the table of 50 worker slots, the counters, and the events and locks that tie the threads
// together. Created on the heap by the task manager on the front end's thread, started with
// Launch(), and deleted there after its end message (or start failure) has been handled; the
// destructor joins every thread the task started.
//
// Threads: StartThread (short-lived), MonitorThread, and through the pipeline DispatchThread,
// ParseThread, CopyThread and up to 50 download workers. Queues, status log and seen set lock
// themselves; counters, flags and slot states are atomics that readers may see one step late.
class CDownloadTask {
public:
    // `settings` is the run's copy (CopyForRun, proxy and user agent already resolved).
    CDownloadTask(const CProjectSettings& settings, RunMode mode, CTaskEnvironment environment);
    ~CDownloadTask();
    CDownloadTask(const CDownloadTask&) = delete;
    CDownloadTask& operator=(const CDownloadTask&) = delete;

    // --- Commands of the front end ---
    // Starts StartThread (below normal priority).
    void Launch();
    // The user's stop: every used slot is told to abort, Stopping is set, Status becomes 2.
    void RequestStop();
    // As RequestStop with the given status and code; the last call before the end wins.
    void StopTask(TaskStatus status, RunEndCode code);
    // "Stop this thread" (`stopThread`) or "Abort downloading the current file" for one slot.
    // Blocks at most about a second, for a worker that is resolving a name. A worker still in
    // its lookup then is left to end by itself; for the abort of its file the monitor gives the
    // slot a fresh worker once it has gone.
    void StopWorker(int slotIndex, bool stopThread);
    // Waits until every thread the task started has ended, and joins them (the destructor does
    // it too). For a task that has given its end message (or start failure) this returns as
    // soon as those threads have left their last steps; on another thread it stops the task
    // first. Called by one thread at a time, never by a thread of the task.
    void JoinThreads();

    // --- Thread procedures (run on the task's own threads) ---
    void StartThread();
    void MonitorThread();

    // --- What the threads of the run share ---
    const CProjectSettings& Settings() const { return m_settings; }
    // Only for StartThread's seeding, before any other thread of the run exists (it removes
    // start addresses that duplicate earlier ones).
    CProjectSettings& MutableSettings() { return m_settings; }
    // The pipeline's data for this run, made by `make` on the first call (any thread).
    template <typename Make>
    CTaskPipelineData& PipelineData(Make make) {
        std::lock_guard<std::mutex> guard(m_pipelineDataLock);
        if (!m_pipelineData) {
            m_pipelineData = make();
        }
        return *m_pipelineData;
    }
    const std::string& UserAgent() const { return m_userAgent; }
    void SetUserAgent(std::string_view userAgent);
    // Files of further trusted authorities for https (the application's setting); set before
    // Launch and only read afterwards.
    const std::vector<std::string>& TlsCaFiles() const { return m_tlsCaFiles; }
    void SetTlsCaFiles(std::vector<std::string> files) { m_tlsCaFiles = std::move(files); }
    // What the failure that ended the run said about itself (the reason a secure connection
    // failed), for the end message; empty for other ends. Any thread.
    std::string EndDetail() const;
    // Sets the end detail and stops the task with `code` (as StopTask).
    void FailWithDetail(RunEndCode code, std::string_view detail);
    const std::string& ProjectDir() const { return m_settings.ProjectDir; }
    const CProjectPaths& Paths() const { return m_paths; }
    RunMode Mode() const { return m_runMode; }
    IRunPipeline& Pipeline() { return *m_environment.pipeline; }
    IClock& Clock() { return *m_clock; }

    CUrlQueue& DiscoveredQueue() { return m_discovered; }
    CUrlQueue& DownloadQueue() { return m_download; }
    CUrlQueue& ParseQueue() { return m_parse; }
    CUrlQueue& CopyQueue() { return m_copy; }
    const CUrlQueue& DiscoveredQueue() const { return m_discovered; }
    const CUrlQueue& DownloadQueue() const { return m_download; }
    const CUrlQueue& ParseQueue() const { return m_parse; }
    const CUrlQueue& CopyQueue() const { return m_copy; }

    CWorkerSlot& Slot(int index) { return m_slots[static_cast<std::size_t>(index)]; }
    const CWorkerSlot& Slot(int index) const { return m_slots[static_cast<std::size_t>(index)]; }
    // The first DownthreadNum slots are used.
    int UsedSlots() const { return m_usedSlots; }

    // The entry each parse thread works on (written into the break point when the task ends);
    // `slot` is the thread's, 0 to kParseSlots - 1.
    void SetParseEntry(const CUrlEntry& entry, int slot = 0);
    void ClearParseEntry(int slot = 0);
    CUrlEntry ParseEntry(int slot = 0) const;
    // The break point as saved so far (BreakPoint.h).
    CBreakPointDraft& BreakPointDraft() { return m_breakPointDraft; }

    CAutoResetEvent& DispatchWork() { return m_dispatchWork; }
    CAutoResetEvent& ParseWork() { return m_parseWork; }
    CAutoResetEvent& CopyWork() { return m_copyWork; }
    CAutoResetEvent& WorkersWork() { return m_workersWork; }

    CTaskCounters counters;
    // Body and header bytes received by this run's workers (the speed display samples it).
    std::atomic<std::int64_t> receivedBytes{0};
    CTaskFlags flags;

    // The seen set of the latest record: 1 new, 0 seen before, -1 error (end code 206 follows
    // for the caller).
    int MarkSeen(const CUrlEntry& entry);
    CSeenSet& SeenSet() { return m_seenSet; }
    // Writes or rewrites the entry's status-log line (LogLock inside); a line that cannot be
    // written ends the run with the temporary-file error (206).
    void WriteStatusLine(CUrlEntry& entry);
    CStatusLog& StatusLog() { return m_statusLog; }

    // Record names searched for older copies: slot 0 is "latest", 1..9 the newest backups.
    const std::array<std::string, kRecordNameSlots>& RecordNames() const { return m_recordNames; }
    void SetRecordName(int slot, std::string_view name);

    // A worker stored a file: the counters grow (TotalFiles unless the file was counted in an
    // earlier run), the first start address records its start page, and MaxFile may end the run.
    void FileStored(const CUrlEntry& entry, bool alreadyCounted);
    // The run gave up on the entry (its tries spent, a definitive answer, an address that cannot
    // be stored): it goes on the run's failure list with the last failure's operation and code
    // (`reason` in words, or empty for the usual text of the two) and is reported as failed.
    // Each address is listed once per run, with the first reason given.
    void FileFailed(const CUrlEntry& entry, std::string_view operation, int code,
                    std::string reason = {});
    void FileFailed(std::string_view urlText, std::string_view operation, int code,
                    std::string reason = {});
    // The run's failure list (opened by StartThread).
    const CFailureList& Failures() const { return m_failures; }
    // StartPage := the entry's local directory, file name and extension; appended to
    // project.log and reported with message 1231.
    void RecordStartPage(const CUrlEntry& entry);
    std::string StartPage() const;

    // Someone went idle: the monitor looks at once whether the run has drained, instead of at
    // its next pass.
    void NudgeMonitor() { m_monitorWake.Signal(); }
    // Reports to the front end; `code` goes with Error, Limit and StartFailed.
    void Post(TaskMessage message, RunEndCode code = RunEndCode::None);

    // --- State read by the front end ---
    TaskId Id() const { return m_id; }
    CTaskSnapshot Snapshot() const;
    TaskStatus Status() const { return static_cast<TaskStatus>(m_status.load()); }
    RunEndCode EndCode() const { return static_cast<RunEndCode>(m_endCode.load()); }
    std::int64_t RecordTime() const { return m_recordTime.load(); }
    std::int64_t StartTime() const { return m_startTime.load(); }
    std::int64_t EndTime() const { return m_endTime.load(); }
    std::int64_t ElapsedTime() const { return m_elapsedTime.load(); }
    // The task's record values (as written to project.log).
    CRecordInfo RecordValues() const;
    // True once the end message or the start failure has been given.
    bool HasEnded() const { return m_ended.load(); }

    // Before Launch (resume): the counters and record time continue from the latest section.
    void SetElapsedTime(std::int64_t seconds) { m_elapsedTime = seconds; }

private:
    void RunStart();
    bool EnoughFreeSpace(bool& known);
    void FailStart(RunEndCode code);
    void FailWithTempFileError();
    void WorkOutStartPage();
    void StartRunThreads();
    void LaunchWorker(int slotIndex);
    void WaitWorkerGone(int slotIndex);
    void RestartAbortedWorkers();
    bool AllDrained() const;
    void RewriteReceivingLines();
    void EndSequence();
    void SetStop(TaskStatus status, RunEndCode code, bool setCode);

    const TaskId m_id;
    CProjectSettings m_settings;
    std::string m_userAgent;
    std::vector<std::string> m_tlsCaFiles;
    mutable std::mutex m_endDetailLock;
    std::string m_endDetail;   // guarded by m_endDetailLock
    CProjectPaths m_paths;
    RunMode m_runMode;
    CTaskEnvironment m_environment;
    IFreeSpaceSource* m_freeSpace;
    IClock* m_clock;
    int m_usedSlots;

    CUrlQueue m_discovered;
    CUrlQueue m_download;
    CUrlQueue m_parse;
    CUrlQueue m_copy;
    std::array<CWorkerSlot, kWorkerSlots> m_slots;
    std::array<std::thread, kWorkerSlots> m_workerThreads;
    std::mutex m_workerLock;   // serialises StopWorker and worker (re)starts
    // Slots whose worker was told to abort its file while it was stuck in a name lookup: the
    // monitor starts a fresh worker there once the old one has gone (under m_workerLock).
    std::array<bool, kWorkerSlots> m_restartWanted{};

    mutable std::mutex m_parseEntryLock;
    std::array<CUrlEntry, kParseSlots> m_parseEntries;
    CBreakPointDraft m_breakPointDraft;
    std::mutex m_failedUrlsLock;
    std::unordered_set<std::string> m_failedUrls;   // the addresses listed as failed

    CSeenSet m_seenSet;
    CStatusLog m_statusLog;
    CFailureList m_failures;
    std::mutex m_recordLock;   // RecordLock: project.log rewrites
    std::array<std::string, kRecordNameSlots> m_recordNames;

    CAutoResetEvent m_dispatchWork;
    CAutoResetEvent m_parseWork;
    CAutoResetEvent m_copyWork;
    CAutoResetEvent m_workersWork;
    CAutoResetEvent m_dispatchDone;
    CAutoResetEvent m_parseDone;
    CAutoResetEvent m_copyDone;
    CAutoResetEvent m_monitorWake;   // cuts the monitor's 200 ms pause short on a stop

    mutable std::mutex m_stopLock;   // keeps Status and the end code one pair
    std::atomic<int> m_status{static_cast<int>(TaskStatus::None)};
    std::atomic<int> m_endCode{0};
    std::atomic<bool> m_ended{false};
    bool m_frozen = false;   // the end sequence has read Status and code (under m_stopLock)

    std::atomic<std::int64_t> m_recordTime{-1};
    std::atomic<std::int64_t> m_startTime{-1};
    std::atomic<std::int64_t> m_endTime{-1};
    std::atomic<std::int64_t> m_elapsedTime{0};
    mutable std::mutex m_startPageLock;
    std::string m_startPage;

    // Held from the start of the run until the task is deleted (after the front end handled
    // its end), so every copy of the program sees the project as running meanwhile.
    ProjectLock m_projectLock;

    std::mutex m_pipelineDataLock;
    std::unique_ptr<CTaskPipelineData> m_pipelineData;
    std::thread m_startThread;
    std::thread m_monitorThread;
    std::thread m_dispatchThread;
    std::thread m_parseThread;
    std::thread m_copyThread;
    bool m_helpersStarted = false;
};

} // namespace torvex
