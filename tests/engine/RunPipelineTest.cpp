#include "engine/CRunPipeline.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CTaskManager.h"
#include "engine/IRunListener.h"
#include "platform/FileSystem.h"
#include "platform/NetworkState.h"
#include "support/CFixtureServer.h"
#include "support/CLoopbackDaemon.h"
#include "support/LoopbackPorts.h"
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

// The project's own proxy at 127.0.0.1:`port`.
void UseProxy(CProjectSettings& project, ProxyMode mode, int port) {
    project.UseGlobeProxy = false;
    project.Proxy = static_cast<int>(mode);
    project.ProxyServer = "127.0.0.1";
    project.ProxyPort = port;
}

std::string Latest(const TempDir& dir, const CLoopbackSite& site, std::string_view file) {
    return dir.Str() + "/download/latest/" + site.Host() + "/" + std::string(file);
}

TEST(RunPipelineCrawl, StoresAPageWithItsPartsAndRewritesItsLinks) {
    CLoopbackSite site;
    site.Serve("/",
               HttpReply("200 OK", "text/html",
                     "<html><a href=\"sub/b.html\">b</a><img src='/p.gif'>"
                     "<a href=\"http://elsewhere.invalid/x.html\">x</a></html>"));
    site.Serve("/sub/b.html", HttpReply("200 OK", "text/html", "<A HREF=\"../index.html\">up</A>"));
    site.Serve("/p.gif", HttpReply("200 OK", "image/gif", "GIF89a"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
    project.Addresses[0].Level = 0;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));

    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "p.gif")), "GIF89a");
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "index.html")),
              "<html><a href=\"sub/b.html\">b</a><img src='p.gif'>"
              "<a href=\"../elsewhere.invalid/x.html\">x</a></html>");
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "sub/b.html")), "<A HREF=\"../index.html\">up</A>");
    for (const char* path : {"/", "/sub/b.html", "/p.gif"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(site.RequestsFor(path).size(), 1u);
    }
    const std::string log = ReadFileBytes(dir.Str() + "/logs/latest");
    EXPECT_NE(log.find(site.Url("/index.html") + "\t1\t1 "), std::string::npos) << log;
    EXPECT_NE(log.find(site.Url("/p.gif") + "\t0\t1 "), std::string::npos) << log;
    EXPECT_TRUE(FileExists(dir.Str() + "/linkmap/latest/" + site.Host() + "/index.html"));
}

TEST(RunPipelineCrawl, FetchesARepeatedStartAddressOnce) {
    CLoopbackSite site;
    site.Serve("/a.txt", HttpReply("200 OK", "text/plain", "a"));
    site.Serve("/b.txt", HttpReply("200 OK", "text/plain", "b"));
    TempDir dir;
    const CProjectSettings project = ProjectIn(
        dir.Str(), {site.Url("/a.txt"), site.Url("/b.txt"), site.Url("/a.txt")});
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(site.RequestsFor("/a.txt").size(), 1u);
    EXPECT_EQ(site.RequestsFor("/b.txt").size(), 1u);
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "b.txt")), "b");
}

TEST(RunPipelineFailure, EndsAOneAddressRunAtOnceAndRetriesOthers) {
    struct Case {
        const char* status;
        int endCode;
        std::size_t tries;   // with Retry 2: a definitive answer is not asked for again
    };
    for (const Case c : {Case{"404 Not Found", 405, 1}, Case{"401 Unauthorized", 404, 1},
                         Case{"403 Forbidden", 501, 1}, Case{"503 Service Unavailable", 403, 3}}) {
        SCOPED_TRACE(c.status);
        CLoopbackSite site;
        site.Serve("/x.html", HttpReply(c.status, "text/html", "no"));
        site.Serve("/ok.txt", HttpReply("200 OK", "text/plain", "ok"));
        {
            TempDir dir;
            CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/x.html")});
            project.Retry = 3;
            CPipelineRunner rig;
            EXPECT_EQ(rig.Run(project, RunCommand::Start),
                      std::make_pair(TaskMessage::Error, c.endCode));
            EXPECT_EQ(site.RequestsFor("/x.html").size(), 1u);
        }
        {
            TempDir dir;
            CProjectSettings project =
                ProjectIn(dir.Str(), {site.Url("/x.html"), site.Url("/ok.txt")});
            project.Retry = 2;
            CPipelineRunner rig;
            EXPECT_EQ(rig.Run(project, RunCommand::Start),
                      std::make_pair(TaskMessage::Finished, 0));
            EXPECT_EQ(site.RequestsFor("/x.html").size(), 1u + c.tries);
        }
    }
}

