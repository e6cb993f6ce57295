#include "app/CTreeRuns.h"

#include <chrono>

#include <gtest/gtest.h>

#include "app/NodeCommands.h"
#include "app/RunOptions.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CMessageLog;
using test::CScriptedPrompter;
using test::CStandInPipeline;
using test::TempDir;

// A folder with three projects whose first start addresses keep a worker receiving until the
// run is stopped, under a limit of two running tasks.
struct Rig {
    Rig()
        : tree(dir / "Torvex.dir", dir.Str()), runs(tree),
          manager(pipeline, messages, prompter, &runs) {
        runs.Attach(manager);
        CRunOptions options;
        options.MaxRunningTask = 2;
        options.EndNotify = false;
        manager.SetOptions(options);
        folder = tree.AddFolder(tree.Root(), "Sites");
        for (const char* name : {"A", "B", "C"}) {
            auto settings = std::make_unique<CProjectSettings>(
                test::ProjectIn(dir / name, {std::string("http://h/hold-") + name + ".html"}));
            settings->Name = name;
            settings->DownthreadNum = 1;
            projects.push_back(tree.AddProject(*folder, std::move(settings)));
        }
    }
    // The front end's loop until `done` or nothing runs.
    template <typename Done> bool PumpUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            CMessageLog::Message m;
            if (messages.Take(m, 50)) {
                manager.HandleTaskMessage(m);
            }
        }
        return done();
    }
    TempDir dir;
    CProjectTree tree;
    CMessageLog messages;
    CStandInPipeline pipeline;
    CScriptedPrompter prompter;
    CTreeRuns runs;
    CTaskManager manager;
    CTreeNode* folder = nullptr;
    std::vector<CTreeNode*> projects;
};

TEST(TreeRuns, AFolderStartsItsProjectsUpToTheLimitAndTheRestWait) {
    Rig rig;
    rig.projects[2]->project->TimeDownload = true;
    rig.projects[2]->kind = NodeKind::ProjectOnTimer;
    EXPECT_TRUE(rig.runs.Start(*rig.folder, RunCommand::Start));
    EXPECT_EQ(rig.projects[0]->kind, NodeKind::ProjectRunning);
    EXPECT_EQ(rig.projects[1]->kind, NodeKind::ProjectRunning);
    EXPECT_EQ(rig.projects[2]->kind, NodeKind::ProjectWaiting);
    EXPECT_FALSE(rig.runs.CloseRefusal().empty());
    // Nothing idle is left to start.
    EXPECT_FALSE(rig.runs.Start(*rig.folder, RunCommand::Start));

    // Stopping the waiting project gives it back its timer kind without a run.
    rig.runs.Stop(*rig.projects[2]);
    EXPECT_EQ(rig.projects[2]->kind, NodeKind::ProjectOnTimer);
    EXPECT_EQ(rig.manager.WaitingCount(), 0u);
}

TEST(TreeRuns, AWaitingProjectStartsWhenARunningOneEnds) {
    Rig rig;
    ASSERT_TRUE(rig.runs.Start(*rig.folder, RunCommand::Start));
    CProjectSettings& first = *rig.projects[0]->project;
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.runs.StopAllowed(first); }));
    rig.runs.Stop(*rig.projects[0]);
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.projects[0]->kind == NodeKind::ProjectIdle; }));
    EXPECT_EQ(rig.projects[2]->kind, NodeKind::ProjectRunning);

    // Stop All on the root reaches every run once their monitors are up.
    ASSERT_TRUE(rig.PumpUntil([&] {
        return rig.runs.StopAllowed(*rig.projects[1]->project) &&
               rig.runs.StopAllowed(*rig.projects[2]->project);
    }));
    rig.runs.StopAll();
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.manager.RunningCount() == 0; }));
    for (const CTreeNode* node : rig.projects) {
        EXPECT_EQ(node->kind, NodeKind::ProjectIdle);
    }
    EXPECT_TRUE(rig.runs.CloseRefusal().empty());
}

TEST(TreeRuns, StopIsNotGivenTwice) {
    Rig rig;
    ASSERT_TRUE(rig.runs.Start(*rig.projects[0], RunCommand::Start));
    CProjectSettings& project = *rig.projects[0]->project;
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.runs.StopAllowed(project); }));
    rig.runs.Stop(*rig.projects[0]);
    EXPECT_FALSE(rig.runs.StopAllowed(project)); // stopping already
    EXPECT_FALSE(CommandsFor(rig.projects[0], [&](const CProjectSettings& p) {
                     return rig.runs.StopAllowed(p);
                 }).stop);
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.manager.RunningCount() == 0; }));
}

TEST(TreeRuns, KindsAndOptions) {
    EXPECT_EQ(ProjectKindFor(ProjectRunState::Running, true), NodeKind::ProjectRunning);
    EXPECT_EQ(ProjectKindFor(ProjectRunState::Waiting, false), NodeKind::ProjectWaiting);
    EXPECT_EQ(ProjectKindFor(ProjectRunState::Idle, true), NodeKind::ProjectOnTimer);
    EXPECT_EQ(ProjectKindFor(ProjectRunState::Idle, false), NodeKind::ProjectIdle);
    CAppSettings settings;
    settings.MaxRunningTask = 3;
    settings.EndNotify = 0;
    settings.Proxy = 2;
    settings.ProxyServer = "socks.local";
    settings.ProxyPort = 1080;
    const CRunOptions options = RunOptionsFrom(settings);
    EXPECT_EQ(options.MaxRunningTask, 3);
    EXPECT_FALSE(options.EndNotify);
    EXPECT_EQ(options.Proxy, 2);
    EXPECT_EQ(options.ProxyServer, "socks.local");
    EXPECT_EQ(options.ProxyPort, 1080);
}

} // namespace
} // namespace torvex
