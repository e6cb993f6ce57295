#include "engine/Records.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CDownloadTask.h"
#include "engine/IRunListener.h"
#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CFakeClock;
using test::CFakeFreeSpace;
using test::CMessageLog;
using test::CStandInPipeline;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// The files a record `name` has on disk: a stored page, its link map and the three logs.
void MakeRecordFiles(const TempDir& dir, const std::string& name) {
    MakeDirectoryPath(dir / ("download/" + name + "/h"));
    MakeDirectoryPath(dir / ("linkmap/" + name + "/h"));
    MakeDirectoryPath(dir / "logs");
    WriteFileBytes(dir / ("download/" + name + "/h/a.html"), "page of " + name);
    WriteFileBytes(dir / ("linkmap/" + name + "/h/a.html"), "map of " + name);
    WriteFileBytes(dir / ("logs/" + name), "log of " + name);
    WriteFileBytes(dir / ("logs/" + name + ".s"), "break of " + name);
    WriteFileBytes(dir / ("logs/" + name + ".tmp"), "seen of " + name);
}

bool HasRecordFiles(const TempDir& dir, const std::string& name) {
    return ReadFileBytes(dir / ("download/" + name + "/h/a.html")) == "page of " + name &&
           DirectoryExists(dir / ("linkmap/" + name + "/h")) &&
           FileExists(dir / ("logs/" + name));
}

std::string Section(const std::string& header, long recordTime, int status = 3) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "[%s]\nRecordTime=%-10ld\nStartTime=%-10ld\nStatus=%-2d\nStartPage=h/a.html\n"
                  "EndTime=%-10ld\nElapsedTime=5         \nTotalFiles=1         \n"
                  "Downloaded=1         \n",
                  header.c_str(), recordTime, recordTime, status, recordTime + 5);
    return text;
}

// A project with backups named `backups` (oldest first) and a latest record.
void MakeProject(const TempDir& dir, const std::vector<long>& backups, long latest) {
    std::string log;
    for (long time : backups) {
        log += Section("backup", time);
        MakeRecordFiles(dir, std::to_string(time));
    }
    log += Section("latest", latest);
    MakeRecordFiles(dir, "latest");
    WriteFileBytes(dir / "project.log", log);
    WriteFileBytes(dir / "project.conf", "TorvexVersion=1\n");
    WriteFileBytes(dir / "cookies", "c");
    WriteFileBytes(dir / "cookies.tmp", "c");   // left by a save that was cut short
}

std::vector<std::string> Names(const std::vector<CRecordInfo>& records) {
    std::vector<std::string> names;
    for (const CRecordInfo& record : records) {
        names.push_back(RecordName(record));
    }
    return names;
}

// One Start of a real task on the stand-in pipeline, which keeps the run pipeline's own backup
// and record-name steps.
struct StartRun {
    StartRun(const std::string& dir, std::int64_t now)
        : task(Settings(dir), RunMode::Fresh, CTaskEnvironment{&messages, &pipeline, &space,
                                                               &clock}) {
        clock.now = now;
        task.Launch();
        EXPECT_TRUE(messages.WaitForEnd());
    }
    static CProjectSettings Settings(const std::string& dir) {
        CProjectSettings settings = ProjectIn(dir, {"http://h/a.html"});
        settings.BackupLast = 1;
        return settings;
    }
    CMessageLog messages;
    CStandInPipeline pipeline;
    CFakeFreeSpace space;
    CFakeClock clock;
    CDownloadTask task;
};

