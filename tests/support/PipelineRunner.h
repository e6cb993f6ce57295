#pragma once

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

    // The failure list of the last run, taken at its end.
    std::vector<CFailedFile> failures;
    CMessageLog messages;
    CRunPipeline pipeline;
    CScriptedPrompter prompter;
    CTaskManager manager;
};

} // namespace torvex::test
