// Whole runs against servers whose replies are legal but easy to misread, or hostile: what is
// stored, what is followed, and how the run ends.

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CTaskManager.h"
#include "platform/FileSystem.h"
#include "platform/NetworkState.h"
#include "support/CFixtureServer.h"
#include "support/LoopbackSite.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CFixtureServer;
using test::CLoopbackSite;
using test::CPipelineRunner;
using test::HttpReply;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;

std::string Latest(const TempDir& dir, const CLoopbackSite& site, std::string_view file) {
    return dir.Str() + "/download/latest/" + site.Host() + "/" + std::string(file);
}

std::string RawReply(std::string_view head, std::string_view body) {
    return std::string(head) + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           std::string(body);
}

TEST(RunReplyHeaders, AHeaderNamedInsideAnotherIsNotTakenForIt) {
    CLoopbackSite site;
    // A nosniff line before the type must not hide that this is a page: its link is followed.
    site.Serve("/", RawReply("HTTP/1.0 200 OK\r\nX-Content-Type-Options: nosniff\r\n"
                             "Content-Type: text/html\r\n",
                             "<a href=\"moved.html\">m</a>"));
    // A redirect whose cookie and another header mention Location before the real one.
    site.Serve("/moved.html",
               RawReply("HTTP/1.0 302 Found\r\nSet-Cookie: Location=/x.html\r\n"
                        "X-Trick: Location: /evil.html\r\nLocation: /real.html\r\n",
                        ""));
    site.Serve("/real.html", RawReply("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"
                                      "X-Original-Content-Length: 3\r\n",
                                      "<p>the whole page</p>"));
    site.Serve("/evil.html", HttpReply("200 OK", "text/html", "evil"));
    site.Serve("/x.html", HttpReply("200 OK", "text/html", "x"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
    project.Addresses[0].Level = 0;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));

    EXPECT_EQ(site.Count("/moved.html"), 1);
    EXPECT_EQ(site.Count("/real.html"), 1);
    EXPECT_EQ(site.Count("/evil.html"), 0);
    EXPECT_EQ(site.Count("/x.html"), 0);
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "real.html")), "<p>the whole page</p>");
    const std::string log = ReadFileBytes(dir.Str() + "/logs/latest");
    EXPECT_NE(log.find(site.Url("/index.html") + "\t1\t1 "), std::string::npos) << log;
}

TEST(RunReplyHosts, ANameThatBeginsWithDigitsAndResolvesNowhereIsAnUnknownHost) {
    if (!IsNetworkUp()) {
        GTEST_SKIP() << "this machine has no network address but the loopback one";
    }
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {"http://3com-no-such-host.invalid/a.html"});
    project.Retry = 0;
    CPipelineRunner rig;
    // 401: the start server could not be found (a refused connection would be 402).
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 401));
}

TEST(RunReplyStatus, AStatusCodeOutsideTheCodesIsNeverStored) {
    CLoopbackSite site;
    site.Serve("/", HttpReply("200 OK", "text/html", "<a href=odd.txt>o</a><a href=ok.txt>k</a>"));
    site.Serve("/odd.txt", "HTTP/1.0 999 Odd\r\nContent-Length: 3\r\n\r\nodd");
    site.Serve("/ok.txt", HttpReply("200 OK", "text/plain", "ok"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
    project.Retry = 1;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(site.Count("/odd.txt"), 2);   // a failed try, tried again
    EXPECT_FALSE(FileExists(Latest(dir, site, "odd.txt")));
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "ok.txt")), "ok");
}

TEST(RunReplyRanges, ARangeThatContinuesNothingMakesTheNextTryFetchTheWholeFile) {
    CFixtureServer server;
    std::mutex lock;
    std::vector<std::string> requests;
    server.SetResponder([&](const std::string& request) -> test::FixtureScript {
        std::lock_guard<std::mutex> guard(lock);
        requests.push_back(request);
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n"
                                 "Content-Length: 10\r\n\r\n";
        if (requests.size() == 1) {
            return {test::SendBytes(head + "0123")};   // cut short: the next try resumes
        }
        if (request.find("Range: bytes=4-") != std::string::npos) {
            return {test::SendBytes("HTTP/1.0 206 Partial Content\r\n"
                                    "Content-Range: bytes 2-9/10\r\n\r\n23456789")};
        }
        return {test::SendBytes(head + "0123456789")};
    });
    TempDir dir;
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/f.txt";
    CProjectSettings project = ProjectIn(dir.Str(), {url});
    project.Retry = 3;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(dir.Str() + "/download/latest/127.0.0.1+" +
                            std::to_string(server.Port()) + "/f.txt"),
              "0123456789");
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[1].find("Range: bytes=4-"), std::string::npos);
    EXPECT_EQ(requests[2].find("Range:"), std::string::npos);
}

} // namespace
} // namespace torvex
