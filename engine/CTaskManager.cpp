#include "engine/CTaskManager.h"

#include <algorithm>
#include <optional>

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
void ITaskManagerHooks::OnTaskMessage(int, CDownloadTask&, int) {}
void ITaskManagerHooks::OnBreakPointProgress(CDownloadTask&, int, int) {}
void ITaskManagerHooks::GenerateIndexPage(CDownloadTask&) {}
void ITaskManagerHooks::ConvertLinks(CDownloadTask&) {}
void ITaskManagerHooks::OnAllTasksEnded() {}

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
    Run run{&project, std::move(task)};
    if (static_cast<int>(m_running.size()) < std::max(1, m_options.MaxRunningTask)) {
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

void CTaskManager::SaveBreakPointQueued(CDownloadTask& task) {
    const int range = PendingCount(task);
    CAutoResetEvent done;
    std::thread saver = LaunchThread(ThreadPriority::Normal, [&task, &done] {
        SaveBreakPoint(task, BreakPointMode::Queued);
        done.Signal();
    });
    m_hooks.OnBreakPointProgress(task, 0, range);
    while (!done.WaitFor(kMonitorPassMs)) {
        m_hooks.OnBreakPointProgress(task, range - PendingCount(task), range);
    }
    saver.join();
    m_hooks.OnBreakPointProgress(task, range, range);
}

void CTaskManager::HandleTaskMessage(int message, CDownloadTask* task, int code) {
    const auto found = std::find_if(m_running.begin(), m_running.end(),
                                    [task](const Run& run) { return run.task.get() == task; });
    if (found == m_running.end()) {
        return;   // a report of a task that is gone already
    }
    m_hooks.OnTaskMessage(message, *task, code);
    const CProjectSettings& settings = task->Settings();
    switch (message) {
    case WM_TASK_START_FAILED: {
        const std::string text = StartFailureText(code, settings.Name);
        if (StartFailureIsInformation(code)) {
            m_prompter.Information(text);
        } else {
            m_prompter.Error(text);
        }
        EndRun(task);
        return;
    }
    case WM_TASK_FINISHED:
    case WM_TASK_STOPPED:
    case WM_TASK_ERROR:
    case WM_TASK_LIMIT:
        break;
    default:
        return;
    }
    if (message == WM_TASK_FINISHED) {
        RemoveFileIfExists(task->Paths().breakPointFile);
        RemoveFileIfExists(task->Paths().seenSet);
    } else {
        SaveBreakPointQueued(*task);
    }
    const auto run = std::find_if(m_running.begin(), m_running.end(),
                                  [task](const Run& r) { return r.task.get() == task; });
    GenerateIndexPage(run != m_running.end() ? *run->project : settings,
                      task->Paths().recordDownloadDir, task->Paths().statusLog,
                      IndexTemplatePath());
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
    const ProxyName proxy{settings.ProxyServer, settings.ProxyPort};
    if (message == WM_TASK_FINISHED && m_options.EndNotify) {
        m_prompter.Information(kFinishedText);
    } else if (message == WM_TASK_ERROR) {
        m_prompter.Error(EndCodeText(code, settings.Name, proxy));
    } else if (message == WM_TASK_LIMIT) {
        m_prompter.Information(EndCodeText(code, settings.Name, proxy));
    }
    EndRun(task, conversion ? &*conversion : nullptr);
}

void CTaskManager::EndRun(CDownloadTask* task, const CConversionJob* conversion) {
    const auto found = std::find_if(m_running.begin(), m_running.end(),
                                    [task](const Run& run) { return run.task.get() == task; });
    if (found == m_running.end()) {
        return;
    }
    const CProjectSettings* project = found->project;
    std::unique_ptr<CDownloadTask> ended = std::move(found->task);
    m_running.erase(found);
    ended.reset();   // joins the task's threads, which have all finished their work
    if (conversion) {
        m_conversions.Start(*conversion);   // the project's lock is free now
    }
    m_hooks.OnProjectState(project, ProjectRunState::Idle);
    StartWaiting();
    if (m_running.empty() && m_waiting.empty()) {
        m_hooks.OnAllTasksEnded();
    }
}

void CTaskManager::StartWaiting() {
    while (!m_waiting.empty() &&
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
