#include "engine/CTaskManager.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include "engine/BreakPoint.h"
#include "engine/IPrompter.h"
#include "engine/IRunListener.h"
#include "engine/IRunPipeline.h"
#include "engine/IndexPage.h"
#include "platform/CAutoResetEvent.h"
#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "platform/ThreadStart.h"

namespace torvex {

namespace {

std::string WithProjectName(std::string_view text, std::string_view name) {
    std::string out(text);
    const auto at = out.find("%s");
    if (at != std::string::npos) {
        out.replace(at, 2, name);
    }
    return out;
}

constexpr std::string_view kResumeMissingText =
    "Failed to resume project \"%s\", because the necessary log file was not found.\nDo you want "
    "to perform resume download from the beginning by analyzing the linkmap of downloaded HTML "
    "files? In this instance, the files that have been downloaded won't be downloaded again.";
constexpr std::string_view kResumeEmptyText =
    "Failed to resume project \"%s\". No URL should be downloaded according to the project "
    "settings.";
constexpr std::string_view kFinishedText = "Download finished!";

int PendingCount(const CDownloadTask& task) {
    return task.DownloadQueue().Count() + task.ParseQueue().Count() +
           task.DiscoveredQueue().Count() + task.CopyQueue().Count();
}

} // namespace

void ITaskManagerHooks::OnProjectState(const CProjectSettings*, ProjectRunState) {}
void ITaskManagerHooks::OnTaskMessage(const CTaskMessage&, CDownloadTask&) {}
void ITaskManagerHooks::OnBreakPointProgress(CDownloadTask&, int, int) {}
void ITaskManagerHooks::GenerateIndexPage(CDownloadTask&) {}
void ITaskManagerHooks::ConvertLinks(CDownloadTask&) {}
bool ITaskManagerHooks::OnAllTasksEnded(bool) {
    return false;
}

CTaskManager::CTaskManager(IRunPipeline& pipeline, IRunListener& listener, IPrompter& prompter,
                           ITaskManagerHooks* hooks)
    : m_pipeline(pipeline),
      m_listener(listener),
      m_prompter(prompter),
      m_hooks(hooks ? *hooks : m_noHooks) {}

CTaskManager::~CTaskManager() {
    m_waiting.clear();
    for (Run& run : m_running) {
        run.task->RequestStop();
    }
    for (Run& run : m_running) {
        if (run.endWork.joinable()) {
            run.endWork.join();
        }
    }
    m_running.clear();   // each task joins its threads
}

std::unique_ptr<CDownloadTask> CTaskManager::MakeTask(const CProjectSettings& project,
                                                      RunCommand command, RunMode mode) const {
    CProjectSettings copy;
    copy.CopyForRun(project);
    if (command != RunCommand::Start) {
        copy.BackupLast = 0;
    }
    if (copy.UseGlobeProxy) {
        copy.Proxy = m_options.Proxy;
        copy.ProxyServer = m_options.ProxyServer;
        copy.ProxyPort = m_options.ProxyPort;
        copy.ProxyUser = m_options.ProxyUser;
        copy.ProxyPassword = m_options.ProxyPassword;
    }
    CTaskEnvironment environment;
    environment.listener = &m_listener;
    environment.pipeline = &m_pipeline;
    environment.freeSpace = m_freeSpace;
    environment.clock = m_clock;
    auto task = std::make_unique<CDownloadTask>(copy, mode, environment);
    task->SetUserAgent(UserAgentText(copy.UserAgentMode, copy.UserDefined));
    task->SetTlsCaFiles(m_options.TlsCaFiles);
    return task;
}

bool CTaskManager::StartProject(const CProjectSettings& project, RunCommand command) {
    if (StateOf(project) != ProjectRunState::Idle) {
        return false;
    }
    if (IsProjectLocked(project.ProjectDir)) {
        // Another copy of the program runs it; the task would fail its start the same way.
        m_prompter.Error(
            StartFailureText(static_cast<int>(RunEndCode::ProjectBusy), project.Name));
        return false;
    }
    RunMode mode = command == RunCommand::Resume ? RunMode::ResumeBreakPoint : RunMode::Fresh;
    auto task = MakeTask(project, command, mode);
    if (mode == RunMode::ResumeBreakPoint) {
        const CProjectPaths& paths = task->Paths();
        if (!FileExists(paths.breakPointFile) || !FileExists(paths.seenSet)) {
            if (!m_prompter.AskOkCancel(WithProjectName(kResumeMissingText, project.Name))) {
                return false;
            }
            mode = RunMode::ResumeLinkMaps;
            task = MakeTask(project, command, mode);
        } else if (ReloadBreakPoint(*task) == 0) {
            m_prompter.Warning(WithProjectName(kResumeEmptyText, project.Name));
            return false;
        }
    }
    if (mode != RunMode::ResumeBreakPoint && m_pipeline.SeedStartAddresses(*task, false) <= 0) {
        m_prompter.Error(StartFailureText(static_cast<int>(RunEndCode::BadStartAddress),
                                          project.Name));
        return false;
    }
    Run run;
    run.project = &project;
    run.task = std::move(task);
    if (!m_hold && static_cast<int>(m_running.size()) < std::max(1, m_options.MaxRunningTask)) {
        LaunchRun(std::move(run));
    } else {
        m_waiting.push_back(std::move(run));
        m_hooks.OnProjectState(&project, ProjectRunState::Waiting);
    }
    return true;
}

void CTaskManager::StartAll(const std::vector<const CProjectSettings*>& projects) {
    for (const CProjectSettings* project : projects) {
        if (project) {
            StartProject(*project, RunCommand::Start);
        }
    }
}

void CTaskManager::LaunchRun(Run run) {
    CDownloadTask* task = run.task.get();
    const CProjectSettings* project = run.project;
    m_running.push_back(std::move(run));
    m_hooks.OnProjectState(project, ProjectRunState::Running);
    task->Launch();
}

void CTaskManager::StopProject(const CProjectSettings& project) {
    for (Run& run : m_running) {
        if (run.project == &project) {
            run.task->RequestStop();
            return;
        }
    }
    const auto waiting = std::find_if(m_waiting.begin(), m_waiting.end(),
                                      [&](const Run& run) { return run.project == &project; });
    if (waiting != m_waiting.end()) {
        m_waiting.erase(waiting);
        m_hooks.OnProjectState(&project, ProjectRunState::Idle);
    }
}

void CTaskManager::HoldStarts(bool hold) {
    m_hold = hold;
    StartWaiting();
}

CTaskManager::Run* CTaskManager::FindRun(TaskId task) {
    const auto found = std::find_if(m_running.begin(), m_running.end(),
                                    [task](const Run& run) { return run.task->Id() == task; });
    return found != m_running.end() ? &*found : nullptr;
}

void CTaskManager::HandleTaskMessage(const CTaskMessage& message) {
    Run* run = FindRun(message.task);
    if (run == nullptr) {
        return;   // a report of a task that is gone already
    }
    CDownloadTask& task = *run->task;
    if (message.message == TaskMessage::BreakPointProgress) {
        if (run->saveRange >= 0) {
            const CSaveProgress progress = message.Progress();
            m_hooks.OnBreakPointProgress(task, progress.position, progress.range);
        }
        return;
    }
    if (message.message == TaskMessage::EndWorkDone) {
        if (run->end) {
            FinishEnd(*run);
        }
        return;
    }
    m_hooks.OnTaskMessage(message, task);
    if (message.IsEnd() && !run->end) {
        BeginEnd(*run, message);
    }
}

void CTaskManager::BeginEnd(Run& run, const CTaskMessage& end) {
    CDownloadTask* task = run.task.get();
    run.end = end;
    if (end.message == TaskMessage::StartFailed) {
        const std::string text =
            StartFailureText(static_cast<int>(end.Code()), task->Settings().Name);
        if (StartFailureIsInformation(static_cast<int>(end.Code()))) {
            m_prompter.Information(text);
        } else {
            m_prompter.Error(text);
        }
    }
    const bool indexPage = end.message != TaskMessage::StartFailed;
    const bool finished = end.message == TaskMessage::Finished;
    const bool save = indexPage && !finished;
    if (save) {
        run.saveRange = PendingCount(*task);
        m_hooks.OnBreakPointProgress(*task, 0, run.saveRange);
    }
    // What the end work needs from the front end's side is copied now: the project as the
    // tree holds it (the index lists every start address it has) and the template's place.
    CProjectSettings project = run.project ? *run.project : task->Settings();
    std::string templatePath = indexPage ? IndexTemplatePath() : std::string();
    IRunListener& listener = m_listener;
    const int range = run.saveRange;
    run.endWork = LaunchThread(ThreadPriority::Normal, [task, &listener, indexPage, finished,
                                                        save, range, project = std::move(project),
                                                        templatePath = std::move(templatePath)] {
        CTaskMessage done;
        done.message = TaskMessage::EndWorkDone;
        done.task = task->Id();
        try {
            task->JoinThreads();
            const CProjectPaths& paths = task->Paths();
            if (save) {
                auto last = std::chrono::steady_clock::now();
                SaveBreakPoint(*task, BreakPointMode::Queued, [&] {
                    const auto now = std::chrono::steady_clock::now();
                    if (now - last >= std::chrono::milliseconds(kMonitorPassMs)) {
                        last = now;
                        CTaskMessage progress;
                        progress.message = TaskMessage::BreakPointProgress;
                        progress.task = task->Id();
                        progress.payload = CSaveProgress{range - PendingCount(*task), range};
                        listener.OnTaskMessage(progress);
                    }
                });
            } else if (finished) {
                RemoveFileIfExists(paths.breakPointFile);
                RemoveFileIfExists(paths.seenSet);
            }
            if (indexPage) {
                GenerateIndexPage(project, paths.recordDownloadDir, paths.statusLog,
                                  templatePath);
            }
        } catch (...) {
            // Nothing may escape a thread; the run still ends for the front end.
        }
        listener.OnTaskMessage(done);
    });
}

void CTaskManager::FinishEnd(Run& run) {
    // The end work's last step was the report that brought us here: this join is immediate.
    if (run.endWork.joinable()) {
        run.endWork.join();
    }
    CDownloadTask* task = run.task.get();
    const TaskMessage message = run.end->message;
    const RunEndCode code = run.end->Code();
    if (message == TaskMessage::StartFailed) {
        EndRun(task);
        return;
    }
    if (run.saveRange >= 0) {
        m_hooks.OnBreakPointProgress(*task, run.saveRange, run.saveRange);
    }
    const CProjectSettings& settings = task->Settings();
    m_hooks.GenerateIndexPage(*task);
    std::optional<CConversionJob> conversion;
    if (settings.AutoConvert && (task->flags.NeedsConversion.load() || settings.Link == 1)) {
        conversion.emplace();
        conversion->projectDir = task->ProjectDir();
        conversion->record = std::string(kLatestRecordName);
        conversion->linkMode = settings.Link == 1 ? LinkMode::Absolute : LinkMode::Local;
        conversion->appendHtml = settings.AutoExt;
        conversion->hasRenamedFile = task->flags.HasRenamedFile.load();
        m_hooks.ConvertLinks(*task);
    }
    // The texts are made while the task is there; they are shown once it has left the running
    // list, the waiting tasks have started and the end-of-download actions have begun.
    std::string text;
    bool error = false;
    if (message == TaskMessage::Error || message == TaskMessage::Limit) {
        text = EndCodeText(static_cast<int>(code), settings.Name,
                           ProxyName{settings.ProxyServer, settings.ProxyPort},
                           task->EndDetail());
        error = message == TaskMessage::Error;
    }
    const bool leaveOutNotice = EndRun(task, conversion ? &*conversion : nullptr);
    if (message == TaskMessage::Finished && m_options.EndNotify && !leaveOutNotice) {
        m_prompter.Information(kFinishedText);
    } else if (error) {
        m_prompter.Error(text);
    } else if (!text.empty()) {
        m_prompter.Information(text);
    }
}

bool CTaskManager::EndRun(CDownloadTask *task, const CConversionJob *conversion) {
    const auto found = std::find_if(m_running.begin(), m_running.end(),
                                    [task](const Run& run) { return run.task.get() == task; });
    if (found == m_running.end()) {
        return false;
    }
    const CProjectSettings* project = found->project;
    std::unique_ptr<CDownloadTask> ended = std::move(found->task);
    m_running.erase(found);
    ended.reset();   // its threads were joined by the end work
    if (conversion) {
        m_conversions.Start(*conversion);   // the project's lock is free now
    }
    m_hooks.OnProjectState(project, ProjectRunState::Idle);
    StartWaiting();
    if (m_running.empty() && m_waiting.empty()) {
        return m_hooks.OnAllTasksEnded(conversion != nullptr);
    }
    return false;
}

void CTaskManager::StartWaiting() {
    while (!m_hold && !m_waiting.empty() &&
           static_cast<int>(m_running.size()) < std::max(1, m_options.MaxRunningTask)) {
        Run run = std::move(m_waiting.front());
        m_waiting.pop_front();
        LaunchRun(std::move(run));
    }
}

ProjectRunState CTaskManager::StateOf(const CProjectSettings& project) const {
    for (const Run& run : m_running) {
        if (run.project == &project) {
            return ProjectRunState::Running;
        }
    }
    for (const Run& run : m_waiting) {
        if (run.project == &project) {
            return ProjectRunState::Waiting;
        }
    }
    return ProjectRunState::Idle;
}

CDownloadTask* CTaskManager::TaskOf(const CProjectSettings& project) const {
    for (const Run& run : m_running) {
        if (run.project == &project) {
            return run.task.get();
        }
    }
    for (const Run& run : m_waiting) {
        if (run.project == &project) {
            return run.task.get();
        }
    }
    return nullptr;
}

std::vector<CDownloadTask*> CTaskManager::RunningTasks() const {
    std::vector<CDownloadTask*> tasks;
    for (const Run& run : m_running) {
        tasks.push_back(run.task.get());
    }
    return tasks;
}

} // namespace torvex
