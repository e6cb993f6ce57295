#include "project/ProjectFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::TempDir;
using test::WriteFileBytes;

TEST(DeleteProjectFiles, WithSettingsTakesTheEmptyDirectoryAlong) {
    TempDir dir;
    const std::string project = dir / "p";
    MakeDirectoryPath(project + "/download/latest");
    WriteFileBytes(project + "/project.conf", "TorvexVersion=1\n");
    WriteFileBytes(project + "/project.log", "[latest]\n");
    {
        ProjectLock lock;   // a run that has ended leaves its lock file behind
        ASSERT_EQ(lock.TryAcquire(project), ProjectLockOutcome::Acquired);
    }
    EXPECT_TRUE(DeleteProjectFiles(project, true));
    EXPECT_FALSE(DirectoryExists(project));
}

// A run that starts while the project's files are deleted either gets the lock before the lock
// file goes (and the file stays), or after (on the new file): never a lock on a removed file,
// which would let a second run take the project too.
TEST(DeleteProjectFiles, NeverLeavesTwoRunsHoldingTheLock) {
    TempDir dir;
    const std::string project = dir / "p";
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        MakeDirectoryPath(project + "/logs");   // keeps the directory
        WriteFileBytes(project + "/project.conf", "TorvexVersion=1\n");
        WriteFileBytes(project + "/project.lock", "");
        std::atomic<int> ready{0};
        ProjectLock first;
        ProjectLockOutcome outcome = ProjectLockOutcome::Unavailable;
        std::thread run([&] {
            ++ready;
            while (ready.load() < 2) {
            }
            outcome = first.TryAcquire(project);
        });
        ++ready;
        while (ready.load() < 2) {
        }
        DeleteProjectFiles(project, true);
        run.join();
        if (outcome != ProjectLockOutcome::Acquired) {
            continue;
        }
        // Another run would find the lock held (not a new, free file beside a removed one).
        ASSERT_TRUE(IsProjectLocked(project));
        first.Release();
    }
}

} // namespace
} // namespace torvex
