#pragma once

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "RunFakes.h"
#include "engine/CRunPipeline.h"
#include "engine/CTaskManager.h"

namespace torvex::test {

// A front end's loop around the task manager and the real run pipeline: starts a project and
// hands every report back to the manager until the run has ended.
struct CPipelineRunner {
    CPipelineRunner();
    // The end message of the run and its code; StartFailed with code 0 when the project did not
    // start at all.
    std::pair<TaskMessage, int> Run(const CProjectSettings& project, RunCommand command);
    // Starts `project`, asks it to stop as soon as `stopNow` says so (asked between two looks
    // for reports, about every 20 ms) and hands reports back until the run has ended or 30 s
    // have passed. The run's end message, if one came; `stopAsked` tells whether the stop was.
    struct StoppedRun {
        std::optional<TaskMessage> end;
        bool stopAsked = false;
    };
    StoppedRun RunUntilStopped(const CProjectSettings& project,
                               const std::function<bool()>& stopNow);

    // Called on the runner's thread between two looks for reports (at least every 100 ms) while
    // the run's task exists, so a test can act on what it sees in the middle of a run.
    std::function<void(CTaskManager&, CDownloadTask&)> eachPass;
    // The failure list of the last run, taken at its end.
    std::vector<CFailedFile> failures;
    CMessageLog messages;
    CRunPipeline pipeline;
    CScriptedPrompter prompter;
    CTaskManager manager;
};

} // namespace torvex::test
