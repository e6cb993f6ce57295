#include "PipelineRunner.h"

#include <chrono>

#include "engine/IRunListener.h"

namespace torvex::test {

CPipelineRunner::CPipelineRunner() : manager(pipeline, messages, prompter) {
    CRunOptions options;
    options.EndNotify = false;
    manager.SetOptions(options);
}

std::pair<int, int> CPipelineRunner::Run(const CProjectSettings& project, RunCommand command) {
    if (!manager.StartProject(project, command)) {
        return {0, 0};
    }
    std::pair<int, int> end{0, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (manager.RunningCount() > 0 && std::chrono::steady_clock::now() < deadline) {
        CMessageLog::Message m;
        if (messages.Take(m, 100)) {
            if (m.message >= WM_TASK_STOPPED && m.message <= WM_TASK_START_FAILED) {
                end = {m.message, m.code};
            }
            manager.HandleTaskMessage(m.message, m.task, m.code);
        }
    }
    // The end of the run may have queued the conversion of its record; a front end lets it end.
    manager.ConversionQueue().WaitIdle(30000);
    return end;
}

} // namespace torvex::test
