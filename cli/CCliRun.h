#pragma once

#include <optional>
#include <string>

#include "cli/ExitStatus.h"
#include "engine/CSpeedMeter.h"
#include "engine/CTaskManager.h"

namespace torvex {

class CConsole;
class CTaskMessageQueue;
class IRunPipeline;
class IStopRequests;

// One "start", "update" or "resume" of torvex-cli: loads DIR/project.conf, runs it through the
// task manager that the desktop program uses, answers the manager's questions from --yes, hands
// every task report to the manager on this thread, redraws the progress line, turns a stop
// request (Ctrl-C, SIGTERM) into the Stop command, and maps the end to the exit status.
//
// Made and run on the CLI's main thread; the task's threads only reach it through the message
// queue. The pipeline, the stop requests and the console are not owned and outlive the run.
class CCliRun final : private ITaskManagerHooks {
public:
    CCliRun(IRunPipeline& pipeline, IStopRequests& stops, CConsole& console, bool answerYes);

    // Runs the project in `projectDir` and returns when its task has ended (the break point of
    // an interrupted run saved), or at once when it could not start.
    CliExit Run(const std::string& projectDir, RunCommand command);

    // How often the progress line is redrawn.
    static constexpr int kProgressEveryMs = 250;

private:
    void OnTaskMessage(const CTaskMessage& message, CDownloadTask& task) override;
    void OnBreakPointProgress(CDownloadTask& task, int position, int range) override;

    // Loads DIR/project.conf as the project in DIR; false (the user told why) when it cannot.
    bool LoadProject(const std::string& projectDir, CProjectSettings& project);
    // Hands every report to the manager, gives the Stop command, redraws the progress line,
    // until nothing runs or waits; then waits for a link conversion the run queued.
    void WaitForTheRun(CTaskManager& manager, CTaskMessageQueue& messages,
                       const CProjectSettings& project);
    // The exit status for the end message the run gave (and the word for a stopped run).
    CliExit ExitForEnd(const CProjectSettings& project, const std::string& projectDir);
    // Notices new stop requests; true when the user asked to stop since the last call.
    bool NewStopRequest();
    void DrawProgress(const CDownloadTask& task);

    IRunPipeline& m_pipeline;
    IStopRequests& m_stops;
    CConsole& m_console;
    bool m_answerYes;

    int m_stopsSeen = 0;
    bool m_savingBreakPoint = false;
    std::optional<CTaskMessage> m_end;   // the task's end message, once it came
    // The speed over the received bytes of the last three seconds.
    CSpeedMeter m_speed{3000};
};

} // namespace torvex
