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
#include "net/CHttpTransaction.h"
#include "net/CTlsContext.h"
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

CCliRun::CCliRun(IRunPipeline& pipeline, IStopRequests& stops, CConsole& console,
                 CCliRunOptions options)
    : m_pipeline(pipeline), m_stops(stops), m_console(console), m_options(std::move(options)) {}

bool CCliRun::NewStopRequest() {
    const int count = m_stops.StopRequestCount();
    if (count == m_stopsSeen) {
        return false;
    }
    m_stopsSeen = count;
    return true;
}

void CCliRun::OnTaskMessage(const CTaskMessage& message, CDownloadTask& task) {
    if (message.IsEnd()) {
        m_end = message;
        if (message.message != TaskMessage::StartFailed) {
            m_summary = SummarizeRun(task, message.message);
        }
    }
}

void CCliRun::OnBreakPointProgress(CDownloadTask& task, int position, int range) {
    if (position == range) {
        // The last report comes after the save (the manager has told the user when it failed).
        m_breakPointUnsaved = task.BreakPointDraft().failed;
    }
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

void CCliRun::DrawProgress(const CDownloadTask& task, bool stopping) {
    ProgressSample sample;
    sample.fetched = task.counters.FilesThisRun.load();
    sample.takenOver = task.counters.Passed.load();
    sample.failed = task.Failures().Count();
    sample.queued = task.DiscoveredQueue().Count() + task.DownloadQueue().Count() +
                    task.ParseQueue().Count() + task.CopyQueue().Count();
    sample.bytes = task.receivedBytes.load();
    const std::int64_t now = SystemClock().MonotonicMs();
    sample.bytesPerSecond = m_speed.Rate(now, sample.bytes);
    sample.filesPerSecond = m_fileRate.Rate(now, sample.fetched);
    const std::int64_t started = task.StartTime();
    sample.elapsedSeconds = started > 0 ? SystemClock().Now() - started : 0;
    sample.stopping = stopping || task.flags.Stopping.load();
    m_console.DrawProgress(FormatProgressLine(sample, StandardErrorColumns()));
}

void CCliRun::ShowFileReports(CTaskMessageQueue& messages) {
    for (const CFileReport& report : messages.TakeFileReports()) {
        if (report.failed) {
            m_console.Message("failed  " + report.url + ": " + report.reason);
        } else {
            m_console.Message("fetched " + report.url + " (" + ByteCountText(report.bytes) + ")");
        }
    }
}

void CCliRun::ShowSummary(const CRunSummary& summary) {
    for (const std::string& line : RunSummaryLines(summary)) {
        m_console.Message(line);
    }
    if (!m_options.verbose || summary.failures.empty()) {
        return;
    }
    m_console.Message("Failed files:");
    for (const CFailedFile& failure : summary.failures) {
        m_console.Message("  " + failure.url + ": " + failure.reason);
    }
    const int more = summary.failed - static_cast<int>(summary.failures.size());
    if (more > 0) {
        m_console.Message("  ... and " + std::to_string(more) + " more in " +
                          summary.failureList);
    }
}

bool CCliRun::LoadProject(const std::string& projectDir, CProjectSettings& project) {
    const std::string dir = AbsoluteDir(projectDir);
    if (dir.size() > kMaxProjectDir) {
        m_console.Error("Sorry, the length of the project directory should be no longer than " +
                        std::to_string(kMaxProjectDir) + ".");
        return false;
    }
    const std::string confPath = dir + "/" + std::string(kProjectConfName);
    if (!project.LoadProjectFile(confPath, nullptr)) {
        m_console.Error("Error: Failed to open the file or it is in wrong format!");
        m_console.Error("  " + confPath);
        return false;
    }
    // project.conf leaves the folder to whoever found the file: it is the folder named here.
    project.ProjectDir = dir;
    return true;
}

void CCliRun::WaitForTheRun(CTaskManager& manager, CTaskMessageQueue& messages,
                            const CProjectSettings& project) {
    const std::int64_t fullBefore = CTlsContext::ProcessFullHandshakes();
    const std::int64_t resumedBefore = CTlsContext::ProcessResumedHandshakes();
    const std::int64_t openedBefore = CHttpTransaction::ProcessConnectionsOpened();
    const std::int64_t sentBefore = CHttpTransaction::ProcessRequestsSent();
    const std::int64_t aheadBefore = CHttpTransaction::ProcessRequestsSentAhead();
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
        ShowFileReports(messages);
        const std::int64_t now = SystemClock().MonotonicMs();
        if (task && !m_end && !m_savingBreakPoint && m_console.ShowsProgress() &&
            now - lastDraw >= kProgressEveryMs) {
            DrawProgress(*task, stopWanted);
            lastDraw = now;
        }
    }
    ShowFileReports(messages);
    m_console.ClearProgress();
    // The end of the run may have queued the conversion of its record: the program ends only
    // when that is done (or cancelled by a stop request).
    if (!manager.ConversionQueue().IsIdle()) {
        m_console.Message("Converting the links of the downloaded pages...");
        WaitForConversions(manager.ConversionQueue(), m_console,
                           [this] { return NewStopRequest(); });
    }
    const std::int64_t resumed = CTlsContext::ProcessResumedHandshakes() - resumedBefore;
    const std::int64_t full = CTlsContext::ProcessFullHandshakes() - fullBefore;
    if (resumed + full > 0) {
        m_console.Message("Secure connections: " + std::to_string(full) +
                          " with a full handshake, " + std::to_string(resumed) + " resumed.");
    }
    if (project.KeepAlive) {
        m_console.Message(
            "Connections: " +
            std::to_string(CHttpTransaction::ProcessConnectionsOpened() - openedBefore) +
            " opened for " + std::to_string(CHttpTransaction::ProcessRequestsSent() - sentBefore) +
            " requests, " +
            std::to_string(CHttpTransaction::ProcessRequestsSentAhead() - aheadBefore) +
            " of them sent ahead");
    }
}

