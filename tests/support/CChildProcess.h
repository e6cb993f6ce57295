#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "TempDir.h"

namespace torvex::test {

// How a child process ended: its exit status, or the signal that ended it (then exitStatus is
// -1); what it wrote to standard output and standard error.
struct ChildResult {
    int exitStatus = -1;
    int signal = 0;
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Where a child's standard input comes from.
enum class ChildInput { Null, Pipe };

// A program run by a test as a separate process: started with the test's environment plus
// `extraEnvironment` ("NAME=value"), with standard input from /dev/null and both outputs kept
// in files of a private temporary folder (so a child never blocks on a full pipe and standard
// error is never a terminal). Killed and waited for on destruction if still running. Used from
// one test thread. With `errorToTerminal`, standard error is a pseudo-terminal instead, whose
// output a thread of this object collects. With ChildInput::Pipe, standard input is a pipe that
// the test writes with WriteInput (SIGPIPE is then ignored in the test process, so a child that
// went away shows as a failed write).
class CChildProcess {
public:
    CChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& extraEnvironment, bool errorToTerminal = false,
                  ChildInput input = ChildInput::Null);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    void SendSignal(int signal);
    // Writes to the child's standard input; false when it cannot (no pipe, or the child closed
    // its end). CloseInput ends the input.
    bool WriteInput(std::string_view bytes);
    void CloseInput();
    // Standard output so far.
    std::string OutputText() const;
    // Waits for the end, at most `limit`; past it the child is killed and timedOut is set.
    ChildResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Standard error so far.
    std::string ErrorText() const;

private:
    void CollectTerminal();

    TempDir m_dir;
    int m_pid = -1;
    int m_input = -1;      // the write end of the input pipe
    int m_terminal = -1;   // the pseudo-terminal's master side
    std::thread m_collector;
    mutable std::mutex m_lock;
    std::string m_terminalText;
};

// Runs `program` to its end (at most `limit`) and gives what it did.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& extraEnvironment,
                     std::chrono::milliseconds limit = std::chrono::seconds(60));

} // namespace torvex::test
