// Whole runs with kept connections against a scripted server: what a worker makes of a
// connection the server closes between files or in the middle of one.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CTaskManager.h"
#include "engine/StatusLine.h"
#include "net/CHttpTransaction.h"
#include "platform/FileSystem.h"
#include "support/CFixtureServer.h"
#include "support/Compressed.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CFixtureServer;
using test::CPipelineRunner;
using test::FixtureScript;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

std::string Gzip(std::string_view plain) {
    return test::Compressed(plain, test::kGzipForm);
}

// Text that compresses, though not to nothing: numbers that do not repeat.
std::string Text(int lines) {
    std::string text;
    unsigned value = 12345;
    for (int i = 0; i < lines; ++i) {
        value = value * 1103515245u + 12345u;
        text += "line " + std::to_string(i) + " " + std::to_string(value) + "\n";
    }
    return text;
}

std::string GzipReply(std::string_view type, std::string_view compressed, std::size_t sent) {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(type) +
           "\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(compressed.size()) +
           "\r\n\r\n" + std::string(compressed.substr(0, sent));
}

std::string Reply11(std::string_view type, std::string_view body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(type) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

// A site of one page and two files on one kept-connection server; `answer` may replace the
// reply to a request (its target and how many times it was asked for so far are given).
class RunKeepAliveTest : public ::testing::Test {
protected:
    using Answer = std::function<FixtureScript(const std::string& target, int count,
                                               const std::string& request)>;

    void Serve(Answer answer) {
        m_server.KeepConnections();
        m_server.SetResponder([this, answer](const std::string& request) -> FixtureScript {
            const std::string target = test::RequestTarget(request);
            int count = 0;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_requests.push_back(request);
                for (const std::string& earlier : m_requests) {
                    count += test::RequestTarget(earlier) == target ? 1 : 0;
                }
            }
            if (answer) {
                FixtureScript script = answer(target, count, request);
                if (!script.empty()) {
                    return script;
                }
            }
            if (target == "/") {
                return {test::SendBytes(
                    Reply11("text/html", "<a href=a.txt>a</a><a href=b.txt>b</a>"))};
            }
            return {test::SendBytes(Reply11("text/plain", "file " + target))};
        });
    }

    std::pair<TaskMessage, int> Run(int retry) {
        CProjectSettings project = ProjectIn(m_dir.Str(), {Url("/")});
        project.KeepAlive = true;
        project.DownthreadNum = 1;
        project.Retry = retry;
        return m_rig.Run(project, RunCommand::Start);
    }

    std::string Url(std::string_view path) const {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + std::string(path);
    }
    std::string Stored(std::string_view file) const {
        return m_dir.Str() + "/download/latest/127.0.0.1+" + std::to_string(m_server.Port()) + "/" +
               std::string(file);
    }
    // Starts `project` and stops it once part of `file` is on disk; how the run ended.
    std::optional<TaskMessage> RunUntilStopped(const CProjectSettings& project,
                                               const std::string& file) {
        const auto run = m_rig.RunUntilStopped(project, [&] {
            std::error_code sizeError;
            return std::filesystem::file_size(Stored(file), sizeError) > 0 && !sizeError;
        });
        EXPECT_TRUE(run.stopAsked);
        return run.end;
    }
    int Requests() {
        std::lock_guard<std::mutex> guard(m_lock);
        return static_cast<int>(m_requests.size());
    }

    std::mutex m_lock;
    std::vector<std::string> m_requests;
    TempDir m_dir;
    CPipelineRunner m_rig;
    CFixtureServer m_server;   // last: its connections end before what they read goes
};

TEST_F(RunKeepAliveTest, OneConnectionCarriesTheWholeCrawl) {
    Serve(nullptr);
    EXPECT_EQ(Run(0), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(Stored("a.txt")), "file /a.txt");
    EXPECT_EQ(ReadFileBytes(Stored("b.txt")), "file /b.txt");
    EXPECT_EQ(Requests(), 3);
    EXPECT_EQ(m_server.ConnectionCount(), 1);
}

