#include "cli/ExitStatus.h"

namespace torvex {

CliExit ExitForRunEnd(int endCode, bool stopped) {
    if (endCode >= 102 && endCode <= 107) {
        return CliExit::NotStarted;
    }
    if (endCode >= 202 && endCode <= 204) {
        return CliExit::Limit;
    }
    if (endCode != 0) {
        return CliExit::Error;
    }
    return stopped ? CliExit::Stopped : CliExit::Finished;
}

} // namespace torvex
