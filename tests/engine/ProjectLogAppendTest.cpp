#include "engine/ProjectLog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/FileEnv.h"
#include "platform/ProjectLock.h"
#include "support/CFaultFileEnv.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// True when another descriptor holds the byte that guards the rewrites of project.log.
bool LogGuardHeld(const std::string &projectDir) {
    const int fd = ::open(ProjectLockPath(projectDir).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &range) == 0 && range.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

// An append that a rewrite by another thread or process could overtake would be lost with the
// old file, or land in the middle of the new one: it takes the lock the rewrites take.
TEST(ProjectLogAppend, TheStartPageIsAppendedUnderTheRewritersLock) {
    TempDir dir;
    const std::string log = dir / "project.log";
    WriteFileBytes(log, "[latest]\nRecordTime=1         \n");
    test::CFaultFileEnv env;
    bool heldWhileAppending = false;
    env.beforeAppend = [&](const std::string &) { heldWhileAppending = LogGuardHeld(dir.Str()); };
    CScopedFileEnv scoped(env);
    ASSERT_TRUE(AppendStartPage(log, "h/index.html"));
    EXPECT_TRUE(heldWhileAppending);
    EXPECT_FALSE(LogGuardHeld(dir.Str()));
    EXPECT_EQ(ReadFileBytes(log), "[latest]\nRecordTime=1         \nStartPage=h/index.html\n");
}

} // namespace
} // namespace torvex
