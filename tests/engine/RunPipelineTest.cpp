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
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CFixtureServer;
using test::CMessageLog;
using test::CScriptedPrompter;
using test::FixtureScript;
using test::ProjectIn;
using test::ReadFileBytes;
using test::SendBytes;
using test::TempDir;

std::string Reply(std::string_view status, std::string_view type, std::string_view body,
                  std::string_view extra = {}) {
    std::string reply = "HTTP/1.0 " + std::string(status) + "\r\n";
    if (!type.empty()) {
        reply += "Content-Type: " + std::string(type) + "\r\n";
    }
    reply += extra;
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    reply += body;
    return reply;
}

std::string TargetOf(const std::string& request) {
    const std::size_t first = request.find(' ');
    const std::size_t second = request.find(' ', first + 1);
    return request.substr(first + 1, second - first - 1);
}

// A small site served from a table of paths; every request is kept.
class Site {
public:
    explicit Site(CFixtureServer& server) {
        server.SetResponder([this](const std::string& request) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_requests.push_back(request);
            const auto hit = m_pages.find(TargetOf(request));
            FixtureScript script;
            script.push_back(SendBytes(hit != m_pages.end()
                                           ? hit->second
                                           : Reply("404 Not Found", "text/html", "missing")));
            return script;
        });
    }
    void Serve(const std::string& path, std::string reply) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_pages[path] = std::move(reply);
    }
    std::vector<std::string> RequestsFor(const std::string& path) const {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<std::string> out;
        for (const std::string& request : m_requests) {
            if (TargetOf(request) == path) {
                out.push_back(request);
            }
        }
        return out;
    }

private:
    mutable std::mutex m_lock;
    std::map<std::string, std::string> m_pages;
    std::vector<std::string> m_requests;
};

struct PipelineRig {
    PipelineRig() : manager(pipeline, messages, prompter) {
        CRunOptions options;
        options.EndNotify = false;
        manager.SetOptions(options);
    }
    // Runs the project to its end as a front end would; the end message's number and code.
    std::pair<int, int> Run(const CProjectSettings& project, RunCommand command) {
        if (!manager.StartProject(project, command)) {
            return {0, 0};
        }
        std::pair<int, int> end{0, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (manager.RunningCount() > 0 && std::chrono::steady_clock::now() < deadline) {
            CMessageLog::Message m;
            if (messages.Take(m, 100)) {
                if (m.message >= WM_TASK_STOPPED && m.message <= WM_TASK_START_FAILED) {
                    end = {m.message, m.code};
                }
                manager.HandleTaskMessage(m.message, m.task, m.code);
            }
        }
        return end;
    }
    CMessageLog messages;
    CRunPipeline pipeline;
    CScriptedPrompter prompter;
    CTaskManager manager;
};

std::string Host(const CFixtureServer& server) {
    return "127.0.0.1+" + std::to_string(server.Port());
}

std::string Url(const CFixtureServer& server, std::string_view path) {
    return "http://127.0.0.1:" + std::to_string(server.Port()) + std::string(path);
}

std::string Latest(const TempDir& dir, const CFixtureServer& server, std::string_view file) {
    return dir.Str() + "/download/latest/" + Host(server) + "/" + std::string(file);
}

TEST(RunPipelineCrawl, StoresAPageWithItsPartsAndRewritesItsLinks) {
    CFixtureServer server;
    Site site(server);
    site.Serve("/",
               Reply("200 OK", "text/html",
                     "<html><a href=\"sub/b.html\">b</a><img src='/p.gif'>"
                     "<a href=\"http://elsewhere.invalid/x.html\">x</a></html>"));
    site.Serve("/sub/b.html", Reply("200 OK", "text/html", "<A HREF=\"../index.html\">up</A>"));
    site.Serve("/p.gif", Reply("200 OK", "image/gif", "GIF89a"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/")});
    project.Addresses[0].Level = 0;
    PipelineRig rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));

    EXPECT_EQ(ReadFileBytes(Latest(dir, server, "p.gif")), "GIF89a");
    EXPECT_EQ(ReadFileBytes(Latest(dir, server, "index.html")),
              "<html><a href=\"sub/b.html\">b</a><img src='p.gif'>"
              "<a href=\"../elsewhere.invalid/x.html\">x</a></html>");
    EXPECT_EQ(ReadFileBytes(Latest(dir, server, "sub/b.html")), "<A HREF=\"../index.html\">up</A>");
    for (const char* path : {"/", "/sub/b.html", "/p.gif"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(site.RequestsFor(path).size(), 1u);
    }
    const std::string log = ReadFileBytes(dir.Str() + "/logs/latest");
    EXPECT_NE(log.find(Url(server, "/index.html") + "\t1\t1 "), std::string::npos) << log;
    EXPECT_NE(log.find(Url(server, "/p.gif") + "\t0\t1 "), std::string::npos) << log;
    EXPECT_TRUE(FileExists(dir.Str() + "/linkmap/latest/" + Host(server) + "/index.html"));
}

TEST(RunPipelineCrawl, FetchesARepeatedStartAddressOnce) {
    CFixtureServer server;
    Site site(server);
    site.Serve("/a.txt", Reply("200 OK", "text/plain", "a"));
    site.Serve("/b.txt", Reply("200 OK", "text/plain", "b"));
    TempDir dir;
    const CProjectSettings project = ProjectIn(
        dir.Str(), {Url(server, "/a.txt"), Url(server, "/b.txt"), Url(server, "/a.txt")});
    PipelineRig rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));
    EXPECT_EQ(site.RequestsFor("/a.txt").size(), 1u);
    EXPECT_EQ(site.RequestsFor("/b.txt").size(), 1u);
    EXPECT_EQ(ReadFileBytes(Latest(dir, server, "b.txt")), "b");
}

