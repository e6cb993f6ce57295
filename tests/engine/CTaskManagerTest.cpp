#include "engine/CTaskManager.h"

#include <chrono>
#include <thread>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "engine/IRunListener.h"
#include "platform/FileSystem.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CMessageLog;
using test::CScriptedPrompter;
using test::CStandInPipeline;
using test::ProjectIn;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class Hooks final : public ITaskManagerHooks {
public:
    void OnProjectState(const CProjectSettings* project, ProjectRunState state) override {
        states.push_back(project->Name + "=" + std::to_string(static_cast<int>(state)));
    }
    void OnBreakPointProgress(CDownloadTask&, int position, int range) override {
        lastProgress = {position, range};
    }
    void GenerateIndexPage(CDownloadTask&) override { ++indexPages; }
    bool OnAllTasksEnded(bool runStartsConversion) override {
        ++allEnded;
        endedWithConversion = runStartsConversion;
        saidBeforeEnd = prompter ? prompter->said.size() : 0;
        return leaveOutNotice;
    }
    std::vector<std::string> states;
    bool leaveOutNotice = false;
    bool endedWithConversion = false;
    const CScriptedPrompter *prompter = nullptr;
    std::size_t saidBeforeEnd = 0;
    std::pair<int, int> lastProgress{-1, -1};
    int indexPages = 0;
    int allEnded = 0;
};

struct ManagerRig {
    ManagerRig() : manager(pipeline, messages, prompter, &hooks) { hooks.prompter = &prompter; }
    // The front end's loop: every report goes back to the manager until nothing runs.
    void Pump() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((manager.RunningCount() > 0 || manager.WaitingCount() > 0) &&
               std::chrono::steady_clock::now() < deadline) {
            CMessageLog::Message m;
            if (messages.Take(m, 100)) {
                manager.HandleTaskMessage(m);
            }
        }
    }
    CMessageLog messages;
    CStandInPipeline pipeline;
    CScriptedPrompter prompter;
    Hooks hooks;
    CTaskManager manager;
};

TEST(TaskManagerStart, RefusesAProjectWithoutAValidStartAddress) {
    TempDir dir;
    ManagerRig rig;
    const CProjectSettings project = ProjectIn(dir.Str(), {"mailto:someone@h"});
    EXPECT_FALSE(rig.manager.StartProject(project, RunCommand::Start));
    EXPECT_EQ(rig.prompter.said,
              std::vector<std::string>{"error: Error: The start address of project \"Sample\" is not valid."});
    EXPECT_EQ(rig.manager.RunningCount(), 0u);
}

TEST(TaskManagerStart, WaitsBeyondTheLimitOfRunningTasks) {
    TempDir one;
    TempDir two;
    ManagerRig rig;
    CRunOptions options;
    options.MaxRunningTask = 1;
    options.EndNotify = false;
    rig.manager.SetOptions(options);
    CProjectSettings first = ProjectIn(one.Str(), {"http://h/a.html"});
    CProjectSettings second = ProjectIn(two.Str(), {"http://h/b.html"});
    second.Name = "Second";
    ASSERT_TRUE(rig.manager.StartProject(first, RunCommand::Start));
    ASSERT_TRUE(rig.manager.StartProject(second, RunCommand::Start));
    EXPECT_FALSE(rig.manager.StartProject(second, RunCommand::Start));
    EXPECT_EQ(rig.manager.StateOf(second), ProjectRunState::Waiting);
    rig.Pump();
    EXPECT_EQ(rig.hooks.states, (std::vector<std::string>{"Sample=1", "Second=2", "Sample=0",
                                                           "Second=1", "Second=0"}));
    EXPECT_EQ(rig.hooks.allEnded, 1);
    EXPECT_EQ(rig.hooks.indexPages, 2);
    EXPECT_TRUE(FileExists(two / "download/latest/h/b.html"));
    // A finished run leaves neither break point nor seen set.
    EXPECT_FALSE(FileExists(one / "logs/latest.tmp"));
    EXPECT_TRUE(rig.prompter.said.empty());
}

