#include "engine/CDownloadTask.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "base/BoundedText.h"
#include "engine/BreakPoint.h"
#include "engine/FindLine.h"
#include "engine/IRunListener.h"
#include "engine/IRunPipeline.h"
#include "engine/StatusLine.h"
#include "engine/TryFailure.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/FreeSpace.h"
#include "platform/ThreadStart.h"
#include "url/CUrl.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

TaskId NextTaskId() {
    static std::atomic<TaskId> last{0};
    return last.fetch_add(1) + 1;
}

} // namespace

CDownloadTask::CDownloadTask(const CProjectSettings& settings, RunMode mode,
                             CTaskEnvironment environment)
    : m_id(NextTaskId()),
      m_settings(settings),
      m_paths(SetRecord(settings.ProjectDir, kLatestRecordName)),
      m_runMode(mode),
      m_environment(environment),
      m_freeSpace(environment.freeSpace ? environment.freeSpace : &SystemFreeSpace()),
      m_clock(environment.clock ? environment.clock : &SystemClock()),
      m_usedSlots(std::clamp(settings.DownthreadNum, 1, kWorkerSlots)) {
    m_recordNames[0] = std::string(kLatestRecordName);
}

CDownloadTask::~CDownloadTask() { JoinThreads(); }

void CDownloadTask::JoinThreads() {
    if (m_startThread.joinable()) {
        RequestStop();
        m_startThread.join();
    }
    if (m_monitorThread.joinable()) {
        m_monitorThread.join();
    }
    // Only when the monitor never ran (a start that failed half-way): nothing else joins them.
    flags.Stopping = true;
    for (int i = 0; i < kWorkerSlots; ++i) {
        m_slots[static_cast<std::size_t>(i)].abort = true;
        WaitWorkerGone(i);
    }
    for (std::thread* helper : {&m_dispatchThread, &m_parseThread, &m_copyThread}) {
        m_dispatchWork.Signal();
        m_parseWork.Signal();
        m_copyWork.Signal();
        if (helper->joinable()) {
            helper->join();
        }
    }
}

void CDownloadTask::SetUserAgent(std::string_view userAgent) { m_userAgent = userAgent; }

void CDownloadTask::Launch() {
    m_startThread = LaunchThread(ThreadPriority::BelowNormal, [this] { StartThread(); });
}

// --- Stopping ---

void CDownloadTask::RewriteReceivingLines() {
    for (int i = 0; i < m_usedSlots; ++i) {
        CWorkerSlot& slot = Slot(i);
        const int state = slot.state.load();
        if (state == SlotState::Reading || state == SlotState::ReadingFtp) {
            CUrlEntry entry = slot.Current();
            if (!entry.urlText.empty()) {
                m_statusLog.WriteStatusLine(entry);
            }
        }
    }
}

void CDownloadTask::SetStop(TaskStatus status, RunEndCode code, bool setCode) {
    std::lock_guard<std::mutex> guard(m_stopLock);
    if (m_frozen) {
        return;
    }
    if (!flags.Stopping.load()) {
        // The Readed values of bodies being received reach the disk before the workers stop.
        RewriteReceivingLines();
        for (int i = 0; i < m_usedSlots; ++i) {
            Slot(i).abort = true;
        }
        flags.Stopping = true;
    }
    m_status = static_cast<int>(status);
    if (setCode) {
        m_endCode = static_cast<int>(code);
    }
    m_monitorWake.Signal();
}

void CDownloadTask::RequestStop() { SetStop(TaskStatus::Stopped, RunEndCode::None, false); }

void CDownloadTask::StopTask(TaskStatus status, RunEndCode code) { SetStop(status, code, true); }

std::string CDownloadTask::EndDetail() const {
    std::lock_guard<std::mutex> guard(m_endDetailLock);
    return m_endDetail;
}

void CDownloadTask::FailWithDetail(RunEndCode code, std::string_view detail) {
    {
        std::lock_guard<std::mutex> guard(m_endDetailLock);
        m_endDetail = detail;
    }
    StopTask(TaskStatus::Failed, code);
}

