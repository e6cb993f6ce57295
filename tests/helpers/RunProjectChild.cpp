// torvex_run_child DIR URL: runs a fresh project in DIR with the start address URL (backing up
// the latest record first) until the run ends or the process is killed. The engine tests start
// it as a process of its own to kill a run in the middle; a forked copy of a test process with
// threads must not start threads of its own.

#include <cstdio>

#include "support/PipelineRunner.h"
#include "support/RunFakes.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIR URL\n", argv[0]);
        return 2;
    }
    torvex::CProjectSettings project = torvex::test::ProjectIn(argv[1], {argv[2]});
    project.BackupLast = 1;
    torvex::test::CPipelineRunner runner;
    runner.Run(project, torvex::RunCommand::Start);
    return 0;
}