TEST(TaskManagerStart, HeldStartsWaitUntilReleased) {
    TempDir one;
    TempDir two;
    ManagerRig rig;
    CRunOptions options;
    options.EndNotify = false;
    rig.manager.SetOptions(options);
    CProjectSettings first = ProjectIn(one.Str(), {"http://h/a.html"});
    CProjectSettings second = ProjectIn(two.Str(), {"http://h/b.html"});
    second.Name = "Second";
    rig.manager.HoldStarts(true);
    ASSERT_TRUE(rig.manager.StartProject(first, RunCommand::Start));
    ASSERT_TRUE(rig.manager.StartProject(second, RunCommand::Start));
    EXPECT_EQ(rig.manager.RunningCount(), 0u);
    EXPECT_EQ(rig.manager.WaitingCount(), 2u);
    // A waiting project stopped while held leaves the list without a run.
    rig.manager.StopProject(second);
    EXPECT_EQ(rig.manager.StateOf(second), ProjectRunState::Idle);
    rig.manager.HoldStarts(false);
    EXPECT_EQ(rig.manager.StateOf(first), ProjectRunState::Running);
    rig.Pump();
    EXPECT_EQ(rig.hooks.allEnded, 1);
    EXPECT_EQ(rig.hooks.states, (std::vector<std::string>{"Sample=2", "Second=2", "Second=0",
                                                          "Sample=1", "Sample=0"}));
}

TEST(TaskManagerEnd, TheEndOfDownloadingComesBeforeTheFinishedNoticeAndMayLeaveItOut) {
    for (const bool leaveOut : {false, true}) {
        SCOPED_TRACE(leaveOut ? "left out" : "shown");
        TempDir dir;
        ManagerRig rig;
        rig.hooks.leaveOutNotice = leaveOut;
        CProjectSettings project = ProjectIn(dir.Str(), {"http://h/a.html"});
        ASSERT_TRUE(rig.manager.StartProject(project, RunCommand::Start));
        rig.Pump();
        EXPECT_EQ(rig.hooks.allEnded, 1);
        EXPECT_FALSE(rig.hooks.endedWithConversion);
        EXPECT_EQ(rig.hooks.saidBeforeEnd, 0u);
        EXPECT_EQ(rig.prompter.said,
                  leaveOut ? std::vector<std::string>{}
                           : std::vector<std::string>{"information: Download finished!"});
    }
}

TEST(TaskManagerEnd, TheEndOfDownloadingKnowsThatTheLastRunQueuedAConversion) {
    TempDir dir;
    ManagerRig rig;
    CProjectSettings project = ProjectIn(dir.Str(), {"http://h/a.html"});
    project.AutoConvert = true;
    project.Link = 1;
    ASSERT_TRUE(rig.manager.StartProject(project, RunCommand::Start));
    rig.Pump();
    EXPECT_EQ(rig.hooks.allEnded, 1);
    EXPECT_TRUE(rig.hooks.endedWithConversion);
    EXPECT_TRUE(rig.manager.ConversionQueue().WaitIdle(20000));
}

