#pragma once

namespace torvex {

// Exit statuses of torvex-cli.
enum class CliExit : int {
    Finished = 0,
    Error = 1,        // ended by an error: 201, 205, 206, 3xx, 4xx, 501
    Limit = 2,        // ended by a limit: 202 to 204
    Stopped = 3,
    NotStarted = 4,   // start failure 102 to 107, or a resume declined or with nothing to do
    FinishedWithFailures = 5,   // the run finished, but files failed (see the failure list)
    Usage = 64,
};

// The exit status for a run that ended with `endCode` (0 for a run that finished or was
// stopped) and `stopped` telling a user stop apart from a finished run.
CliExit ExitForRunEnd(int endCode, bool stopped);

} // namespace torvex
