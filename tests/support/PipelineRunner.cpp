#include "PipelineRunner.h"

#include <chrono>

#include "engine/IRunListener.h"

namespace torvex::test {

CPipelineRunner::CPipelineRunner() : manager(pipeline, messages, prompter) {
    CRunOptions options;
    options.EndNotify = false;
    manager.SetOptions(options);
}

std::pair<TaskMessage, int> CPipelineRunner::Run(const CProjectSettings& project,
                                                 RunCommand command) {
    std::pair<TaskMessage, int> end{TaskMessage::StartFailed, 0};
    failures.clear();
    if (!manager.StartProject(project, command)) {
        return end;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (manager.RunningCount() > 0 && std::chrono::steady_clock::now() < deadline) {
        CTaskMessage m;
        if (messages.Take(m, 100)) {
            if (m.IsEnd()) {
                end = std::make_pair(m.message, static_cast<int>(m.Code()));
                if (CDownloadTask* task = manager.TaskOf(project)) {
                    failures = task->Failures().Items();
                }
            }
            manager.HandleTaskMessage(m);
        }
        if (eachPass && end.first == TaskMessage::StartFailed) {
            if (CDownloadTask* task = manager.TaskOf(project)) {
                eachPass(manager, *task);
            }
        }
    }
    // The end of the run may have queued the conversion of its record; a front end lets it end.
    manager.ConversionQueue().WaitIdle(30000);
    return end;
}

CPipelineRunner::StoppedRun CPipelineRunner::RunUntilStopped(const CProjectSettings& project,
                                                             const std::function<bool()>& stopNow) {
    StoppedRun run;
    if (!manager.StartProject(project, RunCommand::Start)) {
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (manager.RunningCount() > 0 && std::chrono::steady_clock::now() < deadline) {
        if (!run.stopAsked && stopNow()) {
            manager.StopProject(project);
            run.stopAsked = true;
        }
        CMessageLog::Message m;
        if (messages.Take(m, 20)) {
            if (m.IsEnd()) {
                run.end = m.message;
            }
            manager.HandleTaskMessage(m);
        }
    }
    return run;
}

} // namespace torvex::test