TEST(TaskManagerEnd, SavesTheBreakPointOfAStoppedRun) {
    TempDir dir;
    ManagerRig rig;
    CProjectSettings project = ProjectIn(dir.Str(), {"http://h/hold.html", "http://h/q1.html"});
    project.DownthreadNum = 1;
    ASSERT_TRUE(rig.manager.StartProject(project, RunCommand::Start));
    CDownloadTask* task = rig.manager.TaskOf(project);
    for (int i = 0; i < 1000 && task->Slot(0).state.load() != SlotState::Reading; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    rig.manager.StopProject(project);
    rig.Pump();
    EXPECT_EQ(ReadFileBytes(dir / "logs/latest.s"),
              "http://h/hold.html\t\t\t0   \t1  \t-1 \t\n"
              "http://h/q1.html\t\t\t1   \t1  \t-1 \t\n");
    EXPECT_EQ(rig.hooks.lastProgress, (std::pair<int, int>{1, 1}));
    EXPECT_TRUE(FileExists(dir / "logs/latest.tmp"));   // kept for the resume
}

TEST(TaskManagerResume, AsksBeforeFallingBackToTheLinkMaps) {
    TempDir dir;
    ManagerRig rig;
    const CProjectSettings project = ProjectIn(dir.Str(), {"http://h/a.html"});
    rig.prompter.answers = {false};
    EXPECT_FALSE(rig.manager.StartProject(project, RunCommand::Resume));
    ASSERT_EQ(rig.prompter.said.size(), 1u);
    EXPECT_EQ(rig.prompter.said[0].rfind("okcancel: Failed to resume project \"Sample\", because", 0), 0u);
    rig.prompter.answers = {true};
    ASSERT_TRUE(rig.manager.StartProject(project, RunCommand::Resume));
    EXPECT_EQ(rig.manager.TaskOf(project)->Mode(), RunMode::ResumeLinkMaps);
    rig.Pump();
    EXPECT_TRUE(FileExists(dir / "download/latest/h/a.html"));
}

TEST(TaskManagerResume, DropsABreakPointWithNothingToFetch) {
    TempDir dir;
    ManagerRig rig;
    const CProjectSettings project = ProjectIn(dir.Str(), {"http://h/a.html"});
    MakeDirectoryPath(dir / "logs");
    WriteFileBytes(dir / "logs/latest.s", "no tabs here\n");
    WriteFileBytes(dir / "logs/latest.tmp", "http://h/a.html\n");
    EXPECT_FALSE(rig.manager.StartProject(project, RunCommand::Resume));
    EXPECT_EQ(rig.prompter.said,
              std::vector<std::string>{"warning: Failed to resume project \"Sample\". No URL should "
                                       "be downloaded according to the project settings."});
}

TEST(TaskManagerResume, ContinuesTheRecordFromTheBreakPoint) {
    TempDir dir;
    ManagerRig rig;
    const CProjectSettings project = ProjectIn(dir.Str(), {"http://h/a.html"});
    MakeDirectoryPath(dir / "logs");
    WriteFileBytes(dir / "project.log", "[latest]\nRecordTime=77        \nStartTime=80        \n"
                                        "Status=2 \nStartPage=\nEndTime=90        \n"
                                        "ElapsedTime=10        \nTotalFiles=4         \n"
                                        "Downloaded=3         \n");
    WriteFileBytes(dir / "logs/latest.s", "http://h/b.html\t\thttp://h/a.html\t0   \t2  \t0  \t\n");
    WriteFileBytes(dir / "logs/latest.tmp", "http://h/a.html\nhttp://h/b.html\n");
    ASSERT_TRUE(rig.manager.StartProject(project, RunCommand::Resume));
    rig.Pump();
    const std::string log = ReadFileBytes(dir / "project.log");
    EXPECT_EQ(log.rfind("[latest]\nRecordTime=77        \n", 0), 0u) << log;
    EXPECT_NE(log.find("TotalFiles=5         \nDownloaded=4         \n"), std::string::npos) << log;
    EXPECT_TRUE(FileExists(dir / "download/latest/h/b.html"));
}

// A listener that holds the thread that reports a task's end until the test lets it go, so
// that the task's threads cannot have ended yet while the front end handles the end message.
class CHeldEndLog final : public IRunListener {
public:
    void OnTaskMessage(const CTaskMessage& message) override {
        log.OnTaskMessage(message);
        if (message.IsEnd()) {
            gate.Wait();
        }
    }
    CMessageLog log;
    test::CGate gate;
};

TEST(TaskManagerEnd, HandlesTheEndWithoutWaitingForTheTasksThreads) {
    TempDir dir;
    CHeldEndLog listener;
    CStandInPipeline pipeline;
    CScriptedPrompter prompter;
    Hooks hooks;
    CTaskManager manager(pipeline, listener, prompter, &hooks);
    CProjectSettings project = ProjectIn(dir.Str(), {"http://h/hold.html", "http://h/q1.html"});
    project.DownthreadNum = 1;
    ASSERT_TRUE(manager.StartProject(project, RunCommand::Start));
    CDownloadTask* task = manager.TaskOf(project);
    for (int i = 0; i < 1000 && task->Slot(0).state.load() != SlotState::Reading; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    manager.StopProject(project);
    CTaskMessage m;
    do {
        ASSERT_TRUE(listener.log.Take(m, 20000));
        manager.HandleTaskMessage(m);
    } while (!m.IsEnd());
    // The monitor is still inside its report, yet the end message has been handled: the save
    // has begun and the run counts as running until its end work reports back.
    EXPECT_FALSE(listener.gate.OpenedByWatchdog());
    EXPECT_EQ(hooks.lastProgress, (std::pair<int, int>{0, 1}));
    EXPECT_EQ(manager.RunningCount(), 1u);
    EXPECT_EQ(hooks.indexPages, 0);
    listener.gate.Open();

    std::vector<TaskMessage> managerOwn;
    while (manager.RunningCount() > 0 && listener.log.Take(m, 20000)) {
        if (m.message == TaskMessage::BreakPointProgress ||
            m.message == TaskMessage::EndWorkDone) {
            managerOwn.push_back(m.message);
        }
        manager.HandleTaskMessage(m);
    }
    ASSERT_FALSE(managerOwn.empty());
    EXPECT_EQ(managerOwn.back(), TaskMessage::EndWorkDone);
    EXPECT_EQ(hooks.lastProgress, (std::pair<int, int>{1, 1}));
    EXPECT_EQ(hooks.indexPages, 1);
    EXPECT_EQ(hooks.allEnded, 1);
    EXPECT_TRUE(FileExists(dir / "logs/latest.s"));
    EXPECT_TRUE(FileExists(dir / "download/latest/index.html"));
}

TEST(TaskManagerEnd, IgnoresReportsOfTasksThatAreGone) {
    TempDir dir;
    ManagerRig rig;
    const CProjectSettings project = ProjectIn(dir.Str(), {"http://h/a.html"});
    ASSERT_TRUE(rig.manager.StartProject(project, RunCommand::Start));
    const TaskId id = rig.manager.TaskOf(project)->Id();
    rig.Pump();
    ASSERT_EQ(rig.manager.RunningCount(), 0u);
    const int ended = rig.hooks.allEnded;
    const std::vector<std::string> said = rig.prompter.said;
    for (const TaskMessage late : {TaskMessage::Finished, TaskMessage::EndWorkDone,
                                   TaskMessage::BreakPointProgress}) {
        CTaskMessage report;
        report.message = late;
        report.task = id;
        rig.manager.HandleTaskMessage(report);
    }
    EXPECT_EQ(rig.hooks.allEnded, ended);
    EXPECT_EQ(rig.prompter.said, said);
}

TEST(TaskMessagePayload, CodesAndProgressByKind) {
    struct Case {
        TaskMessage message;
        std::variant<std::monostate, RunEndCode, CSaveProgress> payload;
        RunEndCode code;
        CSaveProgress progress;
        bool end;
    };
    const Case cases[] = {
        {TaskMessage::Started, {}, RunEndCode::None, {}, false},
        {TaskMessage::StartPage, {}, RunEndCode::None, {}, false},
        {TaskMessage::Stopped, {}, RunEndCode::None, {}, true},
        {TaskMessage::Finished, {}, RunEndCode::None, {}, true},
        {TaskMessage::Error, RunEndCode::NetworkDown, RunEndCode::NetworkDown, {}, true},
        {TaskMessage::Limit, RunEndCode::TimeLimit, RunEndCode::TimeLimit, {}, true},
        {TaskMessage::StartFailed, RunEndCode::ProjectBusy, RunEndCode::ProjectBusy, {}, true},
        {TaskMessage::BreakPointProgress, CSaveProgress{3, 7}, RunEndCode::None, {3, 7}, false},
        {TaskMessage::EndWorkDone, {}, RunEndCode::None, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.message));
        CTaskMessage report;
        report.message = c.message;
        report.payload = c.payload;
        EXPECT_EQ(report.Code(), c.code);
        EXPECT_EQ(report.Progress(), c.progress);
        EXPECT_EQ(report.IsEnd(), c.end);
    }
}

TEST(TaskManagerText, UserAgentByMode) {
    EXPECT_EQ(UserAgentText(0, "mine"), "");
    EXPECT_EQ(UserAgentText(1, "mine"), "Torvex/0.9");
    EXPECT_EQ(UserAgentText(2, "mine"), "Mozilla/5.0 (compatible; MSIE5.0)");
    EXPECT_EQ(UserAgentText(3, "mine"), "Mozilla/4.7");
    EXPECT_EQ(UserAgentText(4, "mine"), "mine");
}

} // namespace
} // namespace torvex
