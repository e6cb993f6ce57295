#include "cli/CCliRun.h"

#include <filesystem>

#include "app/RunOptions.h"
#include "cli/CConsole.h"
#include "cli/CConsolePrompter.h"
#include "cli/CTaskMessageQueue.h"
#include "cli/ConvertCommand.h"
#include "cli/ProgressLine.h"
#include "engine/CDownloadTask.h"
#include "engine/IRunListener.h"
#include "net/CBlockingSocket.h"
#include "platform/Clock.h"
#include "platform/StopSignals.h"
#include "project/CAppSettings.h"

namespace torvex {

namespace {

constexpr int kWaitSliceMs = 100;

std::string AbsoluteDir(const std::string& dir) {
    std::string absolute = std::filesystem::absolute(dir).lexically_normal().string();
    while (absolute.size() > 1 && absolute.back() == '/') {
        absolute.pop_back();
    }
    return absolute;
}

} // namespace

CCliRun::CCliRun(IRunPipeline& pipeline, IStopRequests& stops, CConsole& console, bool answerYes)
    : m_pipeline(pipeline), m_stops(stops), m_console(console), m_answerYes(answerYes) {}

bool CCliRun::NewStopRequest() {
    const int count = m_stops.StopRequestCount();
    if (count == m_stopsSeen) {
        return false;
    }
    m_stopsSeen = count;
    return true;
}

void CCliRun::OnTaskMessage(const CTaskMessage& message, CDownloadTask&) {
    if (message.IsEnd()) {
        m_end = message;
    }
}

void CCliRun::OnBreakPointProgress(CDownloadTask&, int position, int range) {
    // The save runs on its own thread while this one waits here; stop requests that come now
    // only get an answer, the save goes on to its end.
    if (!m_savingBreakPoint) {
        m_savingBreakPoint = true;
        m_console.Message("Saving break point information to log file...");
    }
    if (NewStopRequest()) {
        m_console.Message("Still saving the break point; it will be kept. Please wait.");
    }
    if (m_console.ShowsProgress() && range > 0) {
        m_console.DrawProgress("Saving break point " + std::to_string(position) + "/" +
                               std::to_string(range));
    }
}

void CCliRun::DrawProgress(const CDownloadTask& task) {
    ProgressSample sample;
    sample.downloaded = task.counters.Downloaded.load();
    sample.totalFiles = task.counters.TotalFiles.load();
    sample.downloadQueue = task.DownloadQueue().Count();
    sample.parseQueue = task.ParseQueue().Count();
    sample.kilobytesPerSecond =
        m_speed.Sample(SystemClock().MonotonicMs(), CBlockingSocket::TotalReceivedBytes());
    const std::int64_t started = task.StartTime();
    sample.elapsedSeconds = started > 0 ? SystemClock().Now() - started : 0;
    m_console.DrawProgress(FormatProgressLine(sample));
}

bool CCliRun::LoadProject(const std::string& projectDir, CProjectSettings& project) {
    const std::string dir = AbsoluteDir(projectDir);
    if (dir.size() > kMaxProjectDir) {
        m_console.Message("Sorry, the length of the project directory should be no longer than " +
                          std::to_string(kMaxProjectDir) + ".");
        return false;
    }
    const std::string confPath = dir + "/" + std::string(kProjectConfName);
    if (!project.LoadProjectFile(confPath, nullptr)) {
        m_console.Message("Error: Failed to open the file or it is in wrong format!");
        m_console.Message("  " + confPath);
        return false;
    }
    // project.conf leaves the folder to whoever found the file: it is the folder named here.
    project.ProjectDir = dir;
    return true;
}

void CCliRun::WaitForTheRun(CTaskManager& manager, CTaskMessageQueue& messages,
                            const CProjectSettings& project) {
    bool stopWanted = false;
    bool stopGiven = false;
    std::int64_t lastDraw = 0;
    while (manager.RunningCount() > 0 || manager.WaitingCount() > 0) {
        // While the break point is saved its progress reports answer stop requests.
        if (!m_savingBreakPoint && NewStopRequest()) {
            if (!stopWanted) {
                m_console.Message("Stopping the download of project \"" + project.Name +
                                  "\"...");
            } else {
                m_console.Message("Already stopping; the break point will be saved.");
            }
            stopWanted = true;
        }
        CDownloadTask* task = manager.TaskOf(project);
        // The Stop command is offered once the monitor runs; a stop asked for earlier waits.
        if (stopWanted && !stopGiven && task && task->flags.MonitorRunning.load()) {
            manager.StopProject(project);
            stopGiven = true;
        }
        if (const auto next = messages.WaitFor(kWaitSliceMs)) {
            manager.HandleTaskMessage(*next);
            task = manager.TaskOf(project);
        }
        const std::int64_t now = SystemClock().MonotonicMs();
        if (task && !m_savingBreakPoint && m_console.ShowsProgress() &&
            now - lastDraw >= kProgressEveryMs) {
            DrawProgress(*task);
            lastDraw = now;
        }
    }
    m_console.ClearProgress();
    // The end of the run may have queued the conversion of its record: the program ends only
    // when that is done (or cancelled by a stop request).
    if (!manager.ConversionQueue().IsIdle()) {
        m_console.Message("Converting the links of the downloaded pages...");
        WaitForConversions(manager.ConversionQueue(), m_console,
                           [this] { return NewStopRequest(); });
    }
}

CliExit CCliRun::ExitForEnd(const CProjectSettings& project, const std::string& projectDir) {
    if (!m_end) {
        return CliExit::Error;   // the task went without a word; never report that as success
    }
    if (m_end->message == TaskMessage::Stopped) {
        m_console.Message("The download of project \"" + project.Name +
                          "\" was stopped and its break point saved; \"torvex-cli resume " +
                          projectDir + "\" continues it.");
        return CliExit::Stopped;
    }
    if (m_end->message == TaskMessage::Finished) {
        return CliExit::Finished;
    }
    if (m_end->message == TaskMessage::StartFailed) {
        return CliExit::NotStarted;
    }
    return ExitForRunEnd(static_cast<int>(m_end->Code()), false);
}

CliExit CCliRun::Run(const std::string& projectDir, RunCommand command) {
    CConsolePrompter prompter(m_console, m_answerYes);
    CProjectSettings project;
    if (!LoadProject(projectDir, project)) {
        return CliExit::NotStarted;
    }

    // Declared after the project so that the manager (which stops and joins any task still
    // running when it goes) is gone before the settings its tasks point at.
    CTaskMessageQueue messages;
    CTaskManager manager(m_pipeline, messages, prompter, this);
    // The application settings give the default proxy of projects that use it, and whether a
    // finished run says so.
    CAppSettings app;
    app.Load(AppSettingsPath(), DefaultProjectsDir());
    CRunOptions options = RunOptionsFrom(app);
    options.MaxRunningTask = 1;
    manager.SetOptions(options);

    // A stop asked for while the project was being loaded still counts: the loop sees it and
    // gives it as soon as the run can take it.
    m_end.reset();
    m_savingBreakPoint = false;
    if (!manager.StartProject(project, command)) {
        return CliExit::NotStarted;   // declined, nothing to resume, or no valid address
    }
    WaitForTheRun(manager, messages, project);
    return ExitForEnd(project, projectDir);
}

} // namespace torvex