TEST(RunPipelineFailure, EndsAOneAddressRunAtOnceAndRetriesOthers) {
    struct Case {
        const char* status;
        int endCode;
    };
    for (const Case c : {Case{"404 Not Found", 405}, Case{"401 Unauthorized", 404},
                         Case{"403 Forbidden", 501}}) {
        SCOPED_TRACE(c.status);
        CFixtureServer server;
        Site site(server);
        site.Serve("/x.html", Reply(c.status, "text/html", "no"));
        site.Serve("/ok.txt", Reply("200 OK", "text/plain", "ok"));
        {
            TempDir dir;
            CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/x.html")});
            project.Retry = 3;
            PipelineRig rig;
            EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_ERROR, c.endCode));
            EXPECT_EQ(site.RequestsFor("/x.html").size(), 1u);
        }
        {
            TempDir dir;
            CProjectSettings project =
                ProjectIn(dir.Str(), {Url(server, "/x.html"), Url(server, "/ok.txt")});
            project.Retry = 2;
            PipelineRig rig;
            EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));
            EXPECT_EQ(site.RequestsFor("/x.html").size(), 1u + 3u);
        }
    }
}

TEST(RunPipelineFailure, RetryZeroTriesOnceAndNothingStoredEndsWith201) {
    CFixtureServer server;
    Site site(server);
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/a.html"), Url(server, "/b.html")});
    project.Retry = 0;
    PipelineRig rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_ERROR, 201));
    EXPECT_EQ(site.RequestsFor("/a.html").size(), 1u);
    EXPECT_EQ(site.RequestsFor("/b.html").size(), 1u);
}

TEST(RunPipelineRedirect, SlashRedirectLeavesAForwardingPage) {
    CFixtureServer server;
    Site site(server);
    site.Serve("/dir", Reply("301 Moved", "text/html", "", "Location: " + Url(server, "/dir/") + "\r\n"));
    site.Serve("/dir/", Reply("200 OK", "text/html", "<p>in</p>"));
    TempDir dir;
    const CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/dir")});
    PipelineRig rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));
    EXPECT_EQ(ReadFileBytes(Latest(dir, server, "dir.html")),
              "<html>\n<head>\n<meta http-equiv='refresh' content='0; url=dir/index.html'>\n"
              "</head>\n</html>");
    EXPECT_EQ(ReadFileBytes(Latest(dir, server, "dir/index.html")), "<p>in</p>");
    const std::string log = ReadFileBytes(dir.Str() + "/logs/latest");
    EXPECT_NE(log.find(Url(server, "/dir") + "\t1\t1 3\t"), std::string::npos) << log;
    EXPECT_NE(log.find("\t90 "), std::string::npos) << log;
}

TEST(RunPipelineRedirect, ALoopOfRedirectsEnds) {
    CFixtureServer server;
    Site site(server);
    site.Serve("/a.html", Reply("302 Found", "text/html", "", "Location: /b.html\r\n"));
    site.Serve("/b.html", Reply("302 Found", "text/html", "", "Location: /a.html\r\n"));
    TempDir dir;
    const CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/a.html")});
    PipelineRig rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));
    EXPECT_EQ(site.RequestsFor("/a.html").size(), 1u);
    EXPECT_EQ(site.RequestsFor("/b.html").size(), 1u);
}

TEST(RunPipelineUpdate, AsksIfModifiedSinceAndCopiesOnNotModified) {
    CFixtureServer server;
    Site site(server);
    const std::string date = "Mon, 07 Dec 2026 10:00:00 GMT";
    site.Serve("/a.txt", Reply("200 OK", "text/plain", "first", "Last-Modified: " + date + "\r\n"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/a.txt")});
    project.UpdateMode = 2;
    PipelineRig rig;
    ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));
    site.Serve("/a.txt", "HTTP/1.0 304 Not Modified\r\n\r\n");
    ASSERT_EQ(rig.Run(project, RunCommand::Update), std::make_pair(WM_TASK_FINISHED, 0));
    const auto requests = site.RequestsFor("/a.txt");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("If-Modified-Since"), std::string::npos);
    EXPECT_NE(requests[1].find("If-Modified-Since: " + date), std::string::npos) << requests[1];
    EXPECT_EQ(ReadFileBytes(Latest(dir, server, "a.txt")), "first");
}

} // namespace
} // namespace torvex

