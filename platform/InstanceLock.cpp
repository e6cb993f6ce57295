#include "platform/InstanceLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace torvex {

InstanceLock::~InstanceLock() {
    Release();
}

InstanceLockOutcome InstanceLock::TryAcquire(const std::string& path) {
    Release();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return InstanceLockOutcome::Unavailable;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? InstanceLockOutcome::HeldElsewhere : InstanceLockOutcome::Unavailable;
    }
    m_fd = fd;
    return InstanceLockOutcome::Acquired;
}

void InstanceLock::Release() {
    if (m_fd >= 0) {
        ::close(m_fd); // drops the lock
        m_fd = -1;
    }
}

} // namespace torvex
