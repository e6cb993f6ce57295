#include "app/DownloadTimer.h"

#include <chrono>

#include <gtest/gtest.h>

#include "app/CTreeRuns.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CMessageLog;
using test::CScriptedPrompter;
using test::CStandInPipeline;
using test::TempDir;

TEST(DownloadTimerDue, StartsAndStopsOnlyAtTheirEnabledMinute) {
    CAppSettings settings;
    settings.StartDownloadHour = 2;
    settings.StartDownloadMinute = 30;
    settings.StopDownloadHour = 6;
    settings.StopDownloadMinute = 0;
    struct Case {
        bool startOn;
        bool stopOn;
        CLocalMinute now;
        bool start;
        bool stop;
    };
    const Case cases[] = {
        {false, false, {2, 30}, false, false}, {true, false, {2, 30}, true, false},
        {true, false, {2, 31}, false, false},  {true, false, {3, 30}, false, false},
        {true, true, {6, 0}, false, true},     {false, true, {6, 0}, false, true},
        {false, false, {6, 0}, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.now.hour) + ":" + std::to_string(c.now.minute));
        settings.StartDownloadTimer = c.startOn;
        settings.StopDownloadTimer = c.stopOn;
        const CTimerDue due = DownloadTimerDue(settings, c.now);
        EXPECT_EQ(due.start, c.start);
        EXPECT_EQ(due.stop, c.stop);
    }
    // The same minute for both: start, then stop.
    settings.StopDownloadHour = 2;
    settings.StopDownloadMinute = 30;
    settings.StartDownloadTimer = settings.StopDownloadTimer = true;
    EXPECT_TRUE(DownloadTimerDue(settings, {2, 30}).start);
    EXPECT_TRUE(DownloadTimerDue(settings, {2, 30}).stop);
}

TEST(StopTimerReminder, IsDueUnlessHangUpAndShutdownAreBothSet) {
    CAppSettings settings;
    for (const bool hangUp : {false, true}) {
        for (const bool shutdown : {false, true}) {
            settings.AutoHangUp = hangUp;
            settings.AutoShutdown = shutdown;
            EXPECT_EQ(StopTimerReminderDue(settings), !(hangUp && shutdown));
        }
    }
}

// Projects A (on the timer list, in a sub-folder), B (not on it) and C (on it) whose start
// addresses keep a worker receiving until they are stopped.
struct TimerRig {
    TimerRig()
        : tree(dir / "Torvex.dir", dir.Str()), runs(tree),
          manager(pipeline, messages, prompter, &runs), timer(
                                                            settings, tree,
                                                            [this](CTreeNode &node) {
                                                                ++starts;
                                                                runs.Start(node, RunCommand::Start);
                                                            },
                                                            [this] {
                                                                ++stops;
                                                                runs.StopAll();
                                                            }) {
        runs.Attach(manager);
        CRunOptions options;
        options.EndNotify = false;
        manager.SetOptions(options);
        settings.StartDownloadTimer = true;
        settings.StartDownloadHour = 23;
        settings.StartDownloadMinute = 5;
        settings.StopDownloadTimer = true;
        settings.StopDownloadHour = 23;
        settings.StopDownloadMinute = 50;
        CTreeNode *folder = tree.AddFolder(tree.Root(), "Sites");
        CTreeNode *sub = tree.AddFolder(*folder, "Sub");
        a = Add(*sub, "A", true);
        b = Add(*folder, "B", false);
        c = Add(tree.Root(), "C", true);
    }
    CTreeNode *Add(CTreeNode &parent, const std::string &name, bool onTimer) {
        auto project = std::make_unique<CProjectSettings>(
            test::ProjectIn(dir / name, {"http://h/hold-" + name + ".html"}));
        project->Name = name;
        project->DownthreadNum = 1;
        project->TimeDownload = onTimer;
        return tree.AddProject(parent, std::move(project));
    }
    bool PumpUntilIdle() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while ((manager.RunningCount() > 0 || manager.WaitingCount() > 0) &&
               std::chrono::steady_clock::now() < deadline) {
            CMessageLog::Message m;
            if (messages.Take(m, 50)) {
                manager.HandleTaskMessage(m);
            }
            // Stop All is given once every run's monitor is up.
            if (stops > 0) {
                runs.StopAll();
            }
        }
        return manager.RunningCount() == 0;
    }
    TempDir dir;
    CAppSettings settings;
    CProjectTree tree;
    CMessageLog messages;
    CStandInPipeline pipeline;
    CScriptedPrompter prompter;
    CTreeRuns runs;
    CTaskManager manager;
    CDownloadTimer timer;
    CTreeNode *a = nullptr;
    CTreeNode *b = nullptr;
    CTreeNode *c = nullptr;
    int starts = 0;
    int stops = 0;
};

TEST(DownloadTimer, StartsTheTimerListAtTheMinuteOnceAndStopsAllAtTheStopTime) {
    TimerRig rig;
    EXPECT_EQ(rig.a->kind, NodeKind::ProjectOnTimer);
    EXPECT_EQ(rig.b->kind, NodeKind::ProjectIdle);

    rig.timer.Check({23, 4});
    EXPECT_EQ(rig.starts, 0);

    const CTimerDue due = rig.timer.Check({23, 5});
    EXPECT_TRUE(due.start);
    EXPECT_EQ(rig.starts, 2);
    EXPECT_EQ(rig.a->kind, NodeKind::ProjectRunning);
    EXPECT_EQ(rig.c->kind, NodeKind::ProjectRunning);
    EXPECT_EQ(rig.b->kind, NodeKind::ProjectIdle);
    // The same minute seen again by the next tick starts nothing more.
    rig.timer.Check({23, 5});
    EXPECT_EQ(rig.starts, 2);
    EXPECT_EQ(rig.manager.RunningCount(), 2u);

    rig.timer.Check({23, 50});
    EXPECT_EQ(rig.stops, 1);
    ASSERT_TRUE(rig.PumpUntilIdle());
    // Back on the timer list, ready for tomorrow.
    EXPECT_EQ(rig.a->kind, NodeKind::ProjectOnTimer);
    EXPECT_EQ(rig.c->kind, NodeKind::ProjectOnTimer);
}

TEST(DownloadTimer, TheListFollowsAddAndDeleteOverFolders) {
    TimerRig rig;
    std::vector<std::string> names;
    for (CTreeNode *node : TimerListProjects(rig.tree.Root())) {
        names.push_back(node->label);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "C"}));

    CTreeNode &sites = *rig.tree.Root().children.front();
    EXPECT_EQ(SetOnTimerList(sites, true), 1); // B joins; A is on it already
    EXPECT_EQ(rig.b->kind, NodeKind::ProjectOnTimer);
    EXPECT_TRUE(rig.b->project->TimeDownload);

    // A running project keeps its kind; its flag gives it the timer kind when it ends.
    ASSERT_TRUE(rig.runs.Start(*rig.c, RunCommand::Start));
    EXPECT_EQ(SetOnTimerList(rig.tree.Root(), false), 3);
    EXPECT_EQ(rig.c->kind, NodeKind::ProjectRunning);
    EXPECT_EQ(rig.a->kind, NodeKind::ProjectIdle);
    EXPECT_TRUE(TimerListProjects(rig.tree.Root()).empty());
    EXPECT_EQ(SetOnTimerList(rig.tree.Root(), false), 0);
    rig.stops = 1;
    ASSERT_TRUE(rig.PumpUntilIdle());
    EXPECT_EQ(rig.c->kind, NodeKind::ProjectIdle);
}

} // namespace
} // namespace torvex