TEST_F(RunKeepAliveTest, AConnectionClosedBetweenFilesCostsNoTry) {
    // Every reply ends its connection, though HTTP/1.1 without "close": each next request
    // meets a closed connection first. With no retries left, the files must still come.
    Serve([](const std::string& target, int, const std::string&) -> FixtureScript {
        if (target == "/") {
            return {test::SendBytes(Reply11("text/html", "<a href=a.txt>a</a><a href=b.txt>b</a>")),
                    test::CloseConnection()};
        }
        return {test::SendBytes(Reply11("text/plain", "file " + target)), test::CloseConnection()};
    });
    EXPECT_EQ(Run(0), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(Stored("a.txt")), "file /a.txt");
    EXPECT_EQ(ReadFileBytes(Stored("b.txt")), "file /b.txt");
    EXPECT_EQ(Requests(), 3);
    EXPECT_EQ(m_server.ConnectionCount(), 3);
}

TEST_F(RunKeepAliveTest, AReplyCutOnAKeptConnectionIsAFailedTryThatResumes) {
    Serve([](const std::string& target, int count, const std::string& request) -> FixtureScript {
        if (target != "/a.txt") {
            return {};
        }
        if (count == 1) {
            return {test::SendBytes("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                    "Content-Length: 10\r\n\r\n012"),
                    test::CloseConnection()};
        }
        if (request.find("Range: bytes=3-") != std::string::npos) {
            return {test::SendBytes("HTTP/1.1 206 Partial Content\r\nContent-Type: text/plain\r\n"
                                    "Content-Range: bytes 3-9/10\r\nContent-Length: 7\r\n\r\n"
                                    "3456789")};
        }
        return {test::SendBytes(Reply11("text/plain", "0123456789"))};
    });
    EXPECT_EQ(Run(1), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(Stored("a.txt")), "0123456789");
    EXPECT_EQ(ReadFileBytes(Stored("b.txt")), "file /b.txt");
}

TEST_F(RunKeepAliveTest, AReplyCutOnAKeptConnectionWithoutRetriesIsNotStored) {
    Serve([](const std::string& target, int, const std::string&) -> FixtureScript {
        if (target != "/a.txt") {
            return {};
        }
        return {test::SendBytes("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                "Content-Length: 10\r\n\r\n012"),
                test::CloseConnection()};
    });
    EXPECT_EQ(Run(0), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(Stored("b.txt")), "file /b.txt");
    ASSERT_EQ(m_rig.failures.size(), 1u);
    EXPECT_NE(m_rig.failures[0].url.find("/a.txt"), std::string::npos);
}

TEST_F(RunKeepAliveTest, ACorruptCompressedBodyIsAFailedTryNeverStored) {
    const std::string plain = Text(2000);
    std::string corrupt = Gzip(plain);
    corrupt[corrupt.size() / 2] ^= 0x5a;
    Serve([&corrupt](const std::string& target, int, const std::string&) -> FixtureScript {
        if (target != "/a.txt") {
            return {};
        }
        return {test::SendBytes(GzipReply("text/plain", corrupt, corrupt.size()))};
    });
    EXPECT_EQ(Run(1), std::make_pair(TaskMessage::Finished, 0));
    ASSERT_EQ(m_rig.failures.size(), 1u);
    EXPECT_EQ(m_rig.failures[0].operation, "BadEncoding");
    EXPECT_NE(ReadFileBytes(Stored("a.txt")), plain);
    EXPECT_EQ(ReadFileBytes(Stored("b.txt")), "file /b.txt");
}

TEST_F(RunKeepAliveTest, ACompressedFileCountsItsBytesOnTheWire) {
    const std::string plain = Text(3000);
    const std::string gzip = Gzip(plain);
    char size[32];
    std::snprintf(size, sizeof size, "%zx", gzip.size());
    Serve([&](const std::string& target, int, const std::string&) -> FixtureScript {
        if (target == "/a.txt") {
            return {test::SendBytes(GzipReply("text/plain", gzip, gzip.size()))};
        }
        if (target == "/b.txt") {
            // No length: counted once the body is whole.
            return {test::SendBytes("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                    "Content-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n" +
                                    std::string(size) + "\r\n" + gzip + "\r\n0\r\n\r\n")};
        }
        return {};
    });
    EXPECT_EQ(Run(0), std::make_pair(TaskMessage::Finished, 0));
    const std::string log = ReadFileBytes(m_dir.Str() + "/logs/latest");
    for (const char* file : {"a.txt", "b.txt"}) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(ReadFileBytes(Stored(file)) == plain);
        const std::string url = Url("/") + file;
        const auto at = log.find(url + "\t");
        ASSERT_NE(at, std::string::npos) << log;
        CStatusFields fields;
        ASSERT_TRUE(ParseStatusLine(log.substr(at, log.find('\n', at) - at), url.size(), fields));
        EXPECT_EQ(fields.readed, static_cast<std::int64_t>(gzip.size()));
        EXPECT_EQ(fields.total, static_cast<std::int64_t>(gzip.size()));
    }
}

TEST_F(RunKeepAliveTest, AStopInACompressedBodyResumesWithTheWholeFile) {
    const std::string plain = Text(20000);
    const std::string gzip = Gzip(plain);
    Serve([&](const std::string& target, int count, const std::string&) -> FixtureScript {
        if (target != "/a.txt") {
            return {};
        }
        if (count == 1) {
            // Half the body, then nothing until the worker gives up.
            return {test::SendBytes(GzipReply("text/plain", gzip, gzip.size() / 2)),
                    test::WaitForClose()};
        }
        return {test::SendBytes(GzipReply("text/plain", gzip, gzip.size()))};
    });
    CProjectSettings project = ProjectIn(m_dir.Str(), {Url("/")});
    project.KeepAlive = true;
    project.DownthreadNum = 1;
    project.TimeOut = 120;
    // Stopped once part of the inflated file is on disk.
    ASSERT_EQ(RunUntilStopped(project, "a.txt"), TaskMessage::Stopped);

    EXPECT_EQ(m_rig.Run(project, RunCommand::Resume), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_TRUE(ReadFileBytes(Stored("a.txt")) == plain);
    std::lock_guard<std::mutex> guard(m_lock);
    int asked = 0;
    for (const std::string& request : m_requests) {
        if (test::RequestTarget(request) == "/a.txt") {
            ++asked;
            // Part of a compressed body is never continued: the whole file is asked for.
            EXPECT_EQ(request.find("Range:"), std::string::npos) << request;
            EXPECT_NE(request.find("Accept-Encoding: gzip, deflate"), std::string::npos);
        }
    }
    EXPECT_EQ(asked, 2);
}

TEST_F(RunKeepAliveTest, AnAddressWhoseRequestWentAheadIsKeptByAStop) {
    // /a.txt stalls half-way; /b.txt went ahead behind it on the same connection and never
    // got its turn. A stop must leave both for the resume. (/x.txt first, so that /b.txt is
    // surely queued by the time /a.txt is asked for.)
    Serve([](const std::string& target, int count, const std::string&) -> FixtureScript {
        if (target == "/") {
            return {test::SendBytes(Reply11(
                "text/html", "<a href=x.txt>x</a><a href=a.txt>a</a><a href=b.txt>b</a>"))};
        }
        if (target == "/a.txt" && count == 1) {
            return {test::SendBytes("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                    "Content-Length: 10\r\n\r\n012"),
                    test::WaitForClose()};
        }
        return {};
    });
    CProjectSettings project = ProjectIn(m_dir.Str(), {Url("/")});
    project.KeepAlive = true;
    project.DownthreadNum = 1;
    const std::int64_t ahead = CHttpTransaction::ProcessRequestsSentAhead();
    ASSERT_EQ(RunUntilStopped(project, "a.txt"), TaskMessage::Stopped);
    EXPECT_GE(CHttpTransaction::ProcessRequestsSentAhead() - ahead, 1);
    EXPECT_EQ(ReadFileBytes(Stored("x.txt")), "file /x.txt");
    EXPECT_FALSE(FileExists(Stored("b.txt")));

    EXPECT_EQ(m_rig.Run(project, RunCommand::Resume), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(Stored("a.txt")), "file /a.txt");
    EXPECT_EQ(ReadFileBytes(Stored("b.txt")), "file /b.txt");
}

} // namespace
} // namespace torvex
