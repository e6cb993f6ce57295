#include "platform/ChildProgram.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace torvex {
namespace {

using test::TempDir;
using test::WriteFileBytes;

std::string Script(const TempDir &dir, const std::string &name, const std::string &body) {
    const std::string path = dir / name;
    WriteFileBytes(path, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

TEST(ChildProgram, KeepsBothOutputsTheExitStatusAndTheAddedEnvironment) {
    TempDir dir;
    const std::string program =
        Script(dir, "prog", "echo \"out $1 $ADDED\"; echo err >&2; exit 7\n");
    const CProgramResult result = RunProgram(program, {"arg"}, {"ADDED=yes"}, 20000);
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitStatus, 7);
    EXPECT_EQ(result.out, "out arg yes\n");
    EXPECT_EQ(result.err, "err\n");
    EXPECT_FALSE(result.timedOut);
}

TEST(ChildProgram, FailuresToStartStopsAndFloodsAreReportedNotThrown) {
    TempDir dir;
    SCOPED_TRACE("a missing program");
    CProgramResult result = RunProgram(dir / "missing", {}, {}, 1000);
    EXPECT_EQ(result.exitStatus, -1);

    SCOPED_TRACE("past the time limit the program is killed");
    const auto begin = std::chrono::steady_clock::now();
    result = RunProgram(Script(dir, "slow", "exec sleep 30\n"), {}, {}, 300);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.exitStatus, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20));

    SCOPED_TRACE("an abort ends it too");
    std::atomic<bool> abort{false};
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        abort = true;
    });
    result = RunProgram(dir / "slow", {}, {}, 60000, &abort);
    aborter.join();
    EXPECT_TRUE(result.aborted);

    SCOPED_TRACE("output beyond the limit is dropped, the program still ends");
    result = RunProgram(Script(dir, "flood", "head -c 1000000 /dev/zero\n"), {}, {}, 20000);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out.size(), kMaxProgramOutput);
}

TEST(ChildProgram, FindsProgramsOnTheSearchPathInOrder) {
    TempDir first;
    TempDir second;
    Script(second, "tool", "exit 0\n");
    EXPECT_EQ(FindProgram("tool", first.Str() + ":" + second.Str()), second / "tool");
    Script(first, "tool", "exit 0\n");
    EXPECT_EQ(FindProgram("tool", first.Str() + ":" + second.Str()), first / "tool");
    WriteFileBytes(first / "plain", "not executable");
    EXPECT_EQ(FindProgram("plain", first.Str()), "");
    EXPECT_EQ(FindProgram("tool", ""), "");
    EXPECT_EQ(FindProgram("", first.Str()), "");
}

} // namespace
} // namespace torvex
