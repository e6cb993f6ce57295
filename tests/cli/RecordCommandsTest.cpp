#include "cli/RecordCommands.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/CliArguments.h"
#include "cli/ExitStatus.h"
#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// Record times are shown in local time; the tests read them in UTC.
class RecordCommands : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_hadTz = tz != nullptr;
        m_oldTz = tz ? tz : "";
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (m_hadTz) {
            ::setenv("TZ", m_oldTz.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

    struct Result {
        int status = 0;
        std::string out;
        std::string err;
    };
    static Result Run(std::vector<const char*> words) {
        words.insert(words.begin(), "torvex-cli");
        const CliArguments args = ParseCliArguments(static_cast<int>(words.size()), words.data());
        EXPECT_TRUE(args.error.empty()) << args.error;
        std::ostringstream out;
        std::ostringstream err;
        Result result;
        result.status = RunRecordCommand(args, out, err);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    // A backup 1700000000 (finished, 15 files, 12 fetched, 100 s, a Windows-style start page)
    // and a latest record 1700001000 that was being written when its run ended.
    static void MakeProject(const TempDir& dir) {
        WriteFileBytes(dir / "project.log",
                       "[backup]\nRecordTime=1700000000\nStartTime=1700000000\nStatus=3 \n"
                       "StartPage=h\\a.html\nEndTime=1700000100\nElapsedTime=100       \n"
                       "TotalFiles=15        \nDownloaded=12        \n"
                       "[latest]\nRecordTime=1700001000\nStartTime=1700001000\nStatus=1 \n"
                       "StartPage=h/b.html\r\n");
        WriteFileBytes(dir / "project.conf", "TorvexVersion=1\n");
        for (const std::string name : {"1700000000", "latest"}) {
            MakeDirectoryPath(dir / ("download/" + name + "/h"));
            MakeDirectoryPath(dir / ("linkmap/" + name + "/h"));
            MakeDirectoryPath(dir / "logs");
            WriteFileBytes(dir / ("download/" + name + "/h/a.html"), name);
            WriteFileBytes(dir / ("logs/" + name), name);
        }
    }

private:
    bool m_hadTz = false;
    std::string m_oldTz;
};

TEST_F(RecordCommands, ListsOneLinePerRecordWithTheLatestLast) {
    TempDir dir;
    MakeProject(dir);
    const Result listed = Run({"records", dir.Str().c_str()});
    EXPECT_EQ(listed.status, static_cast<int>(CliExit::Finished));
    EXPECT_EQ(listed.out,
              "1700000000  2023-11-14 22:13:20  Finished         15 files     12 downloaded  "
              "00:01:40  h/a.html\n"
              "latest      2023-11-14 22:30:00  Interrupted       0 files      0 downloaded  "
              "00:00:00  h/b.html\n");

    ProjectLock run;
    ASSERT_EQ(run.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);
    EXPECT_NE(Run({"records", dir.Str().c_str()}).out.find("latest      2023-11-14 22:30:00  "
                                                            "Running "),
              std::string::npos);
}

TEST_F(RecordCommands, ListingReadsTheCopyOfADamagedProjectLog) {
    TempDir dir;
    MakeProject(dir);
    const std::string sound = ReadFileBytes(dir / "project.log");
    WriteFileBytes(dir / "project.log.bak", sound);
    WriteFileBytes(dir / "project.log", sound.substr(0, 30));
    const Result listed = Run({"records", dir.Str().c_str()});
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 2);
    EXPECT_NE(listed.err.find("damaged"), std::string::npos);
}

TEST_F(RecordCommands, DeletionsAreDeclinedWithoutYes) {
    TempDir dir;
    MakeProject(dir);
    struct Case {
        const char* command;
        const char* question;
    };
    const Case cases[] = {
        {"delete-records",
         "The selected records and related files will be deleted. Are you sure?"},
        {"delete-logs",
         "The logs and linkmap files of the selected records will be deleted. Are you sure?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const Result declined = Run({c.command, dir.Str().c_str(), "latest"});
        EXPECT_EQ(declined.status, static_cast<int>(CliExit::NotStarted));
        EXPECT_NE(declined.err.find(c.question), std::string::npos);
        EXPECT_NE(declined.err.find("--yes"), std::string::npos);
        EXPECT_TRUE(FileExists(dir / "logs/latest"));
        EXPECT_TRUE(DirectoryExists(dir / "linkmap/latest"));
    }
}

TEST_F(RecordCommands, DeletingTheLatestRecordPromotesTheBackupThenTheLastRemovesTheFiles) {
    TempDir dir;
    MakeProject(dir);
    const Result first = Run({"delete-records", "--yes", dir.Str().c_str(), "latest"});
    EXPECT_EQ(first.status, static_cast<int>(CliExit::Finished)) << first.err;
    EXPECT_EQ(first.out, "Deleted record latest\n"
                         "The newest backup (1700000000) is now the latest record\n");
    EXPECT_EQ(ReadFileBytes(dir / "download/latest/h/a.html"), "1700000000");
    EXPECT_EQ(ReadFileBytes(dir / "project.log").rfind("[latest]\nRecordTime=1700000000", 0), 0u);

    const Result last = Run({"delete-records", "-y", dir.Str().c_str(), "latest"});
    EXPECT_EQ(last.status, static_cast<int>(CliExit::Finished)) << last.err;
    EXPECT_NE(last.out.find("No record is left"), std::string::npos);
    EXPECT_FALSE(DirectoryExists(dir / "download"));
    EXPECT_FALSE(FileExists(dir / "project.log"));
    EXPECT_TRUE(FileExists(dir / "project.conf"));
    EXPECT_EQ(Run({"records", dir.Str().c_str()}).out, "");
}

TEST_F(RecordCommands, RefusalsAndUnknownNamesFailThePartTheyConcern) {
    TempDir dir;
    MakeProject(dir);
    ProjectLock run;   // the project is being downloaded
    ASSERT_EQ(run.TryAcquire(dir.Str()), ProjectLockOutcome::Acquired);
    const Result logs = Run({"delete-logs", "--yes", dir.Str().c_str(), "latest", "1700000000",
                             "42"});
    EXPECT_EQ(logs.status, static_cast<int>(CliExit::Error));
    EXPECT_EQ(logs.out, "Deleted the logs of record 1700000000\n");
    EXPECT_NE(logs.err.find("being downloaded"), std::string::npos);
    EXPECT_NE(logs.err.find(": 42\n"), std::string::npos);
    EXPECT_TRUE(FileExists(dir / "logs/latest"));
    EXPECT_FALSE(FileExists(dir / "logs/1700000000"));
    EXPECT_TRUE(FileExists(dir / "download/1700000000/h/a.html"));

    EXPECT_EQ(Run({"records", (dir / "missing").c_str()}).status,
              static_cast<int>(CliExit::Error));
}

TEST(CliArgumentsParse, RecordCommandsTakeAFolderAndNames) {
    const char* words[] = {"torvex-cli", "delete-logs", "/p", "latest", "1700000000"};
    const CliArguments parsed = ParseCliArguments(5, words);
    EXPECT_TRUE(parsed.error.empty());
    EXPECT_EQ(parsed.projectDir, "/p");
    EXPECT_EQ(parsed.names, (std::vector<std::string>{"latest", "1700000000"}));
    const std::vector<std::vector<const char*>> wrong = {
        {"torvex-cli", "records"},
        {"torvex-cli", "records", "/p", "/q"},
        {"torvex-cli", "delete-records", "/p"},
    };
    for (const auto& w : wrong) {
        EXPECT_FALSE(ParseCliArguments(static_cast<int>(w.size()), w.data()).error.empty());
    }
}

} // namespace
} // namespace torvex
