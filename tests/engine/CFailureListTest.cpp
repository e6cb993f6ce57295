#include "engine/CFailureList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/TryFailure.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(FailureList, EveryFailureIsALineOfItsOwnThatReadsBack) {
    TempDir dir;
    const std::string path = dir / "latest.failed";
    CFailureList list;
    list.Open(path, false);
    EXPECT_FALSE(std::filesystem::exists(path));   // no failure, no file
    EXPECT_TRUE(list.Add({"http://h/missing", "HTTPSession", 404, ""}));
    // Tabs and line breaks in a field would break the line apart: they become blanks.
    EXPECT_TRUE(list.Add({"http://h/a\tb", "Connect", -1, "why\nnot"}));
    list.Close();

    EXPECT_EQ(ReadFileBytes(path),
              "http://h/missing\tHTTPSession\t404\tHTTP 404 Not Found\n"
              "http://h/a b\tConnect\t-1\twhy not\n");
    EXPECT_EQ(list.Count(), 2);
    const auto read = ReadFailureList(path);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0], (CFailedFile{"http://h/missing", "HTTPSession", 404, "HTTP 404 Not Found"}));
    EXPECT_EQ(read[1], (CFailedFile{"http://h/a b", "Connect", -1, "why not"}));
}

TEST(FailureList, AFreshRunEmptiesTheRecordsListAndAResumeKeepsIt) {
    TempDir dir;
    const std::string path = dir / "latest.failed";
    WriteFileBytes(path, "http://h/old\tHTTPSession\t404\tHTTP 404 Not Found\n");
    {
        CFailureList resumed;
        resumed.Open(path, true);
        resumed.Add({"http://h/new", "NoBody", 0, ""});
        EXPECT_EQ(resumed.Count(), 1);   // this run's failures only
    }
    EXPECT_EQ(ReadFailureList(path).size(), 2u);
    CFailureList fresh;
    fresh.Open(path, false);
    EXPECT_TRUE(ReadFailureList(path).empty());
}

TEST(FailureList, AFileThatCannotBeWrittenStillCountsTheFailure) {
    TempDir dir;
    CFailureList list;
    list.Open(dir / "no-such-folder/latest.failed", false);
    EXPECT_FALSE(list.Add({"http://h/x", "Connect", -2, ""}));
    EXPECT_EQ(list.Count(), 1);
    ASSERT_EQ(list.Items().size(), 1u);
    EXPECT_EQ(list.Items()[0].reason, "timed out connecting");
}

TEST(FailureList, DamagedLinesArePassedOverWhenRead) {
    TempDir dir;
    const std::string path = dir / "latest.failed";
    WriteFileBytes(path, "no tabs at all\n"
                         "\tConnect\t-1\tan empty address\n"
                         "http://h/two\tfields\n"
                         "http://h/ok\tConnect\tabc\trefused\n");
    const auto read = ReadFailureList(path);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].url, "http://h/ok");
    EXPECT_EQ(read[0].code, 0);
    EXPECT_TRUE(ReadFailureList(dir / "missing").empty());
}

TEST(FailureReason, TellsTheLastFailureInWords) {
    const struct {
        const char* operation;
        int code;
        const char* reason;
    } rows[] = {
        {"HTTPSession", 404, "HTTP 404 Not Found"},
        {"HTTPSession", 410, "HTTP 410 Gone"},
        {"HTTPSession", 503, "HTTP 503 Service Unavailable"},
        {"HTTPSession", 499, "HTTP 499"},
        {"GetHostByName", -1, "host not found"},
        {"Connect", -1, "connection refused or host unreachable"},
        {"Connect", -2, "timed out connecting"},
        {"Receive", -2, "timed out waiting for the server"},
        {"Http Receive", -1, "connection broken while receiving"},
        {"NoBody", 0, "the server sent no content"},
        {"LongFilePath", 0, "the local path would be too long"},
        {"FTPGet", 5, "no such file on the FTP server (550)"},
        {"FTPGet", 99, "FTPGet failed (code 99)"},
        {"Mystery", 7, "Mystery failed (code 7)"},
        {"", 0, "given up"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.operation) + " " + std::to_string(r.code));
        EXPECT_EQ(FailureReasonText(r.operation, r.code), r.reason);
    }
}

} // namespace
} // namespace torvex
