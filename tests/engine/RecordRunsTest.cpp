// Whole runs of the real pipeline against a loopback site, watching what the records keep
// between them.
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/CRunPipeline.h"
#include "engine/CTaskManager.h"
#include "engine/IRunListener.h"
#include "engine/Records.h"
#include "platform/FileSystem.h"
#include "support/LoopbackSite.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CLoopbackSite;
using test::CPipelineRunner;
using test::HttpReply;
using test::CMessageLog;
using test::CScriptedPrompter;
using test::FixtureScript;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::string Reply(std::string_view type, std::string_view body) {
    return HttpReply("200 OK", type, body);
}

std::vector<std::int64_t> RecordTimes(const std::string& dir) {
    std::vector<std::int64_t> times;
    for (const CRecordInfo& record : ReadRecordList(dir)) {
        times.push_back(record.RecordTime);
    }
    return times;
}

TEST(RecordRuns, ThreeStartsWithBackupLastKeepTwoBackups) {
    CLoopbackSite site;
    site.Serve("/", Reply("text/html", "<a href='f.txt'>f</a>"));
    site.Serve("/f.txt", Reply("text/plain", "file"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
    project.BackupLast = 1;
    CPipelineRunner runner;
    for (int start = 0; start < 3; ++start) {
        ASSERT_EQ(runner.Run(project, RunCommand::Start).first, TaskMessage::Finished);
    }
    const auto records = ReadRecordList(dir.Str());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_FALSE(records[0].IsLatest);
    EXPECT_FALSE(records[1].IsLatest);
    EXPECT_TRUE(records[2].IsLatest);
    // The starts fall within a second or two; the backups' names must differ all the same.
    EXPECT_LT(records[0].RecordTime, records[1].RecordTime);
    EXPECT_LT(records[1].RecordTime, records[2].RecordTime);
    for (const CRecordInfo& record : records) {
        const std::string name = RecordName(record);
        EXPECT_TRUE(FileExists(dir / ("download/" + name + "/" + site.Host() + "/index.html")))
            << name;
        EXPECT_TRUE(FileExists(dir / ("logs/" + name))) << name;
        EXPECT_EQ(record.Status, static_cast<int>(TaskStatus::Finished));
    }
}

TEST(RecordRuns, UpdateRenewsTheRecordTimeAndResumeKeepsIt) {
    CLoopbackSite site;
    site.Serve("/", Reply("text/html", "<a href='f.txt'>f</a>"));
    site.Serve("/f.txt", Reply("text/plain", "file"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
    project.BackupLast = 1;
    CPipelineRunner runner;
    // Start on a project without project.log: one fresh latest record, nothing backed up.
    ASSERT_EQ(runner.Run(project, RunCommand::Start).first, TaskMessage::Finished);
    ASSERT_EQ(RecordTimes(dir.Str()).size(), 1u);
    EXPECT_FALSE(DirectoryExists(dir / "download/" + std::to_string(RecordTimes(dir.Str())[0])));

    // Pretend the record is older, so that a new time is seen.
    std::string log = ReadFileBytes(dir / "project.log");
    const std::string old = std::to_string(RecordTimes(dir.Str())[0]);
    log.replace(log.find("RecordTime=") + 11, old.size(), "1000000000");
    WriteFileBytes(dir / "project.log", log);

    ASSERT_EQ(runner.Run(project, RunCommand::Update).first, TaskMessage::Finished);
    const auto updated = RecordTimes(dir.Str());
    ASSERT_EQ(updated.size(), 1u);   // an update never backs up
    EXPECT_GT(updated[0], 1000000000);

    log = ReadFileBytes(dir / "project.log");
    const std::string renewed = std::to_string(updated[0]);
    log.replace(log.find("RecordTime=") + 11, renewed.size(), "1000000000");
    WriteFileBytes(dir / "project.log", log);
    runner.prompter.answers = {true};   // no break point: resume by the link maps
    ASSERT_EQ(runner.Run(project, RunCommand::Resume).first, TaskMessage::Finished);
    EXPECT_EQ(RecordTimes(dir.Str()), std::vector<std::int64_t>{1000000000});
}

// Files that only an older backup holds are taken over from it as long as it is among the nine
// newest backups.
TEST(RecordRuns, AFileOnlyAnOlderBackupHoldsIsCopiedFromTheNineNewest) {
    struct Case {
        const char* name;
        int updateMode;
        int backupsBetween;   // backups without the file between the one with it and the newest
        int fetchesOfTheFile;
    };
    const Case cases[] = {
        {"third-newest backup, UpdateMode 0", 0, 1, 1},
        {"third-newest backup, UpdateMode 1", 1, 1, 1},
        {"tenth-newest backup", 0, 8, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CLoopbackSite site;
        site.Serve("/", Reply("text/html", "<a href='f.txt'>f</a>"));
        site.Serve("/f.txt", Reply("text/plain", "file"));
        TempDir dir;
        CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
        project.BackupLast = 1;
        project.UpdateMode = c.updateMode;
        CPipelineRunner runner;
        ASSERT_EQ(runner.Run(project, RunCommand::Start).first, TaskMessage::Finished);
        // The record becomes a backup, and newer backups without the file follow it.
        const std::int64_t first = RecordTimes(dir.Str()).at(0);
        ASSERT_TRUE(BackupLatestRecord(dir.Str()));
        std::string log = ReadFileBytes(dir / "project.log");
        log.replace(log.find("[latest]"), 8, "[backup]");
        for (int i = 0; i <= c.backupsBetween; ++i) {
            const std::string name = std::to_string(first + 1 + i);
            log += "[backup]\nRecordTime=" + name + "\nStatus=3 \n";
            WriteFileBytes(dir / ("logs/" + name), "");
        }
        WriteFileBytes(dir / "project.log", log);

        site.Serve("/", Reply("text/html", "<a href='f.txt'>f</a>"));
        ASSERT_EQ(runner.Run(project, RunCommand::Start).first, TaskMessage::Finished);
        EXPECT_EQ(site.Count("/f.txt"), c.fetchesOfTheFile);
        EXPECT_EQ(ReadFileBytes(dir / ("download/latest/" + site.Host() + "/f.txt")), "file");
    }
}

TEST(RecordRuns, ARunKilledInTheMiddleLeavesRecordsThatLoadAndResume) {
    CLoopbackSite site;
    site.Serve("/", Reply("text/html", "<a href='a.txt'>a</a><a href='b.txt'>b</a>"
                                       "<a href='slow.txt'>s</a>"));
    site.Serve("/a.txt", Reply("text/plain", "a"));
    site.Serve("/b.txt", Reply("text/plain", "b"));
    site.Serve("/slow.txt", Reply("text/plain", "slow"));
    site.Hold("/slow.txt", true);
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
    project.BackupLast = 1;

    // The run goes on in a process of its own (a forked copy of a process with threads must
    // not start threads of its own).
    std::string program = TORVEX_RUN_CHILD_PATH;
    std::string projectDir = dir.Str();
    std::string url = site.Url("/");
    char* argv[] = {program.data(), projectDir.data(), url.data(), nullptr};
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execve(argv[0], argv, environ);
        ::_exit(127);
    }
    const std::string stored = dir / ("download/latest/" + site.Host() + "/");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Killed once the page is parsed and two of its files are stored (their status lines say
    // so: a file on disk alone may still be arriving), while the third hangs.
    const auto done = [&dir](const std::string& line) {
        return ReadFileBytes(dir / "logs/latest").find(line) != std::string::npos;
    };
    while (!(done("/index.html\t1\t1 ") && done("/a.txt\t0\t1 ") && done("/b.txt\t0\t1 ") &&
             site.Count("/slow.txt") > 0) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(IsProjectLocked(dir.Str()));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(FileExists(stored + "b.txt"));

    EXPECT_FALSE(IsProjectLocked(dir.Str()));
    const auto records = ReadRecordList(dir.Str());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Status, static_cast<int>(TaskStatus::Running));   // ended mid-run

    // No break point was saved: the resume goes by the link maps once the user agrees.
    site.Hold("/slow.txt", false);
    CPipelineRunner runner;
    runner.prompter.answers = {true};
    ASSERT_EQ(runner.Run(project, RunCommand::Resume).first, TaskMessage::Finished);
    EXPECT_EQ(ReadFileBytes(stored + "slow.txt"), "slow");
    for (const std::string path : {"/", "/a.txt", "/b.txt"}) {
        EXPECT_EQ(site.Count(path), 1) << path;   // stored before the kill: not fetched again
    }
    EXPECT_EQ(ReadRecordList(dir.Str()).at(0).Status, static_cast<int>(TaskStatus::Finished));
}

} // namespace
} // namespace torvex