TEST(RunPipelineFailure, RetryZeroTriesOnceAndNothingStoredEndsWith201) {
    CLoopbackSite site;
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/a.html"), site.Url("/b.html")});
    project.Retry = 0;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 201));
    EXPECT_EQ(site.RequestsFor("/a.html").size(), 1u);
    EXPECT_EQ(site.RequestsFor("/b.html").size(), 1u);
}

TEST(RunPipelineRedirect, SlashRedirectLeavesAForwardingPage) {
    CLoopbackSite site;
    site.Serve("/dir", HttpReply("301 Moved", "text/html", "", "Location: " + site.Url("/dir/") + "\r\n"));
    site.Serve("/dir/", HttpReply("200 OK", "text/html", "<p>in</p>"));
    TempDir dir;
    const CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/dir")});
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "dir.html")),
              "<html>\n<head>\n<meta http-equiv='refresh' content='0; url=dir/index.html'>\n"
              "</head>\n</html>");
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "dir/index.html")), "<p>in</p>");
    const std::string log = ReadFileBytes(dir.Str() + "/logs/latest");
    EXPECT_NE(log.find(site.Url("/dir") + "\t1\t1 3\t"), std::string::npos) << log;
    EXPECT_NE(log.find("\t90 "), std::string::npos) << log;
}

TEST(RunPipelineRedirect, ALoopOfRedirectsEnds) {
    CLoopbackSite site;
    site.Serve("/a.html", HttpReply("302 Found", "text/html", "", "Location: /b.html\r\n"));
    site.Serve("/b.html", HttpReply("302 Found", "text/html", "", "Location: /a.html\r\n"));
    TempDir dir;
    const CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/a.html")});
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(site.RequestsFor("/a.html").size(), 1u);
    EXPECT_EQ(site.RequestsFor("/b.html").size(), 1u);
}

TEST(RunPipelineUpdate, AsksIfModifiedSinceAndCopiesOnNotModified) {
    CLoopbackSite site;
    const std::string date = "Mon, 07 Dec 2026 10:00:00 GMT";
    site.Serve("/a.txt", HttpReply("200 OK", "text/plain", "first", "Last-Modified: " + date + "\r\n"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/a.txt")});
    project.UpdateMode = 2;
    CPipelineRunner rig;
    ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    site.Serve("/a.txt", "HTTP/1.0 304 Not Modified\r\n\r\n");
    ASSERT_EQ(rig.Run(project, RunCommand::Update), std::make_pair(TaskMessage::Finished, 0));
    const auto requests = site.RequestsFor("/a.txt");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("If-Modified-Since"), std::string::npos);
    EXPECT_NE(requests[1].find("If-Modified-Since: " + date), std::string::npos) << requests[1];
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "a.txt")), "first");
}


// Without a network address but the loopback one, a failed look-up or connection means "the
// network is down" (205) before anything else.
#define SKIP_WITHOUT_NETWORK()                                                               \
    if (!IsNetworkUp()) {                                                                    \
        GTEST_SKIP() << "this machine has no network address but the loopback one";          \
    }

TEST(RunPipelineFailure, AnUnknownHostEndsAOneAddressRunWith401) {
    SKIP_WITHOUT_NETWORK();
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {"http://nohost.invalid/a.html"});
    project.Retry = 5;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 401));
}

TEST(RunPipelineFailure, RefusedPortAndEmptyBodyEndAOneAddressRun) {
    CLoopbackSite site;
    site.Serve("/empty.txt", HttpReply("200 OK", "text/plain", ""));
    {
        TempDir dir;
        const CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/empty.txt")});
        CPipelineRunner rig;
        EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 407));
        EXPECT_EQ(site.RequestsFor("/empty.txt").size(), 1u);
    }
    SKIP_WITHOUT_NETWORK();
    // A port nothing listens on any more.
    const int closedPort = test::FreeLoopbackPort();
    TempDir dir;
    const CProjectSettings project =
        ProjectIn(dir.Str(), {"http://127.0.0.1:" + std::to_string(closedPort) + "/a.html"});
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 402));
}

TEST(RunPipelineUpdate, AFileDeletedByHandIsSkippedOrFetchedByUpdateMode) {
    struct Case {
        int updateMode;
        std::size_t requestsAfterUpdate;
        bool storedAgain;
    };
    for (const Case c : {Case{0, 1, false}, Case{1, 2, true}}) {
        SCOPED_TRACE(c.updateMode);
        CLoopbackSite site;
        site.Serve("/", HttpReply("200 OK", "text/html", "<a href='f.txt'>f</a>"));
        site.Serve("/f.txt", HttpReply("200 OK", "text/plain", "file",
                                   "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n"));
        TempDir dir;
        CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
        project.UpdateMode = c.updateMode;
        CPipelineRunner rig;
        ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
        ASSERT_TRUE(RemoveFileIfExists(Latest(dir, site, "f.txt")));
        ASSERT_EQ(rig.Run(project, RunCommand::Update), std::make_pair(TaskMessage::Finished, 0));
        const auto requests = site.RequestsFor("/f.txt");
        ASSERT_EQ(requests.size(), c.requestsAfterUpdate);
        EXPECT_EQ(FileExists(Latest(dir, site, "f.txt")), c.storedAgain);
        if (c.storedAgain) {
            // The copy on disk is gone, so the fetch must not be conditional.
            EXPECT_EQ(requests.back().find("If-Modified-Since"), std::string::npos);
        }
    }
}


