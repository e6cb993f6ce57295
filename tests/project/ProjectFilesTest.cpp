#include "project/ProjectFiles.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
} // namespace torvex
