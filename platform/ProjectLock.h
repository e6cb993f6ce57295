#pragma once

#include <string>
#include <string_view>

namespace torvex {

// The file in a project directory whose lock says "a run of this project is going on".
constexpr std::string_view kProjectLockName = "project.lock";

// What TryAcquire found.
enum class ProjectLockOutcome : int {
    Acquired = 0,
    HeldElsewhere = 1,   // another task holds it, in this process or in another one
    Unavailable = 2,     // the lock file cannot be opened or created (no such directory, ...)
};

// The "running" lock of one project directory, shared by every copy of the desktop program and
// of torvex-cli: an advisory lock on the file "project.lock" that the system drops when the
// holding descriptor is closed, so a process that crashed or was killed never blocks the
// project. Two holders in one process exclude each other as well (each acquisition opens its
// own descriptor).
//
// Owned by the run that holds it (or by a maintenance command for its duration); one thread
// at a time per object. The descriptor is not inherited by programs the process starts.
class ProjectLock {
public:
    ProjectLock() = default;
    ~ProjectLock();
    ProjectLock(const ProjectLock&) = delete;
    ProjectLock& operator=(const ProjectLock&) = delete;
    ProjectLock(ProjectLock&& other) noexcept;
    ProjectLock& operator=(ProjectLock&& other) noexcept;

    // Takes the lock without blocking on a holder; a brief check by IsProjectLocked elsewhere
    // is waited out (at most about a tenth of a second). A lock held already is released first.
    ProjectLockOutcome TryAcquire(std::string_view projectDir);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Serialises the rewrites of project.log between every thread and process that edits it (a
// run writing its record, a record command deleting sections): a byte-range lock on the same
// "project.lock" file, independent of the running lock, held for the time of one read, change
// and rewrite. Blocks until the lock is free; when the lock file cannot be opened the guard
// holds nothing and the caller goes on (its directory checks report real trouble). Dropped by
// the system with the process, like the running lock.
class ProjectLogGuard {
public:
    explicit ProjectLogGuard(std::string_view projectDir);
    ~ProjectLogGuard();
    ProjectLogGuard(const ProjectLogGuard&) = delete;
    ProjectLogGuard& operator=(const ProjectLogGuard&) = delete;

    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Removes the lock file of `projectDir` unless a task holds the lock: the lock is taken for the
// removal, so no task can come to hold a lock on a file that is gone (it would exclude nobody).
// True when the file is gone afterwards.
bool RemoveProjectLockFile(std::string_view projectDir);

// True when some task (of this process or another) holds the lock of `projectDir`. Creates
// nothing; a missing lock file means nobody holds it.
bool IsProjectLocked(std::string_view projectDir);

// The lock file's path in `projectDir`.
std::string ProjectLockPath(std::string_view projectDir);

} // namespace torvex
