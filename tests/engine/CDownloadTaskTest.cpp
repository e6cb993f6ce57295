#include "engine/CDownloadTask.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "engine/IRunListener.h"
#include "platform/FileSystem.h"
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

// One task on the stand-in pipeline with a fake disk and clock.
struct TaskRig {
    explicit TaskRig(CProjectSettings settings, RunMode mode = RunMode::Fresh, bool realDisk = false)
        : task(settings, mode,
               CTaskEnvironment{&messages, &pipeline, realDisk ? nullptr : &space, &clock}) {}
    void StartAndWait() {
        task.Launch();
        ASSERT_TRUE(messages.WaitForEnd());
    }
    // Waits until `predicate` holds (at most ten seconds).
    template <class Predicate> bool Eventually(Predicate predicate) {
        for (int i = 0; i < 1000; ++i) {
            if (predicate()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    CMessageLog messages;
    CStandInPipeline pipeline;
    CFakeFreeSpace space;
    CFakeClock clock;
    CDownloadTask task;
};

// One worker, so that the slot under test is slot 0.
CProjectSettings OneWorker(const std::string& dir, const std::vector<std::string>& addresses) {
    CProjectSettings settings = ProjectIn(dir, addresses);
    settings.DownthreadNum = 1;
    return settings;
}

std::vector<TaskMessage> Numbers(const TaskRig& run) { return run.messages.Numbers(); }

TEST(TaskStart, FailsWithTheCodeOfEachCheck) {
    TempDir dir;
    WriteFileBytes(dir / "plain-file", "x");
    struct Case {
        const char* name;
        std::string projectDir;
        bool realDisk;
        std::uint64_t freeBytes;
        int code;
    };
    const Case cases[] = {
        {"a directory whose file system cannot be asked", "relative/project", true, 0, 102},
        {"less free space than FreeSpaceLimit", dir / "p", false, 2 * 1048576 - 1, 103},
        {"record directories that cannot be made", dir / "plain-file/p", true, 0, 105},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskRig run(ProjectIn(c.projectDir, {"http://h/"}), RunMode::Fresh, c.realDisk);
        run.space.bytes = c.freeBytes;
        run.StartAndWait();
        const auto all = run.messages.All();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].message, TaskMessage::StartFailed);
        EXPECT_EQ(static_cast<int>(all[0].Code()), c.code);
        EXPECT_EQ(all[0].task, run.task.Id());
        // Nothing of a record is written before the checks pass.
        EXPECT_FALSE(FileExists(c.projectDir + "/project.log"));
    }
}

TEST(TaskStart, ExactlyTheFreeSpaceLimitIsEnough) {
    TempDir dir;
    TaskRig run(ProjectIn(dir.Str(), {"http://h/a.html"}));
    run.space.bytes = 2 * 1048576;
    run.StartAndWait();
    EXPECT_EQ(Numbers(run).back(), TaskMessage::Finished);
}

TEST(TaskRun, ReportsEachMessageOnceAndInOrder) {
    TempDir dir;
    TaskRig run(ProjectIn(dir.Str(), {"http://h/a.html", "http://h/b.gif", "http://h/a.html"}));
    run.StartAndWait();
    run.task.JoinThreads();   // every thread that could report is gone: nothing follows the end
    EXPECT_EQ(Numbers(run), (std::vector<TaskMessage>{TaskMessage::Started, TaskMessage::StartPage,
                                                      TaskMessage::Finished}));
    EXPECT_EQ(run.task.Status(), TaskStatus::Finished);
    EXPECT_EQ(run.task.counters.Downloaded.load(), 2);
    EXPECT_EQ(run.task.counters.TotalFiles.load(), 2);
    EXPECT_EQ(run.task.StartPage(), "h/a.html");
    EXPECT_TRUE(FileExists(dir / "download/latest/h/a.html"));
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.tmp"), "http://h/a.html\nhttp://h/b.gif\n");
    EXPECT_FALSE(FileExists(dir / "logs/latest.s"));   // a finished run leaves no break point
}

TEST(TaskRun, WritesTheRecordSectionAtTheEnd) {
    TempDir dir;
    WriteFileBytes(dir / "project.log", "[backup]\nRecordTime=5         \n[latest]\nRecordTime=7\n"
                                        "StartPage=old\n");
    TaskRig run(ProjectIn(dir.Str(), {"http://h/a.html"}));
    run.clock.now = 1000000000;
    run.StartAndWait();
    EXPECT_EQ(ReadFileBytes(dir / "project.log"),
              "[backup]\nRecordTime=5         \n[latest]\n"
              "RecordTime=1000000000\nStartTime=1000000000\nStatus=3 \nStartPage=h/a.html\n"
              "EndTime=1000000000\nElapsedTime=0         \nTotalFiles=1         \n"
              "Downloaded=1         \n");
    EXPECT_EQ(ReadFileBytes(dir / "project.log.bak"), ReadFileBytes(dir / "project.log"));
}

TEST(TaskRun, EndsWith201WhenNothingWasStored) {
    TempDir dir;
    TaskRig run(ProjectIn(dir.Str(), {"http://h/fail.html"}));
    run.StartAndWait();
    const auto all = run.messages.All();
    ASSERT_EQ(all.back().message, TaskMessage::Error);
    EXPECT_EQ(static_cast<int>(all.back().Code()), 201);
    EXPECT_NE(ReadFileBytes(dir / "project.log").find("Status=5 \n"), std::string::npos);
}

TEST(TaskRun, SeenSetFailureEndsWith206AndStillWritesTheRecord) {
    TempDir dir;
    MakeDirectoryPath(dir / "logs/latest.tmp/x");   // a directory where the seen set belongs
    TaskRig run(ProjectIn(dir.Str(), {"http://h/a.html"}));
    run.StartAndWait();
    EXPECT_EQ(Numbers(run), (std::vector<TaskMessage>{TaskMessage::Started, TaskMessage::Error}));
    EXPECT_EQ(static_cast<int>(run.messages.All().back().Code()), 206);
    const std::string log = ReadFileBytes(dir / "project.log");
    EXPECT_NE(log.find("[latest]\nRecordTime="), std::string::npos);
    EXPECT_NE(log.find("Status=5 \nStartPage=\nEndTime="), std::string::npos);
}

TEST(TaskLimits, FreeSpaceBelowTheLimitDuringTheRun) {
    TempDir dir;
    TaskRig run(OneWorker(dir.Str(), {"http://h/hold.html"}));
    run.task.Launch();
    ASSERT_TRUE(run.Eventually([&] { return run.task.Slot(0).state.load() == SlotState::Reading; }));
    run.space.bytes = 1048576;   // 1 MB left, the project wants 2
    ASSERT_TRUE(run.messages.WaitForEnd());
    EXPECT_EQ(run.messages.All().back().message, TaskMessage::Limit);
    EXPECT_EQ(static_cast<int>(run.messages.All().back().Code()), 202);
    // The entry being received is kept for the resume.
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"), "http://h/hold.html\t\t\t0   \t1  \t-1 \t\n");
}

TEST(TaskLimits, MaxMinuteCountsFromThisStart) {
    TempDir dir;
    CProjectSettings settings = OneWorker(dir.Str(), {"http://h/hold.html"});
    settings.MaxMinute = 2;
    TaskRig run(settings);
    run.task.Launch();
    ASSERT_TRUE(run.Eventually([&] { return run.task.flags.MonitorRunning.load(); }));
    run.clock.now += 119;
    // Two more readings of the clock: the monitor's whole pass at 119 seconds is behind.
    const int readings = run.clock.reads.load();
    ASSERT_TRUE(run.Eventually([&] { return run.clock.reads.load() >= readings + 2; }));
    EXPECT_FALSE(run.task.flags.Stopping.load());
    EXPECT_FALSE(run.task.HasEnded());
    run.clock.now += 1;
    ASSERT_TRUE(run.messages.WaitForEnd());
    EXPECT_EQ(run.messages.All().back().message, TaskMessage::Limit);
    EXPECT_EQ(static_cast<int>(run.messages.All().back().Code()), 203);
    EXPECT_EQ(run.task.ElapsedTime(), 120);
}

TEST(TaskLimits, MaxFileStopsOnceEnoughFilesWereFetched) {
    TempDir dir;
    CProjectSettings settings =
        ProjectIn(dir.Str(), {"http://h/1.html", "http://h/2.html", "http://h/hold.html"});
    settings.MaxFile = 2;
    settings.DownthreadNum = 1;
    TaskRig run(settings);
    run.StartAndWait();
    EXPECT_EQ(run.messages.All().back().message, TaskMessage::Limit);
    EXPECT_EQ(static_cast<int>(run.messages.All().back().Code()), 204);
    EXPECT_EQ(run.task.counters.FilesThisRun.load(), 2);
}

TEST(TaskStop, TheLastCallWins) {
    TempDir dir;
    TaskRig run(OneWorker(dir.Str(), {"http://h/hold.html"}));
    run.task.Launch();
    ASSERT_TRUE(run.Eventually([&] { return run.task.Slot(0).state.load() == SlotState::Reading; }));
    run.task.StopTask(TaskStatus::Limited, RunEndCode::TimeLimit);
    run.task.RequestStop();
    ASSERT_TRUE(run.messages.WaitForEnd());
    EXPECT_EQ(Numbers(run).back(), TaskMessage::Stopped);
    EXPECT_EQ(run.task.Status(), TaskStatus::Stopped);
    EXPECT_NE(ReadFileBytes(dir / "project.log").find("Status=2 \n"), std::string::npos);
    // The worker's Readed value reached the status log before it stopped.
    EXPECT_NE(ReadFileBytes(dir / "logs/latest").find("\t100         \t1000        \t\n"),
              std::string::npos);
}

TEST(TaskStopWorker, AbortingTheCurrentFileGivesTheSlotAFreshWorker) {
    TempDir dir;
    CProjectSettings settings = ProjectIn(dir.Str(), {"http://slowlookup/", "http://h/hold.html"});
    settings.DownthreadNum = 1;
    TaskRig run(settings);
    run.task.Launch();
    ASSERT_TRUE(run.Eventually([&] { return run.task.Slot(0).state.load() == SlotState::FindingHost; }));
    const auto before = std::chrono::steady_clock::now();
    run.task.StopWorker(0, false);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1500));
    // The fresh worker takes the next entry.
    ASSERT_TRUE(run.Eventually([&] { return run.task.Slot(0).state.load() == SlotState::Reading; }));
    EXPECT_EQ(run.pipeline.workersStarted.load(), 2);
    run.task.RequestStop();
    ASSERT_TRUE(run.messages.WaitForEnd());
    EXPECT_EQ(Numbers(run).back(), TaskMessage::Stopped);
}