TEST(RecordBackup, NameComesFromRecordTimeElseStartTimeElseTheFiles) {
    struct Case {
        const char* name;
        const char* log;   // null: no project.log
        std::string expected;
    };
    const Case cases[] = {
        {"RecordTime", "[latest]\nRecordTime=123       \nStartTime=456\n", "123"},
        {"StartTime without RecordTime", "[latest]\nStartTime=456       \n", "456"},
        {"a RecordTime that is no number", "[latest]\nRecordTime=../../x\nStartTime=77\n", "77"},
        {"no project.log", nullptr, "mtime"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        MakeRecordFiles(dir, "latest");
        if (c.log) {
            WriteFileBytes(dir / "project.log", c.log);
        }
        const std::string expected =
            c.expected == "mtime" ? std::to_string(FileModificationTime(dir / "download/latest"))
                                  : c.expected;
        std::string name;
        ASSERT_TRUE(BackupLatestRecord(dir.Str(), &name));
        EXPECT_EQ(name, expected);
        EXPECT_TRUE(HasRecordFiles(dir, "latest") == false);
        EXPECT_EQ(ReadFileBytes(dir / ("download/" + expected + "/h/a.html")), "page of latest");
        EXPECT_EQ(ReadFileBytes(dir / ("linkmap/" + expected + "/h/a.html")), "map of latest");
        EXPECT_EQ(ReadFileBytes(dir / ("logs/" + expected)), "log of latest");
        EXPECT_EQ(ReadFileBytes(dir / ("logs/" + expected + ".s")), "break of latest");
        EXPECT_EQ(ReadFileBytes(dir / ("logs/" + expected + ".tmp")), "seen of latest");
    }
}

TEST(RecordBackup, UndoesTheFirstRenameWhenTheLinkMapsCannotMove) {
    TempDir dir;
    MakeRecordFiles(dir, "latest");
    WriteFileBytes(dir / "project.log", "[latest]\nRecordTime=500\n");
    // Something already holds the linkmap name the backup needs.
    MakeDirectoryPath(dir / "linkmap/500/other");
    EXPECT_FALSE(BackupLatestRecord(dir.Str()));
    EXPECT_TRUE(HasRecordFiles(dir, "latest"));
    EXPECT_FALSE(DirectoryExists(dir / "download/500"));
    EXPECT_TRUE(DirectoryExists(dir / "linkmap/500/other"));
}

TEST(RecordBackup, EmptyDirectoriesOfABrokenOffStartDoNotBlockTheNextOne) {
    TempDir dir;
    // A start that renamed the record and then ended before rewriting project.log.
    MakeRecordFiles(dir, "500");
    MakeDirectoryPath(dir / "download/latest");
    MakeDirectoryPath(dir / "linkmap/latest");
    WriteFileBytes(dir / "project.log", "[latest]\nRecordTime=500\n");
    EXPECT_TRUE(BackupLatestRecord(dir.Str()));
    EXPECT_TRUE(HasRecordFiles(dir, "500"));
    EXPECT_FALSE(DirectoryExists(dir / "download/latest"));
}

TEST(RecordBegin, AFreshRecordTimeStaysAboveEveryBackupName) {
    struct Case {
        const char* name;
        const char* log;
        bool backupLast;
        std::int64_t now;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"the old latest becomes a backup within its second", "[latest]\nRecordTime=600\n", true,
         600, 601},
        {"a clock set back", "[backup]\nRecordTime=500\n[latest]\nRecordTime=450\n", false, 400,
         501},
        {"a damaged backup time is no bound", "[backup]\nRecordTime=99999999999999999999\n",
         true, 1000, 1000},
        {"no backups", "[latest]\nRecordTime=600\n", false, 300, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFileBytes(dir / "project.log", c.log);
        CRecordInfo values;
        values.RecordTime = values.StartTime = c.now;
        values.Status = 1;
        ASSERT_TRUE(BeginRecord(dir / "project.log", 0, c.backupLast, values));
        EXPECT_EQ(values.RecordTime, c.expected);
        EXPECT_EQ(ReadRecordList(dir.Str()).back().RecordTime, c.expected);
    }
}

TEST(RecordNames, OnlyTheNineNewestBackupsAreSearched) {
    TempDir dir;
    std::string log;
    for (int i = 1; i <= 12; ++i) {
        log += "[backup]\nRecordTime=" + std::to_string(100 + i) + "\n";
    }
    log += "[latest]\nRecordTime=200\n";
    WriteFileBytes(dir / "project.log", log);
    const auto names = LoadRecordNames(dir.Str());
    EXPECT_EQ(names[0], "latest");
    for (int slot = 1; slot <= 9; ++slot) {
        EXPECT_EQ(names[static_cast<std::size_t>(slot)], std::to_string(113 - slot)) << slot;
    }
}

TEST(RecordNames, ABackupWithoutAUsableNameTakesNoSlot) {
    TempDir dir;
    WriteFileBytes(dir / "project.log", "[backup]\nRecordTime=7\n[backup]\nRecordTime=../up\n"
                                        "[backup]\nStartTime=9\n[latest]\nRecordTime=10\n");
    const auto names = LoadRecordNames(dir.Str());
    EXPECT_EQ(names[1], "9");
    EXPECT_EQ(names[2], "7");   // the search must not end before it
    EXPECT_EQ(names[3], "");
}

TEST(RecordDelete, DeletingTheLatestRecordPromotesTheNewestBackup) {
    TempDir dir;
    MakeProject(dir, {100, 200}, 300);
    const auto outcome = DeleteRecords(dir.Str(), {"latest"});
    EXPECT_EQ(outcome.done, std::vector<std::string>{"latest"});
    EXPECT_TRUE(outcome.promoted);
    EXPECT_EQ(ReadFileBytes(dir / "project.log"), Section("backup", 100) + Section("latest", 200));
    EXPECT_EQ(ReadFileBytes(dir / "project.log.bak"), ReadFileBytes(dir / "project.log"));
    // The backup's files now carry the latest names.
    EXPECT_EQ(ReadFileBytes(dir / "download/latest/h/a.html"), "page of 200");
    EXPECT_EQ(ReadFileBytes(dir / "linkmap/latest/h/a.html"), "map of 200");
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest"), "log of 200");
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"), "break of 200");
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.tmp"), "seen of 200");
    EXPECT_FALSE(DirectoryExists(dir / "download/200"));
    EXPECT_TRUE(HasRecordFiles(dir, "100"));
    EXPECT_EQ(LoadRecordNames(dir.Str())[1], "100");
}

TEST(RecordDelete, ABackupGoesWithItsSectionAndUnknownNamesAreReported) {
    TempDir dir;
    MakeProject(dir, {100, 200}, 300);
    const auto outcome = DeleteRecords(dir.Str(), {"100", "999", "../x", "100"});
    EXPECT_EQ(outcome.done, std::vector<std::string>{"100"});
    EXPECT_EQ(outcome.unknown, (std::vector<std::string>{"999", "../x"}));
    EXPECT_FALSE(outcome.promoted);
    EXPECT_EQ(ReadFileBytes(dir / "project.log"), Section("backup", 200) + Section("latest", 300));
    EXPECT_FALSE(DirectoryExists(dir / "download/100"));
    EXPECT_FALSE(DirectoryExists(dir / "linkmap/100"));
    EXPECT_FALSE(FileExists(dir / "logs/100"));
    EXPECT_FALSE(FileExists(dir / "logs/100.tmp"));
    EXPECT_TRUE(HasRecordFiles(dir, "200"));
    EXPECT_TRUE(HasRecordFiles(dir, "latest"));
}

TEST(RecordDelete, DeletingEveryRecordRemovesTheProjectFilesButNotItsSettings) {
    TempDir dir;
    MakeProject(dir, {100, 200}, 300);
    const auto outcome = DeleteRecords(dir.Str(), {"latest", "100", "200"});
    EXPECT_EQ(outcome.done.size(), 3u);
    EXPECT_TRUE(outcome.projectFilesRemoved);
    for (const char* gone : {"download", "linkmap", "logs"}) {
        EXPECT_FALSE(DirectoryExists(dir / gone)) << gone;
    }
    for (const char* gone : {"project.log", "project.log.bak", "cookies", "cookies.tmp"}) {
        EXPECT_FALSE(FileExists(dir / gone)) << gone;
    }
    EXPECT_EQ(ReadFileBytes(dir / "project.conf"), "TorvexVersion=1\n");
}

TEST(RecordDelete, LogsGoAndStoredFilesAndSectionsStay) {
    TempDir dir;
    MakeProject(dir, {100}, 300);
    const std::string before = ReadFileBytes(dir / "project.log");
    const auto outcome = DeleteRecordLogs(dir.Str(), {"100", "latest"});
    EXPECT_EQ(outcome.done, (std::vector<std::string>{"100", "latest"}));
    for (const std::string name : {"100", "latest"}) {
        EXPECT_FALSE(DirectoryExists(dir / ("linkmap/" + name))) << name;
        EXPECT_FALSE(FileExists(dir / ("logs/" + name))) << name;
        EXPECT_FALSE(FileExists(dir / ("logs/" + name + ".s"))) << name;
        EXPECT_FALSE(FileExists(dir / ("logs/" + name + ".tmp"))) << name;
        EXPECT_EQ(ReadFileBytes(dir / ("download/" + name + "/h/a.html")), "page of " + name);
    }
    EXPECT_EQ(ReadFileBytes(dir / "project.log"), before);
}

TEST(RecordDelete, TheLatestRecordOfARunningProjectIsRefused) {
    TempDir dir;
    MakeProject(dir, {100, 200}, 300);
    ProjectLock run;   // a run of this project, here in this process
    ASSERT_EQ(run.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);

    const auto logs = DeleteRecordLogs(dir.Str(), {"latest"});
    EXPECT_EQ(logs.refusedRunning, std::vector<std::string>{"latest"});
    EXPECT_TRUE(HasRecordFiles(dir, "latest"));

    const auto records = DeleteRecords(dir.Str(), {"latest", "100", "200"});
    EXPECT_EQ(records.refusedRunning, std::vector<std::string>{"latest"});
    EXPECT_EQ(records.done, (std::vector<std::string>{"100", "200"}));
    EXPECT_FALSE(records.promoted);
    EXPECT_FALSE(records.projectFilesRemoved);
    EXPECT_TRUE(HasRecordFiles(dir, "latest"));
    EXPECT_EQ(ReadFileBytes(dir / "project.log"), Section("latest", 300));

    run.Release();
    EXPECT_EQ(DeleteRecords(dir.Str(), {"latest"}).done, std::vector<std::string>{"latest"});
    EXPECT_FALSE(FileExists(dir / "project.log"));
}

TEST(RecordLock, ASecondRunOfARunningProjectFailsItsStart) {
    TempDir dir;
    ProjectLock other;
    ASSERT_EQ(other.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);
    StartRun blocked(dir.Str(), 1000000000);
    ASSERT_EQ(blocked.messages.All().size(), 1u);
    EXPECT_EQ(blocked.messages.All()[0].message, TaskMessage::StartFailed);
    EXPECT_EQ(blocked.messages.All()[0].Code(), RunEndCode::ProjectBusy);
    EXPECT_FALSE(FileExists(dir / "project.log"));
    other.Release();
    StartRun free(dir.Str(), 1000000000);
    EXPECT_EQ(free.messages.All().back().message, TaskMessage::Finished);
    // The run holds the lock until the task is deleted.
    EXPECT_TRUE(IsProjectLocked(dir.Str()));
}

TEST(ProjectLogRead, ADamagedOrEmptyFileFallsBackToItsCopy) {
    const std::string good = Section("backup", 100) + Section("latest", 200);
    struct Case {
        const char* name;
        std::string damaged;
    };
    const Case cases[] = {
        {"empty", ""},
        {"cut inside a line", good.substr(0, good.size() - 7)},
        {"cut inside a header", good.substr(0, Section("backup", 100).size() + 4)},
        {"NUL bytes", std::string(good.size(), '\0')},
        {"a line that is no setting", "garbage\n" + good},
        {"no section at all", "TorvexVersion=1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFileBytes(dir / "project.log", c.damaged);
        WriteFileBytes(dir / "project.log.bak", good);
        std::string text;
        EXPECT_EQ(ReadProjectLog(dir / "project.log", text), ProjectLogSource::Backup);
        EXPECT_EQ(Names(ReadRecordList(dir.Str())), (std::vector<std::string>{"100", "latest"}));
        // A rewrite starts from the sound copy and never overwrites it with the damage.
        CRecordInfo values;
        values.RecordTime = values.StartTime = 200;
        values.Status = 2;
        ASSERT_TRUE(WriteTaskRecord(dir / "project.log", values));
        EXPECT_EQ(ReadFileBytes(dir / "project.log").rfind(Section("backup", 100), 0), 0u);
        EXPECT_EQ(ReadFileBytes(dir / "project.log.bak"), ReadFileBytes(dir / "project.log"));
    }
}

TEST(ProjectLogRead, ARunningSectionWithAppendedStartPagesIsSound) {
    const std::string running = "[latest]\nRecordTime=5         \nStartTime=5         \n"
                                "Status=1 \nStartPage=h/a.html\r\nStartPage=h/b.html\r\n";
    EXPECT_TRUE(IsSoundProjectLog(running));
    EXPECT_TRUE(IsSoundProjectLog("TorvexVersion=1\n" + running));
    TempDir dir;
    WriteFileBytes(dir / "project.log", running);
    const auto records = ReadRecordList(dir.Str());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Status, 1);
    EXPECT_EQ(records[0].StartPage, "h/a.html");   // the first one counts
}

TEST(ProjectLogRead, StartPageSeparatorsReadBackAsSlashes) {
    struct Case {
        const char* stored;
        const char* read;
    };
    const Case cases[] = {
        {"h/a/b.html", "h/a/b.html"},
        {"h\\a\\b.html", "h/a/b.html"},   // written by the Windows layout
        {"h+8080\\a/b.html", "h+8080/a/b.html"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        TempDir dir;
        WriteFileBytes(dir / "project.log",
                       std::string("[latest]\nRecordTime=5\nStartPage=") + c.stored + "\n");
        const auto records = ReadRecordList(dir.Str());
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].StartPage, c.read);
    }
}

} // namespace
} // namespace torvex