void CDownloadTask::StopWorker(int slotIndex, bool stopThread) {
    if (slotIndex < 0 || slotIndex >= m_usedSlots) {
        return;
    }
    std::lock_guard<std::mutex> guard(m_workerLock);
    CWorkerSlot& slot = Slot(slotIndex);
    std::thread& thread = m_workerThreads[static_cast<std::size_t>(slotIndex)];
    if (!thread.joinable()) {
        return;
    }
    if (slot.state.load() == SlotState::FindingHost) {
        // A name lookup cannot be broken by closing a socket. The worker resolves in slices and
        // gives the lookup up once Abort is set, so the slot is free again within a second;
        // no thread is ever killed, and none is waited for longer than that.
        slot.abort = true;
        slot.Interrupt();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
        while (slot.alive.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (slot.alive.load()) {
            // Still in its lookup: it ends by itself, and is joined by the monitor (which
            // starts its successor when one is wanted) or at the end of the run.
            m_restartWanted[static_cast<std::size_t>(slotIndex)] = !stopThread;
            return;
        }
        thread.join();
        slot.Reset();
        if (!stopThread && !flags.Stopping.load()) {
            LaunchWorker(slotIndex);
        }
        return;
    }
    if (stopThread) {
        slot.abort = true;   // without it the worker would only retry its entry
        slot.Interrupt();
        m_workersWork.Signal();
        return;
    }
    slot.tries = m_settings.Retry + 1;
    slot.Interrupt();
}

void CDownloadTask::LaunchWorker(int slotIndex) {
    CWorkerSlot& slot = Slot(slotIndex);
    // Alive is raised before the thread exists, so that whoever waits for it to drop also waits
    // for a worker that has not begun yet.
    slot.alive = true;
    m_workerThreads[static_cast<std::size_t>(slotIndex)] =
        LaunchThread(ThreadPriority::Normal, [this, slotIndex] {
            CWorkerSlot& own = Slot(slotIndex);
            try {
                m_environment.pipeline->DownloadWorker(*this, slotIndex);
            } catch (...) {
                // A worker that fails is a slot that stops working, never a crash of the run.
            }
            own.state = SlotState::Empty;
            own.idle = true;
            own.alive = false;
        });
}

void CDownloadTask::RestartAbortedWorkers() {
    std::lock_guard<std::mutex> guard(m_workerLock);
    for (int i = 0; i < m_usedSlots; ++i) {
        const auto index = static_cast<std::size_t>(i);
        CWorkerSlot& slot = Slot(i);
        if (!m_restartWanted[index] || slot.alive.load()) {
            continue;
        }
        m_restartWanted[index] = false;
        if (m_workerThreads[index].joinable()) {
            m_workerThreads[index].join();
        }
        slot.Reset();
        if (!flags.Stopping.load()) {
            LaunchWorker(i);
        }
    }
}

void CDownloadTask::WaitWorkerGone(int slotIndex) {
    CWorkerSlot& slot = Slot(slotIndex);
    std::thread& thread = m_workerThreads[static_cast<std::size_t>(slotIndex)];
    // The workers share one event; each signal wakes one sleeper, so keep signalling until this
    // slot's worker has seen its Abort flag.
    while (slot.alive.load()) {
        m_workersWork.Signal();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard<std::mutex> guard(m_workerLock);
    if (thread.joinable()) {
        thread.join();
    }
}

// --- Shared services ---

void CDownloadTask::SetParseEntry(const CUrlEntry& entry, int slot) {
    std::lock_guard<std::mutex> guard(m_parseEntryLock);
    m_parseEntries.at(static_cast<std::size_t>(slot)) = entry;
}

void CDownloadTask::ClearParseEntry(int slot) {
    std::lock_guard<std::mutex> guard(m_parseEntryLock);
    m_parseEntries.at(static_cast<std::size_t>(slot)) = CUrlEntry();
}

CUrlEntry CDownloadTask::ParseEntry(int slot) const {
    std::lock_guard<std::mutex> guard(m_parseEntryLock);
    return m_parseEntries.at(static_cast<std::size_t>(slot));
}

int CDownloadTask::MarkSeen(const CUrlEntry& entry) {
    return m_seenSet.MarkSeen(SeenText(entry.url, entry.urlText));
}

void CDownloadTask::WriteStatusLine(CUrlEntry& entry) {
    if (!m_statusLog.WriteStatusLine(entry)) {
        // A record whose log cannot be written no longer says what the run did (a full disk):
        // the run ends as for the seen set.
        StopTask(TaskStatus::Failed, RunEndCode::TempFileFailed);
    }
}

void CDownloadTask::SetRecordName(int slot, std::string_view name) {
    if (slot > 0 && slot < kRecordNameSlots) {
        AssignCut(m_recordNames[static_cast<std::size_t>(slot)], name, kMaxRecordName);
    }
}

void CDownloadTask::FileStored(const CUrlEntry& entry, bool alreadyCounted) {
    counters.Downloaded.fetch_add(1, std::memory_order_relaxed);
    if (!alreadyCounted) {
        counters.TotalFiles.fetch_add(1, std::memory_order_relaxed);
    }
    const std::int32_t thisRun = counters.FilesThisRun.fetch_add(1, std::memory_order_relaxed) + 1;
    if (entry.referrer.empty() && entry.startIndex == 0) {
        RecordStartPage(entry);
    }
    if (m_environment.listener) {
        CFileReport report;
        report.task = m_id;
        report.url = entry.urlText;
        report.bytes = entry.readed;
        m_environment.listener->OnFileReport(report);
    }
    if (m_settings.MaxFile > 0 && thisRun >= m_settings.MaxFile) {
        StopTask(TaskStatus::Limited, RunEndCode::FileLimit);
    }
}

void CDownloadTask::FileFailed(const CUrlEntry& entry, std::string_view operation, int code,
                               std::string reason) {
    FileFailed(entry.urlText, operation, code, std::move(reason));
}

void CDownloadTask::FileFailed(std::string_view urlText, std::string_view operation, int code,
                               std::string reason) {
    {
        // Each address once: a link that cannot be stored is met again on every page that
        // has it.
        std::lock_guard<std::mutex> guard(m_failedUrlsLock);
        if (!m_failedUrls.insert(std::string(urlText)).second) {
            return;
        }
    }
    CFailedFile failure{std::string(urlText), std::string(operation), code, std::move(reason)};
    if (failure.reason.empty()) {
        failure.reason = FailureReasonText(operation, code);
    }
    if (m_environment.listener) {
        CFileReport report;
        report.task = m_id;
        report.failed = true;
        report.url = failure.url;
        report.reason = failure.reason;
        m_environment.listener->OnFileReport(report);
    }
    m_failures.Add(std::move(failure));
}

void CDownloadTask::RecordStartPage(const CUrlEntry& entry) {
    std::string page = entry.localDir + entry.fileName + entry.extension;
    CutTo(page, kMaxStartPage);
    {
        std::lock_guard<std::mutex> guard(m_startPageLock);
        m_startPage = page;
    }
    AppendStartPage(m_paths.projectLog, page);
    Post(TaskMessage::StartPage);
}

std::string CDownloadTask::StartPage() const {
    std::lock_guard<std::mutex> guard(m_startPageLock);
    return m_startPage;
}

void CDownloadTask::Post(TaskMessage message, RunEndCode code) {
    if (!m_environment.listener) {
        return;
    }
    CTaskMessage report;
    report.message = message;
    report.task = m_id;
    if (message == TaskMessage::Error || message == TaskMessage::Limit ||
        message == TaskMessage::StartFailed) {
        report.payload = code;
    }
    m_environment.listener->OnTaskMessage(report);
}

CTaskSnapshot CDownloadTask::Snapshot() const {
    CTaskSnapshot snapshot;
    snapshot.id = m_id;
    {
        std::lock_guard<std::mutex> guard(m_stopLock);
        snapshot.status = Status();
        snapshot.endCode = EndCode();
    }
    snapshot.mode = m_runMode;
    snapshot.recordTime = m_recordTime.load();
    snapshot.startTime = m_startTime.load();
    snapshot.endTime = m_endTime.load();
    snapshot.elapsedTime = m_elapsedTime.load();
    snapshot.startPage = StartPage();
    snapshot.totalFiles = counters.TotalFiles.load();
    snapshot.downloaded = counters.Downloaded.load();
    snapshot.filesThisRun = counters.FilesThisRun.load();
    snapshot.passed = counters.Passed.load();
    snapshot.discoveredQueue = m_discovered.Count();
    snapshot.downloadQueue = m_download.Count();
    snapshot.parseQueue = m_parse.Count();
    snapshot.copyQueue = m_copy.Count();
    snapshot.receivedBytes = receivedBytes.load();
    snapshot.slots.reserve(static_cast<std::size_t>(m_usedSlots));
    for (int i = 0; i < m_usedSlots; ++i) {
        snapshot.slots.push_back(Slot(i).View());
    }
    snapshot.stopping = flags.Stopping.load();
    snapshot.monitorRunning = flags.MonitorRunning.load();
    snapshot.ended = m_ended.load();
    snapshot.needsConversion = flags.NeedsConversion.load();
    snapshot.hasRenamedFile = flags.HasRenamedFile.load();
    return snapshot;
}

CRecordInfo CDownloadTask::RecordValues() const {
    CRecordInfo info;
    info.RecordTime = m_recordTime.load();
    info.StartTime = m_startTime.load();
    info.EndTime = m_endTime.load();
    info.ElapsedTime = m_elapsedTime.load();
    info.Status = m_status.load();
    info.StartPage = StartPage();
    info.TotalFiles = counters.TotalFiles.load();
    info.Downloaded = counters.Downloaded.load();
    info.IsLatest = true;
    info.HasRenamedFile = flags.HasRenamedFile.load();
    return info;
}

// --- StartThread ---

void CDownloadTask::StartThread() {
    try {
        RunStart();
    } catch (...) {
        // Nothing may escape a thread; a start that broke down ends like a temporary-file error.
        if (!m_ended.load() && !flags.MonitorRunning.load()) {
            FailWithTempFileError();
        }
    }
}

bool CDownloadTask::EnoughFreeSpace(bool& known) {
    std::uint64_t bytes = 0;
    known = m_freeSpace->FreeBytes(m_settings.ProjectDir, bytes);
    if (!known) {
        return true;
    }
    return bytes >= static_cast<std::uint64_t>(m_settings.FreeSpaceLimit) *
                        static_cast<std::uint64_t>(kBytesPerMegabyte);
}

void CDownloadTask::FailStart(RunEndCode code) {
    m_ended = true;
    Post(TaskMessage::StartFailed, code);
}

void CDownloadTask::FailWithTempFileError() {
    m_seenSet.Close();
    m_statusLog.Close();
    m_endTime = m_clock->Now();
    {
        std::lock_guard<std::mutex> guard(m_stopLock);
        m_status = static_cast<int>(TaskStatus::Failed);
        m_endCode = static_cast<int>(RunEndCode::TempFileFailed);
        m_frozen = true;
    }
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        WriteTaskRecord(m_paths.projectLog, RecordValues());
    }
    m_ended = true;
    Post(TaskMessage::Error, RunEndCode::TempFileFailed);
}

void CDownloadTask::RunStart() {
    bool known = false;
    const bool enough = EnoughFreeSpace(known);
    if (!known) {
        FailStart(RunEndCode::FreeSpaceUnknown);
        return;
    }
    if (!enough) {
        FailStart(RunEndCode::FreeSpaceLow);
        return;
    }
    // A project directory that cannot hold the lock file cannot hold the record either; the
    // directory checks below report that.
    if (m_projectLock.TryAcquire(m_settings.ProjectDir) == ProjectLockOutcome::HeldElsewhere) {
        FailStart(RunEndCode::ProjectBusy);
        return;
    }
    if (m_settings.BackupLast != 0 && !m_environment.pipeline->BackupLatestRecord(*this)) {
        FailStart(RunEndCode::BackupFailed);
        return;
    }
    for (const std::string* dir :
         {&m_paths.recordDownloadDir, &m_paths.recordLinkMapDir, &m_paths.logsDir}) {
        MakeDirectoryPath(*dir);
    }
    if (!m_paths.fits || !DirectoryExists(m_paths.recordDownloadDir) || !DirectoryExists(m_paths.recordLinkMapDir) ||
        !DirectoryExists(m_paths.logsDir)) {
        FailStart(RunEndCode::DirectoryFailed);
        return;
    }

    const std::int64_t now = m_clock->Now();
    m_status = static_cast<int>(TaskStatus::Running);
    m_startTime = now;
    m_recordTime = now;
    {
        CRecordInfo values = RecordValues();
        std::lock_guard<std::mutex> guard(m_recordLock);
        BeginRecord(m_paths.projectLog, static_cast<int>(m_runMode), m_settings.BackupLast != 0,
                    values);
        m_recordTime = values.RecordTime;
        if (m_runMode == RunMode::ResumeBreakPoint) {
            m_elapsedTime = values.ElapsedTime;
            counters.Downloaded = values.Downloaded;
            counters.TotalFiles = values.TotalFiles;
        }
    }
    Post(TaskMessage::Started);

    WorkOutStartPage();
    if (m_runMode == RunMode::ResumeBreakPoint && !StartPage().empty()) {
        AppendStartPage(m_paths.projectLog, StartPage());
        Post(TaskMessage::StartPage);
    }

    const bool keepSeen = m_runMode == RunMode::ResumeBreakPoint && FileExists(m_paths.seenSet);
    const bool seenOpen = m_seenSet.Open(m_paths.seenSet, keepSeen);
    m_statusLog.Open(m_paths.statusLog);
    // A resumed run continues the record's list; any other run of the record begins it anew.
    m_failures.Open(m_paths.failureList, m_runMode != RunMode::Fresh);
    int seeded = 0;
    if (seenOpen && m_runMode != RunMode::ResumeBreakPoint) {
        seeded = m_environment.pipeline->SeedStartAddresses(*this, true);
    }
    if (!seenOpen || seeded < 0) {
        FailWithTempFileError();
        return;
    }

    m_environment.pipeline->LoadRecordNames(*this);
    if (m_settings.Cookie) {
        m_environment.pipeline->LoadCookies(*this);
    }
    StartRunThreads();
}

void CDownloadTask::WorkOutStartPage() {
    if (m_settings.Addresses.empty()) {
        return;
    }
    CUrlEntry entry;
    entry.url = CUrl(m_settings.Addresses.front().StartURL);
    if (!entry.url.IsValid()) {
        return;
    }
    entry.urlText = EntryUrlText(entry.url);
    if (!LocalNames(entry, m_paths.recordDownloadDirLength)) {
        return;
    }
    std::string line;
    std::string extension;
    if (FindLine(m_paths.statusLog, entry.urlText + "\t", line) >= 0) {
        CStatusFields fields;
        if (ParseStatusLine(line, entry.urlText.size(), fields)) {
            extension = StoredNameSuffix(fields.nameLetter);
        }
    }
    std::string full;
    if (StoredPath(m_paths.recordDownloadDir, entry.localDir, entry.fileName, extension, full) &&
        FileExists(full)) {
        std::lock_guard<std::mutex> guard(m_startPageLock);
        m_startPage = entry.localDir + entry.fileName + extension;
    }
}

void CDownloadTask::StartRunThreads() {
    auto helper = [this](void (IRunPipeline::*body)(CDownloadTask&), CAutoResetEvent& done) {
        return [this, body, &done] {
            try {
                (m_environment.pipeline->*body)(*this);
            } catch (...) {
                // The helper is gone; the monitor still ends the run.
            }
            done.Signal();
        };
    };
    m_helpersStarted = true;
    m_dispatchThread = LaunchThread(ThreadPriority::BelowNormal,
                                    helper(&IRunPipeline::DispatchThread, m_dispatchDone));
    m_parseThread =
        LaunchThread(ThreadPriority::BelowNormal, helper(&IRunPipeline::ParseThread, m_parseDone));
    m_copyThread =
        LaunchThread(ThreadPriority::Idle, helper(&IRunPipeline::CopyThread, m_copyDone));
    {
        std::lock_guard<std::mutex> guard(m_workerLock);
        for (int i = 0; i < m_usedSlots; ++i) {
            LaunchWorker(i);
        }
    }
    m_monitorThread = LaunchThread(ThreadPriority::Normal, [this] { MonitorThread(); });
}

// --- MonitorThread ---

bool CDownloadTask::AllDrained() const {
    auto pushes = [this] {
        return m_discovered.Pushes() + m_download.Pushes() + m_parse.Pushes() + m_copy.Pushes();
    };
    const std::uint64_t before = pushes();
    if (!m_parse.IsEmpty() || !m_discovered.IsEmpty() || !m_copy.IsEmpty() ||
        !m_download.IsEmpty()) {
        return false;
    }
    for (const CWorkerSlot& slot : m_slots) {
        if (!slot.idle.load()) {
            return false;
        }
    }
    if (flags.ParseBusy.load() != 0 || flags.DispatchBusy.load() || flags.CopyBusy.load()) {
        return false;
    }
    // An entry that moved between two queues while we looked shows as a push.
    return pushes() == before;
}

void CDownloadTask::MonitorThread() {
    flags.MonitorRunning = true;
    try {
        for (int pass = 1;; ++pass) {
            if (flags.Stopping.load()) {
                for (int i = 0; i < m_usedSlots; ++i) {
                    StopWorker(i, true);
                }
                for (int i = 0; i < m_usedSlots; ++i) {
                    WaitWorkerGone(i);
                }
                break;
            }
            if (AllDrained()) {
                StopTask(TaskStatus::Finished, RunEndCode::None);
                for (int i = 0; i < m_usedSlots; ++i) {
                    WaitWorkerGone(i);
                }
                break;
            }
            m_monitorWake.WaitFor(kMonitorPassMs);
            RestartAbortedWorkers();
            bool known = false;
            if (!EnoughFreeSpace(known)) {
                StopTask(TaskStatus::Limited, RunEndCode::FreeSpaceLimit);
            }
            if (m_settings.MaxMinute > 0 &&
                m_clock->Now() - m_startTime.load() >=
                    static_cast<std::int64_t>(m_settings.MaxMinute) * 60) {
                StopTask(TaskStatus::Limited, RunEndCode::TimeLimit);
            }
            if (pass % kFlushEveryPasses == 0) {
                RewriteReceivingLines();
                m_statusLog.Flush();
            }
        }
    } catch (...) {
        // Keep going to the end sequence: the front end must hear that the run ended.
        flags.Stopping = true;
    }
    EndSequence();
}

void CDownloadTask::EndSequence() {
    m_dispatchWork.Signal();
    m_copyWork.Signal();
    m_parseWork.Signal();
    if (m_helpersStarted) {
        m_dispatchDone.Wait();
        m_parseDone.Wait();
        m_copyDone.Wait();
        for (std::thread* helper : {&m_dispatchThread, &m_parseThread, &m_copyThread}) {
            if (helper->joinable()) {
                helper->join();
            }
        }
    }
    TaskStatus status;
    RunEndCode code;
    {
        std::lock_guard<std::mutex> guard(m_stopLock);
        m_frozen = true;
        status = Status();
        code = EndCode();
    }
    if (status != TaskStatus::Finished) {
        SaveBreakPoint(*this, BreakPointMode::InFlight);
    }
    m_seenSet.Close();
    m_statusLog.Close();
    m_failures.Close();
    if (m_settings.Cookie) {
        m_environment.pipeline->SaveCookies(*this);
    }
    const std::int64_t end = m_clock->Now();
    m_endTime = end;
    m_elapsedTime += end - m_startTime.load();
    if (status == TaskStatus::Finished && counters.Downloaded.load() == 0 &&
        counters.Passed.load() == 0 && counters.TotalFiles.load() == 0) {
        status = TaskStatus::Failed;
        code = RunEndCode::NothingStored;
    }
    m_status = static_cast<int>(status);
    m_endCode = static_cast<int>(code);
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        WriteTaskRecord(m_paths.projectLog, RecordValues());
    }
    m_ended = true;
    switch (status) {
    case TaskStatus::Stopped:
        Post(TaskMessage::Stopped);
        break;
    case TaskStatus::Finished:
        Post(TaskMessage::Finished);
        break;
    case TaskStatus::Limited:
        Post(TaskMessage::Limit, code);
        break;
    default:
        if (code == RunEndCode::TempFileFailed) {
            RemoveFileIfExists(m_paths.seenSet);
        }
        Post(TaskMessage::Error, code);
        break;
    }
}

} // namespace torvex
