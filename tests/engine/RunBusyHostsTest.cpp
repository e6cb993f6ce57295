// Runs against servers that answer 429 or 503 with a Retry-After: the host waits instead of the
// tries being spent at once, other hosts go on meanwhile, and a stop during the wait keeps the
// entry for a resume.

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CHostPauses.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "support/CFixtureServer.h"
#include "support/PipelineRunner.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using Clock = std::chrono::steady_clock;
using test::CFixtureServer;
using test::CPipelineRunner;
using test::FixtureScript;
using test::HttpAnswer;
using test::ProjectIn;
using test::ReadFileBytes;
using test::RequestTarget;
using test::SendBytes;
using test::TempDir;

std::string UrlOf(const CFixtureServer& server, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
}

std::string StoredAt(const TempDir& dir, const CFixtureServer& server, const std::string& file) {
    return dir.Str() + "/download/latest/127.0.0.1+" + std::to_string(server.Port()) + "/" + file;
}

std::string HttpDate(std::time_t when) {
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

// A busy reply sent at `sent` (its Date line).
std::string Busy(std::string_view status, const std::string& retryAfter,
                 std::time_t sent = std::time(nullptr)) {
    std::string head = "Date: " + HttpDate(sent) + "\r\n";
    if (!retryAfter.empty()) {
        head += "Retry-After: " + retryAfter + "\r\n";
    }
    return HttpAnswer(status, "text/plain", "busy", head);
}

// A server that answers the first `busyReplies` requests with `busy` and the others with the
// file; it keeps when each request came.
struct BusyServer {
    BusyServer(int busyReplies, std::string busy) {
        server.SetResponder([this, busyReplies, busy](const std::string&) -> FixtureScript {
            std::lock_guard<std::mutex> guard(lock);
            times.push_back(Clock::now());
            if (static_cast<int>(times.size()) <= busyReplies) {
                return {SendBytes(busy)};
            }
            return {SendBytes(HttpAnswer("200 OK", "text/plain", "the file"))};
        });
    }
    int Count() {
        std::lock_guard<std::mutex> guard(lock);
        return static_cast<int>(times.size());
    }
    Clock::duration Gap(std::size_t first, std::size_t second) {
        std::lock_guard<std::mutex> guard(lock);
        return times.at(second) - times.at(first);
    }
    std::mutex lock;
    std::vector<Clock::time_point> times;
    CFixtureServer server;
};

// The monotonic clock moved on by a test; wall time is the system's.
class CShiftedClock final : public IClock {
public:
    std::int64_t Now() override { return SystemClock().Now(); }
    std::int64_t MonotonicMs() override { return SystemClock().MonotonicMs() + shiftMs.load(); }
    std::atomic<std::int64_t> shiftMs{0};
};

// The one worker has handed its entry back to the queue and waits for the host.
bool WaitsForHost(CDownloadTask& task, BusyServer& site) {
    return site.Count() == 1 && task.DownloadQueue().Count() == 1 && task.Slot(0).idle.load();
}

TEST(RunBusyHosts, AUsableWaitIsKeptWithoutSpendingATry) {
    // A date one second after the reply's own Date: a wait of one second whatever the clocks.
    const std::time_t sent = std::time(nullptr) - 3600;
    const struct {
        const char* name;
        std::string busy;
        bool waits;
    } cases[] = {
        {"seconds", Busy("503 Service Unavailable", "1"), true},
        {"a date", Busy("429 Too Many Requests", HttpDate(sent + 1), sent), true},
        {"a date that has passed", Busy("503 Service Unavailable", "Sun, 06 Nov 1994 08:49:37 GMT"),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BusyServer site(1, c.busy);
        TempDir dir;
        CProjectSettings project = ProjectIn(dir.Str(), {UrlOf(site.server, "/f.txt")});
        project.Retry = 0; // the busy reply must not have used the only try
        CPipelineRunner rig;
        EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
        EXPECT_EQ(ReadFileBytes(StoredAt(dir, site.server, "f.txt")), "the file");
        ASSERT_EQ(site.Count(), 2);
        if (c.waits) {
            EXPECT_GE(site.Gap(0, 1), std::chrono::milliseconds(900));
        }
    }
}

TEST(RunBusyHosts, AnUnusableWaitCountsAsAFailedTry) {
    for (const char* retryAfter : {"", "soon", "-1", "1.5", "99999999999999999999"}) {
        SCOPED_TRACE(retryAfter);
        BusyServer site(1, Busy("503 Service Unavailable", retryAfter));
        TempDir dir;
        CProjectSettings project = ProjectIn(dir.Str(), {UrlOf(site.server, "/f.txt")});
        project.Retry = 0;
        CPipelineRunner rig;
        // The only start address answered 5xx: the run ends as it always has (403).
        EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Error, 403));
        EXPECT_EQ(site.Count(), 1);
        EXPECT_FALSE(FileExists(StoredAt(dir, site.server, "f.txt")));
    }
}

TEST(RunBusyHosts, BusyRepliesCountAsTriesFromTheFourthOn) {
    for (const int retry : {0, 2}) {
        SCOPED_TRACE(retry);
        BusyServer site(1000, Busy("429 Too Many Requests", "0"));
        TempDir dir;
        CProjectSettings project = ProjectIn(dir.Str(), {UrlOf(site.server, "/f.txt")});
        project.Retry = retry;
        CPipelineRunner rig;
        rig.Run(project, RunCommand::Start);
        EXPECT_EQ(site.Count(), kForgivenBusyReplies + retry + 1);
        EXPECT_FALSE(FileExists(StoredAt(dir, site.server, "f.txt")));
        ASSERT_EQ(rig.failures.size(), 1u);
        EXPECT_EQ(rig.failures[0].code, 429);
    }
}

