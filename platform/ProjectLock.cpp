#include "platform/ProjectLock.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvex {

namespace {

constexpr int kAcquireAttempts = 20;
constexpr auto kAcquirePause = std::chrono::milliseconds(5);

// flock, retried when a signal interrupts it.
int FlockRetrying(int fd, int operation) {
    int result = 0;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

// True when `fd` is still the file named `path`: a lock taken on a file that was removed (or
// replaced) after it was opened excludes nobody, since the next run opens the new file.
bool IsCurrentFile(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

std::string ProjectLockPath(std::string_view projectDir) {
    std::string path(projectDir);
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += kProjectLockName;
    return path;
}

ProjectLock::~ProjectLock() { Release(); }

ProjectLock::ProjectLock(ProjectLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

ProjectLock& ProjectLock::operator=(ProjectLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

ProjectLockOutcome ProjectLock::TryAcquire(std::string_view projectDir) {
    Release();
    const std::string path = ProjectLockPath(projectDir);
    // A shared lock taken by IsProjectLocked lasts a few microseconds; a run's exclusive lock
    // lasts for the run. A short series of attempts tells the two apart.
    for (int attempt = 0; attempt < kAcquireAttempts; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            return ProjectLockOutcome::Unavailable;
        }
        if (FlockRetrying(fd, LOCK_EX | LOCK_NB) == 0) {
            if (IsCurrentFile(fd, path)) {
                m_fd = fd;
                return ProjectLockOutcome::Acquired;
            }
            ::close(fd);   // removed while it was being locked: the next open finds the new one
            continue;
        }
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (!held) {
            return ProjectLockOutcome::Unavailable;
        }
        std::this_thread::sleep_for(kAcquirePause);
    }
    return ProjectLockOutcome::HeldElsewhere;
}

void ProjectLock::Release() {
    if (m_fd >= 0) {
        // Closing the descriptor drops the lock; the file stays for the next run.
        ::close(m_fd);
        m_fd = -1;
    }
}

ProjectLogGuard::ProjectLogGuard(std::string_view projectDir) {
    const std::string path = ProjectLockPath(projectDir);
    for (int attempt = 0; attempt < kAcquireAttempts; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            return;
        }
        // An open-file-description lock: it excludes other descriptors of this process too,
        // and does not touch the whole-file lock that marks a running project.
        struct flock range {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = 0;
        range.l_len = 1;
        int result = 0;
        do {
            result = ::fcntl(fd, F_OFD_SETLKW, &range);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            ::close(fd);
            return;
        }
        if (IsCurrentFile(fd, path)) {
            m_fd = fd;
            return;
        }
        ::close(fd);   // the file was removed while this waited for it
    }
}

ProjectLogGuard::~ProjectLogGuard() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool RemoveProjectLockFile(std::string_view projectDir) {
    const std::string path = ProjectLockPath(projectDir);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT;
    }
    // One try: a holder (or a brief look by IsProjectLocked) keeps the file, which is harmless.
    // Removed while locked: whoever opened the file meanwhile finds, once it gets the lock, that
    // its file is gone, and opens the new one.
    bool removed = false;
    if (FlockRetrying(fd, LOCK_EX | LOCK_NB) == 0 && IsCurrentFile(fd, path)) {
        removed = ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return removed;
}

bool IsProjectLocked(std::string_view projectDir) {
    const std::string path = ProjectLockPath(projectDir);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = FlockRetrying(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace torvex
