#pragma once

#include <string>

namespace torvex {

// The lock that keeps one running copy of the desktop program per working directory: an
// advisory lock on a file there, dropped by the system when the process ends (even by a
// crash), so a stale file never blocks a new start. Owned by the program's start-up for the
// life of the process; one thread at a time.
// What TryAcquire found.
enum class InstanceLockOutcome : int {
    Acquired = 0,
    HeldElsewhere = 1, // another running copy has it
    Unavailable = 2,   // the lock file cannot be opened or created
};

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock on `path` (created when missing) without waiting.
    InstanceLockOutcome TryAcquire(const std::string& path);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace torvex
