#include "CChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace torvex::test {

CChildProcess::CChildProcess(const std::string& program,
                             const std::vector<std::string>& arguments,
                             const std::vector<std::string>& extraEnvironment,
                             bool errorToTerminal, ChildInput input) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const std::string& extra : extraEnvironment) {
            const auto equals = extra.find('=');
            if (text.compare(0, equals + 1, extra, 0, equals + 1) == 0) {
                replaced = true;
            }
        }
        if (!replaced) {
            environment.push_back(text);
        }
    }
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());

    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeEnds[2] = {-1, -1};
    if (input == ChildInput::Pipe && ::pipe2(pipeEnds, O_CLOEXEC) == 0) {
        std::signal(SIGPIPE, SIG_IGN);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);   // dup2 drops CLOEXEC
        m_input = pipeEnds[1];
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    const std::string outPath = m_dir / "stdout";
    const std::string errPath = m_dir / "stderr";
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::string terminalName;
    if (errorToTerminal) {
        m_terminal = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_terminal >= 0 && grantpt(m_terminal) == 0 && unlockpt(m_terminal) == 0) {
            terminalName = ptsname(m_terminal);
        }
    }
    if (!terminalName.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, terminalName.c_str(), O_RDWR | O_NOCTTY, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        m_pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[0] >= 0) {
        ::close(pipeEnds[0]);
    }
    if (m_terminal >= 0) {
        m_collector = std::thread([this] { CollectTerminal(); });
    }
}

void CChildProcess::CollectTerminal() {
    char buffer[4096];
    for (;;) {
        pollfd entry{m_terminal, POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0) {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_pid <= 0) {
                return;
            }
            continue;
        }
        const ssize_t got = ::read(m_terminal, buffer, sizeof buffer);
        if (got <= 0) {
            return;   // EIO once the child's side is closed
        }
        std::lock_guard<std::mutex> hold(m_lock);
        m_terminalText.append(buffer, static_cast<std::size_t>(got));
    }
}

CChildProcess::~CChildProcess() {
    CloseInput();
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        std::lock_guard<std::mutex> hold(m_lock);
        m_pid = -1;
    }
    if (m_collector.joinable()) {
        m_collector.join();
    }
    if (m_terminal >= 0) {
        ::close(m_terminal);
    }
}

bool CChildProcess::WriteInput(std::string_view bytes) {
    while (!bytes.empty() && m_input >= 0) {
        const ssize_t n = ::write(m_input, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return bytes.empty();
}

void CChildProcess::CloseInput() {
    if (m_input >= 0) {
        ::close(m_input);
        m_input = -1;
    }
}

std::string CChildProcess::OutputText() const { return ReadFileBytes(m_dir / "stdout"); }

void CChildProcess::SendSignal(int signal) {
    if (m_pid > 0) {
        kill(m_pid, signal);
    }
}

std::string CChildProcess::ErrorText() const {
    if (m_terminal >= 0) {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_terminalText;
    }
    return ReadFileBytes(m_dir / "stderr");
}

ChildResult CChildProcess::Wait(std::chrono::milliseconds limit) {
    CloseInput();
    ChildResult result;
    if (m_pid <= 0) {
        result.err = "the program could not be started";
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_pid = -1;
    }
    if (m_collector.joinable()) {
        m_collector.join();
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.out = ReadFileBytes(m_dir / "stdout");
    result.err = ErrorText();
    return result;
}

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& extraEnvironment,
                     std::chrono::milliseconds limit) {
    CChildProcess child(program, arguments, extraEnvironment);
    return child.Wait(limit);
}

} // namespace torvex::test
