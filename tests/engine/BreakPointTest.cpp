#include "engine/BreakPoint.h"

#include <gtest/gtest.h>

#include "engine/CDownloadTask.h"
#include "platform/FileSystem.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"
#include "url/CUrl.h"

namespace torvex {
namespace {

using test::CMessageLog;
using test::CStandInPipeline;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

CUrlEntry Entry(const std::string& text, const std::string& referrer = "", int level = 2,
                int code = 0) {
    CUrlEntry entry;
    entry.url = CUrl(text);
    entry.urlText = EntryUrlText(entry.url);
    entry.referrer = referrer;
    entry.level = level;
    entry.linkCode = code;
    return entry;
}

struct BreakPointRig {
    explicit BreakPointRig(const std::string& dir, std::vector<std::string> addresses = {"http://h/"})
        : task(ProjectIn(dir, addresses), RunMode::ResumeBreakPoint,
               CTaskEnvironment{&messages, &pipeline, nullptr, nullptr}) {
        MakeDirectoryPath(dir + "/logs");
    }
    CMessageLog messages;
    CStandInPipeline pipeline;
    CDownloadTask task;
};

TEST(SaveBreakPoint, InFlightThenQueuedListsEachUrlOnce) {
    TempDir dir;
    BreakPointRig rig(dir.Str());
    rig.task.Slot(0).SetCurrent(Entry("http://h/dir/", "http://h/", 2, 0));
    rig.task.Slot(1).SetCurrent(Entry("http://h/b.gif", "http://h/", 1, 1));
    rig.task.SetParseEntry(Entry("http://h/p.html", "http://h/"));
    SaveBreakPoint(rig.task, BreakPointMode::InFlight);

    rig.task.DownloadQueue().PushBack(Entry("http://h/b.gif", "http://h/", 1, 1));
    rig.task.ParseQueue().PushBack(Entry("http://h/q.html", "http://h/"));
    rig.task.DiscoveredQueue().PushBack(Entry("http://h/dir/", "http://h/"));
    rig.task.CopyQueue().PushBack(Entry("http://h/c.zip", "http://h/"));
    // Each queued entry is reported once it has left its queue, duplicates included.
    std::vector<int> pendingAfterEach;
    SaveBreakPoint(rig.task, BreakPointMode::Queued, [&] {
        pendingAfterEach.push_back(
            rig.task.DownloadQueue().Count() + rig.task.ParseQueue().Count() +
            rig.task.DiscoveredQueue().Count() + rig.task.CopyQueue().Count());
    });
    EXPECT_EQ(pendingAfterEach, (std::vector<int>{3, 2, 1, 0}));

    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"),
              "http://h/dir/\thttp://h/dir/index.html\thttp://h/\t0   \t2  \t0  \t\n"
              "http://h/b.gif\t\thttp://h/\t0   \t1  \t1  \t\n"
              "http://h/p.html\t\thttp://h/\t0   \t2  \t0  \t\n"
              "http://h/q.html\t\thttp://h/\t0   \t2  \t0  \t\n"
              "http://h/c.zip\t\thttp://h/\t0   \t2  \t0  \t\n");
    EXPECT_TRUE(rig.task.DownloadQueue().IsEmpty());
    EXPECT_TRUE(rig.task.CopyQueue().IsEmpty());
    EXPECT_FALSE(FileExists(dir / "logs/latest.s.tmp"));
}

TEST(ReloadBreakPoint, SkipsMalformedUnknownAndRefusedLines) {
    TempDir dir;
    BreakPointRig rig(dir.Str(), {"http://h/", "http://g/"});
    rig.pipeline.refused.insert("http://h/refused.html");
    WriteFileBytes(dir / "logs/latest.s",
                   "http://h/dir/\thttp://h/dir/index.html\thttp://h/\t0   \t2  \t0  \t\n"
                   "http://g/a.html\t\t\t1   \t1  \t-1 \t\r\n"
                   "http://h/missing-tab\t\thttp://h/\t0   \t2  \t0  \n"
                   "http://h/empty-level\t\thttp://h/\t0   \t\t0  \t\n"
                   "http://h/not-a-number\t\thttp://h/\tx   \t2  \t0  \t\n"
                   "http://h/unknown-start\t\thttp://h/\t2   \t2  \t0  \t\n"
                   "http://h/refused.html\t\thttp://h/\t0   \t2  \t0  \t\n"
                   "mailto:x@y\t\thttp://h/\t0   \t2  \t0  \t\n"
                   "http://h/" + std::string(2100, 'l') + "\t\t\t0\t2\t0\t\n"
                   "http://h/last.css\t\thttp://h/a.html\t0   \t2  \t2  \t");
    ASSERT_EQ(ReloadBreakPoint(rig.task), 3);
    CUrlEntry e;
    ASSERT_TRUE(rig.task.DiscoveredQueue().PopFront(e));
    EXPECT_EQ(e.urlText, "http://h/dir/index.html");
    EXPECT_EQ(e.fileName, "index.html");
    EXPECT_EQ(e.referrer, "http://h/");
    EXPECT_EQ(e.level, 2);
    EXPECT_EQ(e.linkCode, 0);
    ASSERT_TRUE(rig.task.DiscoveredQueue().PopFront(e));
    EXPECT_EQ(e.urlText, "http://g/a.html");   // empty second field: the composed URL
    EXPECT_EQ(e.startIndex, 1);
    EXPECT_EQ(e.linkCode, -1);
    ASSERT_TRUE(rig.task.DiscoveredQueue().PopFront(e));
    EXPECT_EQ(e.urlText, "http://h/last.css");
    EXPECT_FALSE(rig.task.DiscoveredQueue().PopFront(e));
}

TEST(ReloadBreakPoint, GivesStartAddressesTheirCredentials) {
    TempDir dir;
    BreakPointRig rig(dir.Str());
    CProjectSettings settings = ProjectIn(dir.Str(), {"http://h/"});
    settings.Addresses[0].Username = "user";
    settings.Addresses[0].Password = "secret";
    CMessageLog messages;
    CStandInPipeline pipeline;
    CDownloadTask task(settings, RunMode::ResumeBreakPoint,
                       CTaskEnvironment{&messages, &pipeline, nullptr, nullptr});
    WriteFileBytes(dir / "logs/latest.s", "http://h/a.html\t\t\t0   \t1  \t-1 \t\n"
                                          "http://h/b.html\t\thttp://h/a.html\t0   \t2  \t0  \t\n");
    ASSERT_EQ(ReloadBreakPoint(task), 2);
    CUrlEntry e;
    ASSERT_TRUE(task.DiscoveredQueue().PopFront(e));
    ASSERT_NE(e.url.UserName(), nullptr);
    EXPECT_EQ(*e.url.UserName(), "user");
    EXPECT_EQ(*e.url.Password(), "secret");
    ASSERT_TRUE(task.DiscoveredQueue().PopFront(e));
    EXPECT_EQ(e.url.UserName(), nullptr);
}

} // namespace
} // namespace torvex