TEST(TaskStopWorker, StoppingTheThreadLeavesTheSlotEmpty) {
    TempDir dir;
    CProjectSettings settings = ProjectIn(dir.Str(), {"http://slowlookup/", "http://h/a.html"});
    settings.DownthreadNum = 1;
    TaskRig run(settings);
    run.task.Launch();
    ASSERT_TRUE(run.Eventually([&] { return run.task.Slot(0).state.load() == SlotState::FindingHost; }));
    run.task.StopWorker(0, true);
    EXPECT_FALSE(run.task.Slot(0).alive.load());
    EXPECT_TRUE(run.task.Slot(0).idle.load());
    run.task.StopWorker(0, true);   // a slot without a thread: nothing happens
    EXPECT_EQ(run.pipeline.workersStarted.load(), 1);
    // With no worker left the queued entry is never fetched; the user stops the run.
    EXPECT_EQ(run.task.DownloadQueue().Count(), 1);
    run.task.RequestStop();
    ASSERT_TRUE(run.messages.WaitForEnd());
    EXPECT_EQ(Numbers(run).back(), TaskMessage::Stopped);
}

TEST(TaskStopWorker, AbortOfAReceivingSlotEndsItsTries) {
    TempDir dir;
    CProjectSettings settings = OneWorker(dir.Str(), {"http://h/hold.html"});
    settings.Retry = 3;
    TaskRig run(settings);
    int interrupted = 0;
    run.task.Launch();
    ASSERT_TRUE(run.Eventually([&] { return run.task.Slot(0).state.load() == SlotState::Reading; }));
    run.task.Slot(0).SetInterrupter([&interrupted] { ++interrupted; });
    run.task.StopWorker(0, false);
    EXPECT_EQ(run.task.Slot(0).tries.load(), 4);
    EXPECT_EQ(interrupted, 1);
    EXPECT_TRUE(run.task.Slot(0).alive.load());
    run.task.RequestStop();
    ASSERT_TRUE(run.messages.WaitForEnd());
}

