#include "platform/LocalSocket.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace torvex {

namespace {

using Clock = std::chrono::steady_clock;

// The socket address of `path`. A path longer than sun_path is reached as
// /proc/self/fd/<folder>/<name>, with the folder held open in `dirFd` while the call runs.
bool MakeAddress(const std::string& path, sockaddr_un& address, int& dirFd) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    dirFd = -1;
    std::string target = path;
    if (target.size() >= sizeof address.sun_path) {
        const auto slash = path.rfind('/');
        if (slash == std::string::npos) {
            return false;
        }
        const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        dirFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) {
            return false;
        }
        target = "/proc/self/fd/" + std::to_string(dirFd) + path.substr(slash);
        if (target.size() >= sizeof address.sun_path) {
            ::close(dirFd);
            dirFd = -1;
            return false;
        }
    }
    std::memcpy(address.sun_path, target.c_str(), target.size() + 1);
    return true;
}

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for `events` on `fd` until `deadline`: true when ready.
bool WaitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int result = ::poll(&entry, 1, MillisecondsLeft(deadline));
        if (result > 0) {
            return true;
        }
        if (result == 0 || errno != EINTR) {
            return false;
        }
    }
}

} // namespace

int ListenLocalSocket(const std::string& path) {
    sockaddr_un address;
    int dirFd = -1;
    if (!MakeAddress(path, address, dirFd)) {
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int result = -1;
    if (fd >= 0) {
        ::unlink(address.sun_path);
        result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (result == 0) {
            ::chmod(address.sun_path, 0600);
            result = ::listen(fd, 4);
        }
    }
    if (dirFd >= 0) {
        ::close(dirFd);
    }
    if (result != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    return fd;
}

int AcceptLocalSocket(int listener, int timeoutMs) {
    if (!WaitReady(listener, POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs))) {
        return -1;
    }
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

int ConnectLocalSocket(const std::string& path) {
    sockaddr_un address;
    int dirFd = -1;
    if (!MakeAddress(path, address, dirFd)) {
        return -1;
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        int result = 0;
        do {
            result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (dirFd >= 0) {
        ::close(dirFd);
    }
    return fd;
}

bool SendLocalLine(int fd, std::string_view line, int timeoutMs) {
    std::string text(line);
    text += '\n';
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t sent = 0;
    while (sent < text.size()) {
        if (!WaitReady(fd, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        }
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        }
    }
    return true;
}

bool ReceiveLocalLine(int fd, std::string& line, std::size_t capacity, int timeoutMs) {
    line.clear();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!WaitReady(fd, POLLIN, deadline)) {
            return false;
        }
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n == 0) {
            return false;
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return false;
        }
        if (c == '\n') {
            return true;
        }
        if (line.size() >= capacity) {
            return false;
        }
        line += c;
    }
}

void CloseLocalSocket(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

} // namespace torvex