namespace torvex {
namespace {

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
    PipelineRig rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_ERROR, 401));
}

TEST(RunPipelineFailure, RefusedPortAndEmptyBodyEndAOneAddressRun) {
    CFixtureServer server;
    Site site(server);
    site.Serve("/empty.txt", Reply("200 OK", "text/plain", ""));
    {
        TempDir dir;
        const CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/empty.txt")});
        PipelineRig rig;
        EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_ERROR, 407));
        EXPECT_EQ(site.RequestsFor("/empty.txt").size(), 1u);
    }
    SKIP_WITHOUT_NETWORK();
    int closedPort = 0;
    {
        CFixtureServer gone;
        closedPort = gone.Port();
    }
    TempDir dir;
    const CProjectSettings project =
        ProjectIn(dir.Str(), {"http://127.0.0.1:" + std::to_string(closedPort) + "/a.html"});
    PipelineRig rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_ERROR, 402));
}

TEST(RunPipelineUpdate, AFileDeletedByHandIsSkippedOrFetchedByUpdateMode) {
    struct Case {
        int updateMode;
        std::size_t requestsAfterUpdate;
        bool storedAgain;
    };
    for (const Case c : {Case{0, 1, false}, Case{1, 2, true}}) {
        SCOPED_TRACE(c.updateMode);
        CFixtureServer server;
        Site site(server);
        site.Serve("/", Reply("200 OK", "text/html", "<a href='f.txt'>f</a>"));
        site.Serve("/f.txt", Reply("200 OK", "text/plain", "file",
                                   "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n"));
        TempDir dir;
        CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/")});
        project.UpdateMode = c.updateMode;
        PipelineRig rig;
        ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));
        ASSERT_TRUE(RemoveFileIfExists(Latest(dir, server, "f.txt")));
        ASSERT_EQ(rig.Run(project, RunCommand::Update), std::make_pair(WM_TASK_FINISHED, 0));
        const auto requests = site.RequestsFor("/f.txt");
        ASSERT_EQ(requests.size(), c.requestsAfterUpdate);
        EXPECT_EQ(FileExists(Latest(dir, server, "f.txt")), c.storedAgain);
        if (c.storedAgain) {
            // The copy on disk is gone, so the fetch must not be conditional.
            EXPECT_EQ(requests.back().find("If-Modified-Since"), std::string::npos);
        }
    }
}

} // namespace
} // namespace torvex

namespace torvex {
namespace {

TEST(RunPipelineUpdate, LocalOnlyTakesPagesAndTheirLinksFromTheRecord) {
    CFixtureServer server;
    Site site(server);
    site.Serve("/", Reply("200 OK", "text/html", "<a href='a.html'>a</a>"));
    site.Serve("/a.html", Reply("200 OK", "text/html", "<img src='i.gif'>"));
    site.Serve("/i.gif", Reply("200 OK", "image/gif", "GIF"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {Url(server, "/")});
    project.UpdateMode = 0;
    PipelineRig rig;
    ASSERT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));
    ASSERT_EQ(rig.Run(project, RunCommand::Update), std::make_pair(WM_TASK_FINISHED, 0));
    // Every file was found in the record and its page's link map, so the server heard of each
    // only once, in the first run.
    for (const char* path : {"/", "/a.html", "/i.gif"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(site.RequestsFor(path).size(), 1u);
    }
    EXPECT_EQ(ReadFileBytes(Latest(dir, server, "i.gif")), "GIF");

    // With FirstPage the start address is asked again, with its date when one is known.
    project.FirstPage = 1;
    ASSERT_EQ(rig.Run(project, RunCommand::Update), std::make_pair(WM_TASK_FINISHED, 0));
    EXPECT_EQ(site.RequestsFor("/").size(), 2u);
    EXPECT_EQ(site.RequestsFor("/a.html").size(), 1u);
}

} // namespace
} // namespace torvex

namespace torvex {
namespace {

TEST(RunPipelineProxy, FetchesThroughAnHttpProxyAndEndsWhenItCannotBeFound) {
    // The fixture server stands in for the proxy: it gets the absolute address in the request.
    CFixtureServer proxy;
    Site site(proxy);
    site.Serve("http://origin.invalid/a.txt", Reply("200 OK", "text/plain", "via proxy"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {"http://origin.invalid/a.txt"});
    project.UseGlobeProxy = false;
    project.Proxy = static_cast<int>(ProxyMode::Http);
    project.ProxyServer = "127.0.0.1";
    project.ProxyPort = proxy.Port();
    PipelineRig rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_FINISHED, 0));
    EXPECT_EQ(ReadFileBytes(dir.Str() + "/download/latest/origin.invalid/a.txt"), "via proxy");

    TempDir other;
    project.ProjectDir = other.Str();
    project.ProxyServer = "noproxy.invalid";
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(WM_TASK_ERROR, 301));
}

} // namespace
} // namespace torvex