TEST(TaskStopWorker, AWorkerStuckInItsLookupIsNotWaitedForBeyondTheBound) {
    struct Case {
        const char* name;
        bool stopThread;
        int workersAfterwards;
    };
    const Case cases[] = {
        {"abort the current file: a fresh worker once the stuck one has gone", false, 2},
        {"stop the thread: the slot stays empty", true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        test::CGate lookup;
        CProjectSettings settings = OneWorker(dir.Str(), {"http://stuckdns/", "http://h/a.html"});
        TaskRig run(settings);
        run.pipeline.stuckLookup = &lookup;
        run.task.Launch();
        ASSERT_TRUE(run.Eventually(
            [&] { return run.task.Slot(0).state.load() == SlotState::FindingHost; }));
        run.task.StopWorker(0, c.stopThread);
        // Returned while the worker still hangs in its lookup.
        EXPECT_FALSE(lookup.OpenedByWatchdog());
        EXPECT_TRUE(run.task.Slot(0).alive.load());
        lookup.Open();
        if (c.stopThread) {
            ASSERT_TRUE(run.Eventually([&] { return !run.task.Slot(0).alive.load(); }));
            run.task.RequestStop();
        }
        ASSERT_TRUE(run.messages.WaitForEnd());
        EXPECT_EQ(Numbers(run).back(),
                  c.stopThread ? TaskMessage::Stopped : TaskMessage::Finished);
        EXPECT_EQ(FileExists(dir / "download/latest/h/a.html"), !c.stopThread);
        EXPECT_EQ(run.pipeline.workersStarted.load(), c.workersAfterwards);
    }
}

TEST(TaskSnapshot, CopiesCountersQueuesSlotsAndState) {
    TempDir dir;
    CProjectSettings settings =
        ProjectIn(dir.Str(), {"http://h/a.html", "http://h/hold.html", "http://h/fail"});
    settings.DownthreadNum = 3;
    TaskRig run(settings);
    const CTaskSnapshot before = run.task.Snapshot();
    EXPECT_EQ(before.id, run.task.Id());
    EXPECT_EQ(before.status, TaskStatus::None);
    EXPECT_EQ(before.slots.size(), 3u);
    EXPECT_FALSE(before.monitorRunning);

    run.task.Launch();
    ASSERT_TRUE(run.Eventually([&] {
        const CTaskSnapshot now = run.task.Snapshot();
        return now.downloaded == 1 && now.monitorRunning && now.downloadQueue == 0 &&
               now.discoveredQueue == 0 &&
               std::any_of(now.slots.begin(), now.slots.end(),
                           [](const CSlotView& v) { return v.state == SlotState::Reading; });
    }));
    const CTaskSnapshot running = run.task.Snapshot();
    EXPECT_EQ(running.status, TaskStatus::Running);
    EXPECT_EQ(running.totalFiles, 1);
    EXPECT_EQ(running.filesThisRun, 1);
    EXPECT_EQ(running.startPage, "h/a.html");
    const auto held =
        std::find_if(running.slots.begin(), running.slots.end(),
                     [](const CSlotView& v) { return v.state == SlotState::Reading; });
    ASSERT_NE(held, running.slots.end());
    EXPECT_EQ(held->url, "http://h/hold.html");
    EXPECT_EQ(held->readed, 100);
    EXPECT_EQ(held->total, 1000);

    run.task.StopTask(TaskStatus::Limited, RunEndCode::TimeLimit);
    ASSERT_TRUE(run.messages.WaitForEnd());
    const CTaskSnapshot ended = run.task.Snapshot();
    EXPECT_TRUE(ended.ended);
    EXPECT_TRUE(ended.stopping);
    EXPECT_EQ(ended.status, TaskStatus::Limited);
    EXPECT_EQ(ended.endCode, RunEndCode::TimeLimit);
    EXPECT_EQ(ended.downloaded, 1);
    EXPECT_GE(ended.endTime, ended.startTime);
}

TEST(TaskSnapshot, MayBeTakenOnAnotherThreadWhileTheRunGoesOn) {
    TempDir dir;
    std::vector<std::string> addresses;
    for (int i = 0; i < 40; ++i) {
        addresses.push_back("http://h/p" + std::to_string(i) + ".html");
    }
    CProjectSettings settings = ProjectIn(dir.Str(), addresses);
    settings.DownthreadNum = 4;
    TaskRig run(settings);
    std::atomic<bool> done{false};
    int taken = 0;
    bool steady = true;
    std::thread viewer([&] {
        std::int32_t lastDownloaded = 0;
        while (!done.load()) {
            const CTaskSnapshot snapshot = run.task.Snapshot();
            steady = steady && snapshot.slots.size() == 4u &&
                     snapshot.downloaded >= lastDownloaded;
            lastDownloaded = snapshot.downloaded;
            ++taken;
        }
    });
    run.StartAndWait();
    done = true;
    viewer.join();
    EXPECT_TRUE(steady);
    EXPECT_GT(taken, 0);
    EXPECT_EQ(run.task.Snapshot().downloaded, 40);
}

} // namespace
} // namespace torvex
