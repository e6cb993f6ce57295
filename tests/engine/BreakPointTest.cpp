#include "engine/BreakPoint.h"

#include <gtest/gtest.h>

#include "engine/CDownloadTask.h"
#include "platform/FileEnv.h"
#include "platform/FileSystem.h"
#include "support/CFaultFileEnv.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"
#include "url/CUrl.h"

namespace torvex {
namespace {

using test::CFaultFileEnv;
using test::CMessageLog;
using test::FileStep;
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

// Both parse threads may be in the middle of a page when the run stops: each page is kept, once,
// and a slot left empty or cleared adds nothing.
TEST(SaveBreakPoint, EveryParseThreadsPageIsKept) {
    TempDir dir;
    BreakPointRig rig(dir.Str());
    rig.task.SetParseEntry(Entry("http://h/p.html", "http://h/"), 0);
    rig.task.SetParseEntry(Entry("http://h/q.html", "http://h/"), 1);
    SaveBreakPoint(rig.task, BreakPointMode::InFlight);
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"),
              "http://h/p.html\t\thttp://h/\t0   \t2  \t0  \t\n"
              "http://h/q.html\t\thttp://h/\t0   \t2  \t0  \t\n");

    rig.task.ClearParseEntry(0);
    rig.task.SetParseEntry(Entry("http://h/p.html", "http://h/"), 1);
    rig.task.ParseQueue().PushBack(Entry("http://h/p.html", "http://h/"));
    SaveBreakPoint(rig.task, BreakPointMode::InFlight);
    SaveBreakPoint(rig.task, BreakPointMode::Queued);
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"),
              "http://h/p.html\t\thttp://h/\t0   \t2  \t0  \t\n");
}

// The URL texts waiting in the four queues, in the order a save walks them.
std::vector<std::string> Queued(CDownloadTask& task) {
    std::vector<std::string> texts;
    for (CUrlQueue* queue : {&task.DownloadQueue(), &task.ParseQueue(), &task.DiscoveredQueue(),
                             &task.CopyQueue()}) {
        std::vector<CUrlEntry> entries;
        CUrlEntry entry;
        while (queue->PopFront(entry)) {
            texts.push_back(entry.urlText);
            entries.push_back(entry);
        }
        for (const CUrlEntry& kept : entries) {
            queue->PushBack(kept);
        }
    }
    return texts;
}

// On a full disk the entries stay queued and the file keeps what it had: a later save, or the
// user told that none was possible, decides; nothing is lost behind a "saved".
TEST(SaveBreakPoint, AFailedWriteKeepsEveryEntryQueued) {
    for (const FileStep step : {FileStep::Create, FileStep::ShortWrite, FileStep::DiskFull,
                                FileStep::Sync, FileStep::Close, FileStep::Rename}) {
        SCOPED_TRACE(test::FileStepName(step));
        TempDir dir;
        BreakPointRig rig(dir.Str());
        rig.task.Slot(0).SetCurrent(Entry("http://h/a.html", "http://h/"));
        ASSERT_TRUE(SaveBreakPoint(rig.task, BreakPointMode::InFlight));
        const std::string inFlight = ReadFileBytes(dir / "logs/latest.s");
        rig.task.DownloadQueue().PushBack(Entry("http://h/b.html", "http://h/"));
        rig.task.DiscoveredQueue().PushBack(Entry("http://h/c.html", "http://h/"));
        rig.task.DiscoveredQueue().PushBack(Entry("http://h/d.html", "http://h/"));
        rig.task.CopyQueue().PushBack(Entry("http://h/e.zip", "http://h/"));
        const std::vector<std::string> before = Queued(rig.task);

        CFaultFileEnv faults;
        faults.Fail(step, dir / "logs/latest.s");
        {
            CScopedFileEnv scoped(faults);
            EXPECT_FALSE(SaveBreakPoint(rig.task, BreakPointMode::Queued));
        }
        EXPECT_TRUE(rig.task.BreakPointDraft().failed);
        EXPECT_EQ(Queued(rig.task), before);
        EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"), inFlight);

        ASSERT_TRUE(SaveBreakPoint(rig.task, BreakPointMode::Queued));
        EXPECT_FALSE(rig.task.BreakPointDraft().failed);
        EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"),
                  inFlight + "http://h/b.html\t\thttp://h/\t0   \t2  \t0  \t\n"
                             "http://h/c.html\t\thttp://h/\t0   \t2  \t0  \t\n"
                             "http://h/d.html\t\thttp://h/\t0   \t2  \t0  \t\n"
                             "http://h/e.zip\t\thttp://h/\t0   \t2  \t0  \t\n");
        EXPECT_TRUE(Queued(rig.task).empty());
    }
}

TEST(SaveBreakPoint, TheEntriesOfAFailedInFlightSaveGoWithTheQueuedOnes) {
    TempDir dir;
    BreakPointRig rig(dir.Str());
    rig.task.Slot(0).SetCurrent(Entry("http://h/a.html", "http://h/"));
    CFaultFileEnv faults;
    faults.Fail(FileStep::DiskFull, dir / "logs/latest.s");
    {
        CScopedFileEnv scoped(faults);
        EXPECT_FALSE(SaveBreakPoint(rig.task, BreakPointMode::InFlight));
    }
    EXPECT_FALSE(FileExists(dir / "logs/latest.s"));
    rig.task.ParseQueue().PushBack(Entry("http://h/a.html", "http://h/"));
    rig.task.ParseQueue().PushBack(Entry("http://h/b.html", "http://h/"));
    ASSERT_TRUE(SaveBreakPoint(rig.task, BreakPointMode::Queued));
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"),
              "http://h/a.html\t\thttp://h/\t0   \t2  \t0  \t\n"
              "http://h/b.html\t\thttp://h/\t0   \t2  \t0  \t\n");
}

// A break point that is empty, cut short, malformed or written by another run than the one the
// seen set belongs to cannot say what is left to do.
TEST(ReloadBreakPoint, TellsAFileThatCannotBeTrusted) {
    const std::string line = "http://h/a.html\t\t\t0   \t1  \t-1 \t\n";
    struct Case {
        const char* name;
        std::string breakPoint;
        std::string seen;
        bool usable;
    };
    const Case cases[] = {
        {"sound", line, "http://h/\nhttp://h/a.html\n", true},
        {"empty", "", "http://h/a.html\n", false},
        {"cut inside a line", line.substr(0, 25), "http://h/a.html\n", false},
        {"cut before the LF", line.substr(0, line.size() - 1), "http://h/a.html\n", false},
        {"no TABs", "no tabs here\n", "http://h/a.html\n", false},
        {"bytes of nothing", std::string(64, '\0'), "http://h/a.html\n", false},
        {"another run's seen set", line, "http://h/b.html\n", false},
        {"an empty seen set", line, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        BreakPointRig rig(dir.Str());
        WriteFileBytes(dir / "logs/latest.s", c.breakPoint);
        WriteFileBytes(dir / "logs/latest.tmp", c.seen);
        EXPECT_EQ(ReloadBreakPointChecked(rig.task).Usable(), c.usable);
    }
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