TEST(RunBusyHosts, AnotherHostIsFetchedWhileTheBusyOneWaits) {
    std::mutex lock;
    std::vector<std::string> order;
    CFixtureServer busy;
    CFixtureServer other;
    busy.SetResponder([&](const std::string& request) -> FixtureScript {
        std::lock_guard<std::mutex> guard(lock);
        order.push_back("busy " + RequestTarget(request));
        if (order.size() == 1) {
            return {SendBytes(Busy("503 Service Unavailable", "1"))};
        }
        return {SendBytes(HttpAnswer("200 OK", "text/plain", "late"))};
    });
    other.SetResponder([&](const std::string& request) -> FixtureScript {
        std::lock_guard<std::mutex> guard(lock);
        order.push_back("other " + RequestTarget(request));
        return {SendBytes(HttpAnswer("200 OK", "text/plain", "early"))};
    });
    TempDir dir;
    CProjectSettings project =
        ProjectIn(dir.Str(), {UrlOf(busy, "/a.txt"), UrlOf(other, "/b.txt")});
    project.DownthreadNum = 1;
    project.Retry = 0;
    CPipelineRunner rig;
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(ReadFileBytes(StoredAt(dir, busy, "a.txt")), "late");
    EXPECT_EQ(ReadFileBytes(StoredAt(dir, other, "b.txt")), "early");
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(order, (std::vector<std::string>{"busy /a.txt", "other /b.txt", "busy /a.txt"}));
}

TEST(RunBusyHosts, AnHourIsCutToTheLongestWait) {
    BusyServer site(1, Busy("503 Service Unavailable", "3600"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {UrlOf(site.server, "/f.txt")});
    project.DownthreadNum = 1;
    CShiftedClock clock;
    CPipelineRunner rig;
    rig.manager.SetClock(&clock);
    rig.eachPass = [&](CTaskManager&, CDownloadTask& task) {
        if (clock.shiftMs.load() == 0 && WaitsForHost(task, site)) {
            // Past the longest wait, an hour before the server's: the host is asked again.
            clock.shiftMs = kMaxHostPauseSeconds * 1000 + 1;
            task.WorkersWork().Signal();
        }
    };
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(site.Count(), 2);
    EXPECT_EQ(ReadFileBytes(StoredAt(dir, site.server, "f.txt")), "the file");
}

TEST(RunBusyHosts, AStopDuringTheWaitEndsAtOnceAndResumeFetchesTheEntry) {
    BusyServer site(1, Busy("503 Service Unavailable", "120"));
    TempDir dir;
    CProjectSettings project = ProjectIn(dir.Str(), {UrlOf(site.server, "/f.txt")});
    project.DownthreadNum = 1;
    CPipelineRunner rig;
    Clock::time_point stopped{};
    rig.eachPass = [&](CTaskManager& manager, CDownloadTask& task) {
        if (stopped == Clock::time_point{} && WaitsForHost(task, site)) {
            stopped = Clock::now();
            manager.StopProject(project);
        }
    };
    EXPECT_EQ(rig.Run(project, RunCommand::Start), std::make_pair(TaskMessage::Stopped, 0));
    ASSERT_NE(stopped, Clock::time_point{});
    EXPECT_LT(Clock::now() - stopped, std::chrono::seconds(20)); // not the server's 120 s
    EXPECT_EQ(site.Count(), 1);
    const std::string breakPoint = ReadFileBytes(dir.Str() + "/logs/latest.s");
    EXPECT_NE(breakPoint.find(UrlOf(site.server, "/f.txt")), std::string::npos) << breakPoint;

    rig.eachPass = nullptr;
    EXPECT_EQ(rig.Run(project, RunCommand::Resume), std::make_pair(TaskMessage::Finished, 0));
    EXPECT_EQ(site.Count(), 2);
    EXPECT_EQ(ReadFileBytes(StoredAt(dir, site.server, "f.txt")), "the file");
}

TEST(HostPauses, KeepTheLongerWaitAndEndOnTime) {
    CHostPauses pauses;
    const CUrl host("http://example.org/a");
    const CUrl samePort("http://example.org:80/b");
    const CUrl otherPort("http://example.org:8080/a");
    EXPECT_EQ(pauses.MsUntilFirstEnd(0), -1);
    pauses.Pause(host, 1000, 100000); // cut to the longest wait
    EXPECT_EQ(pauses.MsUntilFirstEnd(1000), kMaxHostPauseSeconds * 1000);
    pauses.Pause(samePort, 2000, 5); // a shorter wait later does not shorten it
    EXPECT_TRUE(pauses.IsPaused(samePort, 1000 + kMaxHostPauseSeconds * 1000 - 1));
    EXPECT_FALSE(pauses.IsPaused(otherPort, 2000));
    EXPECT_FALSE(pauses.IsPaused(host, 1000 + kMaxHostPauseSeconds * 1000));
    EXPECT_FALSE(pauses.AnyPaused(1000 + kMaxHostPauseSeconds * 1000));
    pauses.Pause(host, 0, 0); // "now" is no wait at all
    pauses.Pause(host, 0, -7);
    EXPECT_FALSE(pauses.AnyPaused(0));
}

} // namespace
} // namespace torvex
