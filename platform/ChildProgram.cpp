#include "platform/ChildProgram.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace torvex {

namespace {

constexpr int kSliceMs = 100;

// Closes a descriptor when it goes.
class Descriptor {
public:
    Descriptor() = default;
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int &Ref() { return m_fd; }
    int Get() const { return m_fd; }
    void Close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

private:
    int m_fd = -1;
};

bool IsExecutableFile(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// This process's environment with `extra` laid over it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string> &extra) {
    std::vector<std::string> merged;
    for (char **entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string &own : extra) {
            if (own.compare(0, name.size() + 1, std::string(name) + "=") == 0) {
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            merged.emplace_back(text);
        }
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char *> Pointers(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string &text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Reads what is there on `fd` into `into` (kept to the output limit); false at its end.
bool Drain(int fd, std::string &into) {
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
        const std::size_t room = kMaxProgramOutput - std::min(kMaxProgramOutput, into.size());
        into.append(buffer, std::min(room, static_cast<std::size_t>(got)));
        return true;
    }
    return got < 0 && (errno == EINTR || errno == EAGAIN);
}

} // namespace

std::string ProgramSearchPath() {
    const char *path = std::getenv("PATH");
    return path ? std::string(path) : std::string();
}

std::string FindProgram(std::string_view name, std::string_view searchPath) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string_view::npos) {
        const std::string path(name);
        return IsExecutableFile(path) ? path : std::string();
    }
    while (true) {
        const std::size_t colon = searchPath.find(':');
        std::string dir(searchPath.substr(0, colon));
        if (dir.empty()) {
            dir = ".";
        }
        const std::string candidate = dir + "/" + std::string(name);
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        searchPath.remove_prefix(colon + 1);
    }
}

CProgramResult RunProgram(const std::string &program, const std::vector<std::string> &arguments,
                          const std::vector<std::string> &environment, int timeoutMs,
                          const std::atomic<bool> *abort) {
    CProgramResult result;
    Descriptor outRead, outWrite, errRead, errWrite;
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        return result;
    }
    outRead.Ref() = outPipe[0];
    outWrite.Ref() = outPipe[1];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        return result;
    }
    errRead.Ref() = errPipe[0];
    errWrite.Ref() = errPipe[1];

    std::vector<std::string> argumentTexts;
    argumentTexts.push_back(program);
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environmentTexts = MergedEnvironment(environment);
    std::vector<char *> argv = Pointers(argumentTexts);
    std::vector<char *> envp = Pointers(environmentTexts);

    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) {
        return result;
    }
    const bool prepared =
        ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
        ::posix_spawn_file_actions_adddup2(&actions, outWrite.Get(), 1) == 0 &&
        ::posix_spawn_file_actions_adddup2(&actions, errWrite.Get(), 2) == 0;
    pid_t pid = -1;
    const bool spawned = prepared && ::posix_spawn(&pid, program.c_str(), &actions, nullptr,
                                                   argv.data(), envp.data()) == 0;
    ::posix_spawn_file_actions_destroy(&actions);
    if (!spawned) {
        return result;
    }
    result.started = true;
    outWrite.Close();
    errWrite.Close();

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    bool open[2] = {true, true};
    const int fds[2] = {outRead.Get(), errRead.Get()};
    std::string *into[2] = {&result.out, &result.err};
    // Reads what the pipes hold, waiting at most `waitMs` for the first bytes.
    const auto pump = [&](int waitMs) {
        pollfd polled[2];
        nfds_t count = 0;
        int which[2];
        for (int i = 0; i < 2; ++i) {
            if (open[i]) {
                which[count] = i;
                polled[count++] = pollfd{fds[i], POLLIN, 0};
            }
        }
        if (count == 0) {
            return false;
        }
        if (::poll(polled, count, waitMs) <= 0) {
            return false;
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (polled[i].revents != 0 && !Drain(fds[which[i]], *into[which[i]])) {
                open[which[i]] = false;
            }
        }
        return true;
    };
    bool killed = false;
    int status = 0;
    bool reaped = false;
    while (!reaped) {
        if (!killed && abort && abort->load()) {
            result.aborted = true;
        } else if (!killed && std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
        }
        if (!killed && (result.aborted || result.timedOut)) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        if (!pump(kSliceMs) && !open[0] && !open[1]) {
            // Both pipes are closed: the end is near, wait for it.
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            reaped = true;
            break;
        }
        reaped = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    // What the program wrote just before it ended (a process it left behind may keep the pipes
    // open: only what is there now is read).
    for (int rounds = 0; rounds < 64 && pump(0); ++rounds) {
    }
    if (!killed && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    return result;
}

} // namespace torvex
