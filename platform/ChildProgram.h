#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

// How a program run by RunProgram ended: its exit status (-1 when it could not be started, was
// ended by a signal or was killed), and what it wrote on standard output and standard error, each
// cut to kMaxProgramOutput bytes.
struct CProgramResult {
    bool started = false;
    int exitStatus = -1;
    bool timedOut = false; // killed at the time limit
    bool aborted = false;  // killed because `abort` was set
    std::string out;
    std::string err;
};

constexpr std::size_t kMaxProgramOutput = 256 * 1024;

// The full path of the executable `name` in the directories of `searchPath` (":"-separated, as
// PATH); empty when none has it. A name with a "/" is taken as a path.
std::string FindProgram(std::string_view name, std::string_view searchPath);
// The PATH of this process ("" when unset).
std::string ProgramSearchPath();

// Runs the program file `program` with `arguments` and waits for its end, at most `timeoutMs`
// milliseconds and no longer than `abort` (checked every 100 ms) stays false; past either the
// program is killed. Its standard input is /dev/null; `environment` ("NAME=value") is added to
// this process's environment, replacing variables of the same name. Never throws; any thread may
// call it, and it blocks the caller for the program's time.
CProgramResult RunProgram(const std::string &program, const std::vector<std::string> &arguments,
                          const std::vector<std::string> &environment, int timeoutMs,
                          const std::atomic<bool> *abort = nullptr);

} // namespace torvex