CliExit CCliRun::ExitForEnd(const CProjectSettings& project, const std::string& projectDir) {
    if (!m_end) {
        return CliExit::Error;   // the task went without a word; never report that as success
    }
    if (m_summary) {
        ShowSummary(*m_summary);
    }
    if (m_breakPointUnsaved) {
        // The run cannot be resumed from where it stopped: never a plain stop or success.
        return CliExit::Error;
    }
    if (m_end->message == TaskMessage::Stopped) {
        m_console.Message("The download of project \"" + project.Name +
                          "\" was stopped and its break point saved; \"" +
                          m_options.commandName + " resume " + projectDir + "\" continues it.");
        return CliExit::Stopped;
    }
    if (m_end->message == TaskMessage::Finished) {
        const bool failures = m_summary && m_summary->failed > 0;
        return failures ? CliExit::FinishedWithFailures : CliExit::Finished;
    }
    if (m_end->message == TaskMessage::StartFailed) {
        return CliExit::NotStarted;
    }
    return ExitForRunEnd(static_cast<int>(m_end->Code()), false);
}

CliExit CCliRun::Run(const std::string& projectDir, RunCommand command) {
    CConsolePrompter prompter(m_console, m_options.answerYes);
    CProjectSettings project;
    if (!LoadProject(projectDir, project)) {
        return CliExit::NotStarted;
    }

    // Declared after the project so that the manager (which stops and joins any task still
    // running when it goes) is gone before the settings its tasks point at.
    CTaskMessageQueue messages(m_options.verbose);
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
    m_summary.reset();
    m_savingBreakPoint = false;
    m_breakPointUnsaved = false;
    if (!manager.StartProject(project, command)) {
        return CliExit::NotStarted;   // declined, nothing to resume, or no valid address
    }
    WaitForTheRun(manager, messages, project);
    return ExitForEnd(project, projectDir);
}

} // namespace torvex
