#pragma once

#include <functional>
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
