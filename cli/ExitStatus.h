#pragma once

namespace torvex {

// Exit statuses of torvex-cli.
enum class CliExit : int {
    Finished = 0,
    Error = 1,        // ended by an error: 201, 205, 206, 3xx, 4xx, 501
    Limit = 2,        // ended by a limit: 202 to 204
    Stopped = 3,
    NotStarted = 4,   // start failure 102 to 107, or a resume declined or with nothing to do
    Incomplete = 5,   // finished, but addresses it met could not be stored (listed on stderr)
    Usage = 64,
};

// The exit status for a run that ended with `endCode` (0 for a run that finished or was
// stopped) and `stopped` telling a user stop apart from a finished run.
CliExit ExitForRunEnd(int endCode, bool stopped);

} // namespace torvex