TEST(RunPipelineUpdate, LocalOnlyTakesPagesAndTheirLinksFromTheRecord) {
    CLoopbackSite site;
    site.Serve("/", HttpReply("200 OK", "text/html", "<a href='a.html'>a</a>"));
    site.Serve("/a.html", HttpReply("200 OK", "text/html", "<img src='i.gif'>"));
    site.Serve("/i.gif", HttpReply("200 OK", "image/gif", "GIF"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/")});
    project.UpdateMode = 0;
    CPipelineRunner rig;
    ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    ASSERT_EQ(rig.Run(project, RunCommand::Update), std::make_pair(TaskMessage::Finished, 0));
    // Every file was found in the record and its page's link map, so the server heard of each
    // only once, in the first run.
    for (const char* path : {"/", "/a.html", "/i.gif"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(site.RequestsFor(path).size(), 1u);
    }
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "i.gif")), "GIF");

    // With FirstPage the start address is asked again, with its date when one is known.
    project.FirstPage = 1;
    ASSERT_EQ(rig.Run(project, RunCommand::Update), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(site.RequestsFor("/").size(), 2u);
    EXPECT_EQ(site.RequestsFor("/a.html").size(), 1u);
}


TEST(RunPipelineProxy, FetchesThroughAnHttpProxyAndEndsWhenItCannotBeFound) {
    // The fixture server stands in for the proxy: it gets the absolute address in the request.
    CLoopbackSite proxy;
    proxy.Serve("http://origin.invalid/a.txt", HttpReply("200 OK", "text/plain", "via proxy"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {"http://origin.invalid/a.txt"});
    UseProxy(project, ProxyMode::Http, proxy.Port());
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(dir.Str() + "/download/latest/origin.invalid/a.txt"), "via proxy");

    TempDir other;
    project.ProjectDir = other.Str();
    project.ProxyServer = "noproxy.invalid";
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 301));
}


TEST(RunPipelineProxy, FetchesThroughASocks5ProxyAndReportsARefusedTarget) {
    const auto proxy = test::StartDanted();
    if (!proxy->Started()) {
        GTEST_SKIP() << "danted cannot run here: " << proxy->Reason();
    }
    CLoopbackSite site;
    site.Serve("/a.txt", HttpReply("200 OK", "text/plain", "via socks"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/a.txt")});
    UseProxy(project, ProxyMode::Socks5, proxy->Port());
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "a.txt")), "via socks");

    // The proxy cannot reach a closed port: its refusal ends a one-address run at once.
    // A port nothing listens on any more.
    const int closedPort = test::FreeLoopbackPort();
    TempDir other;
    project.ProjectDir = other.Str();
    project.Addresses[0].StartURL = "http://127.0.0.1:" + std::to_string(closedPort) + "/a.txt";
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 302));
}


TEST(RunPipelineProxy, AnHttpProxyIsAskedForFtpAddressesToo) {
    CLoopbackSite proxy;
    proxy.Serve("ftp://origin.invalid:21/pub/a.txt", HttpReply("200 OK", "text/plain", "ftp file"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {"ftp://origin.invalid/pub/a.txt"});
    UseProxy(project, ProxyMode::Http, proxy.Port());
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(dir.Str() + "/download/latest/origin.invalid/pub/a.txt"), "ftp file");
}


TEST(RunPipelineProxy, SendsTheProxyUserToASocks5ProxyAndEndsWhenItIsRefused) {
    const auto proxy = test::StartMicrosocks("bob", "s3cret");
    if (!proxy->Started()) {
        GTEST_SKIP() << "microsocks cannot run here: " << proxy->Reason();
    }
    CLoopbackSite site;
    site.Serve("/a.txt", HttpReply("200 OK", "text/plain", "with a password"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {site.Url("/a.txt")});
    UseProxy(project, ProxyMode::Socks5, proxy->Port());
    project.ProxyUser = "bob";
    project.ProxyPassword = "s3cret";
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(Latest(dir, site, "a.txt")), "with a password");

    TempDir other;
    project.ProjectDir = other.Str();
    project.ProxyPassword = "wrong";
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 303));
}

} // namespace
} // namespace torvex
