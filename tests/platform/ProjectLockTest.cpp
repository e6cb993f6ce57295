#include "platform/ProjectLock.h"

#include <chrono>
#include <csignal>
#include <future>
#include <optional>
#include <utility>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::TempDir;

// Another process that takes the running lock of `dir` (or, with `logGuard`, the project.log
// guard) and keeps it until it is killed or told to go.
class LockHolderProcess {
public:
    explicit LockHolderProcess(const std::string& dir, bool logGuard = false) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            ProjectLock lock;
            std::optional<ProjectLogGuard> guard;
            char state = 'n';
            if (logGuard) {
                guard.emplace(dir);
                state = guard->IsHeld() ? 'y' : 'n';
            } else {
                state = lock.TryAcquire(dir) == ProjectLockOutcome::Acquired ? 'y' : 'n';
            }
            (void)!::write(ready[1], &state, 1);
            char ignored = 0;
            (void)!::read(release[0], &ignored, 1);   // returns when told or when the parent dies
            ::_exit(0);   // nothing of the parent's test state may run down here
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char state = 0;
        m_holds = m_pid > 0 && ::read(ready[0], &state, 1) == 1 && state == 'y';
        ::close(ready[0]);
    }
    ~LockHolderProcess() {
        if (m_release >= 0) {
            ::close(m_release);
        }
        Reap();
    }
    LockHolderProcess(const LockHolderProcess&) = delete;
    LockHolderProcess& operator=(const LockHolderProcess&) = delete;

    bool Holds() const { return m_holds; }
    void Kill() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Reap();
        }
    }
    // Lets the holder end normally.
    void Release() {
        if (m_release >= 0) {
            ::close(m_release);
            m_release = -1;
        }
        Reap();
    }

private:
    void Reap() {
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_holds = false;
};

TEST(ProjectLock, AHolderInAnotherProcessBlocksUntilItIsKilled) {
    TempDir dir;
    LockHolderProcess holder(dir.Str());
    ASSERT_TRUE(holder.Holds());
    EXPECT_TRUE(IsProjectLocked(dir.Str()));
    ProjectLock mine;
    EXPECT_EQ(mine.TryAcquire(dir.Str()), ProjectLockOutcome::HeldElsewhere);
    EXPECT_FALSE(mine.IsHeld());

    holder.Kill();   // a crashed run must not block the project
    EXPECT_FALSE(IsProjectLocked(dir.Str()));
    EXPECT_EQ(mine.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);
}

TEST(ProjectLock, AnotherProcessSeesThisProcessHoldingIt) {
    TempDir dir;
    ProjectLock mine;
    ASSERT_EQ(mine.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);
    {
        LockHolderProcess other(dir.Str());
        EXPECT_FALSE(other.Holds());
    }
    mine.Release();
    LockHolderProcess other(dir.Str());
    EXPECT_TRUE(other.Holds());
    other.Release();
    EXPECT_FALSE(IsProjectLocked(dir.Str()));
}

TEST(ProjectLock, TwoHoldersInOneProcessExcludeEachOther) {
    TempDir dir;
    ProjectLock first;
    ProjectLock second;
    EXPECT_FALSE(IsProjectLocked(dir.Str()));   // no lock file yet: nobody holds it
    EXPECT_FALSE(FileExists(ProjectLockPath(dir.Str())));
    ASSERT_EQ(first.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);
    EXPECT_EQ(second.TryAcquire(dir.Str()), ProjectLockOutcome::HeldElsewhere);
    EXPECT_TRUE(IsProjectLocked(dir.Str()));
    ProjectLock moved(std::move(first));
    EXPECT_TRUE(IsProjectLocked(dir.Str()));
    moved.Release();
    EXPECT_EQ(second.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);
}

TEST(ProjectLogGuard, WaitsForAnotherProcessAndIgnoresTheRunningLock) {
    TempDir dir;
    ProjectLock running;   // a run of the project may rewrite project.log all the same
    ASSERT_EQ(running.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);
    LockHolderProcess holder(dir.Str(), true);
    ASSERT_TRUE(holder.Holds());
    auto waiting = std::async(std::launch::async, [&dir] {
        const ProjectLogGuard guard(dir.Str());
        return guard.IsHeld();
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    holder.Release();
    EXPECT_TRUE(waiting.get());
    EXPECT_FALSE(ProjectLogGuard(dir / "no/such/dir").IsHeld());
}

TEST(ProjectLock, AMissingDirectoryIsUnavailable) {
    TempDir dir;
    ProjectLock lock;
    EXPECT_EQ(lock.TryAcquire(dir / "no/such/dir"), ProjectLockOutcome::Unavailable);
    EXPECT_FALSE(IsProjectLocked(dir / "no/such/dir"));
}

} // namespace
} // namespace torvex
